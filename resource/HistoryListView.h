#pragma once
// The works page: the projects worked on most recently, newest first, kept in the
// settings ("work.history", the newest ten, encoded). Each row shows a
// HistoryItemWidget.
// Lives on: main thread.

#include <QListView>
#include <QStyledItemDelegate>

class QStandardItemModel;

class HistoryListView : public QListView {
    Q_OBJECT
public:
    static constexpr int kPathRole = Qt::UserRole + 2;
    static constexpr int kKept = 10;

    explicit HistoryListView(QWidget *parent = nullptr);
    ~HistoryListView() override;

    QStringList projects() const;
    void save();

signals:
    void signal_openProject(const QString &proPath);

public slots:
    void prependProject(const QString &path);
    void slot_removeProject(const QString &path);
    void slot_addWork();

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QVector<int> &roles = QVector<int>()) override;

private:
    void appendRow(const QString &path);
    QStandardItemModel *m_model;
    QString m_importFolder;
};

// Leaves each row's painting to its entry widget, at the entry's height.
class ItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
