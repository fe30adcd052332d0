#pragma once
// Paints a track header row: the kind's icon (group rows), its name and the add
// (group) or remove (track) button; a press on the button adds or removes a
// track through the model.
// Lives on: main thread.

#include <QPixmap>
#include <QStyledItemDelegate>

class ClassifyItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ClassifyItemDelegate(QObject *parent = nullptr);

    // The add/remove button of a row, in the row's coordinates.
    static QRect buttonRect(const QRect &row);
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // The last mouse position seen (hover decides the button picture).
    void setMousePos(const QPoint &pos) { m_mouse = pos; }

private:
    QPixmap m_add, m_del, m_addHover, m_delHover;
    QPoint m_mouse{-1, -1};
};
