#pragma once
// The timeline document's track tree as an item model, for the track header view:
// the root's six groups and their tracks, one column, each row's ClassifyData as
// its display value. Editing a row ("add", "remove") adds or removes a track
// through the document, with undo.
// Lives on: main thread.

#include <QAbstractItemModel>

class ClassifyItem;
class TimelineDocument;

class TrackTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TrackTreeModel(TimelineDocument *document);

    QModelIndex index(int row, int column,
                      const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QModelIndex indexOf(ClassifyItem *item) const;

    // Row changes of the document's tree, told to the views around the change.
    void insertRow(ClassifyItem *parent, int row, ClassifyItem *item);
    void takeRow(ClassifyItem *item);

signals:
    // A track was added to this group: the view shows the group open.
    void sig_expandGroup(const QModelIndex &group);

private:
    ClassifyItem *itemAt(const QModelIndex &index) const;

    TimelineDocument *m_document;
};
