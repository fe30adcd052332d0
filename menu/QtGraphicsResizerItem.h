#pragma once
// A rectangle with square handles on its edges and corners that resize it, and an
// optional arrow that turns it; the crop editor's frame.
// Lives on: main thread.

#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QList>

class QtGraphicsResizerItem;

// One square handle. Its code is a bit set of the edges it moves: left 1, top 2,
// right 4, bottom 8 (3 is the top-left corner, 12 the bottom-right one).
class HandleItem : public QGraphicsRectItem {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    HandleItem(int code, QtGraphicsResizerItem *owner);
    int code() const { return m_code; }

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    int m_code;
    QtGraphicsResizerItem *m_owner; // its parent item
    bool m_pressed = false;
};

// A double-headed arrow at the middle of the right edge; dragging it turns the
// resizer about its centre.
class ArrowItem : public QGraphicsPathItem {
public:
    explicit ArrowItem(QtGraphicsResizerItem *owner);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QtGraphicsResizerItem *m_owner;
};

class QtGraphicsResizerItem : public QGraphicsRectItem {
public:
    enum { Type = 257 };
    // Which handles to make: 1 left and right edges, 2 top and bottom edges, 4 the
    // corners, 8 the rotation arrow.
    enum Handles { EdgesLeftRight = 1, EdgesTopBottom = 2, Corners = 4, Rotation = 8 };
    QtGraphicsResizerItem(QGraphicsItem *parent, int handles);
    int type() const override { return Type; }

    // Sets the frame (in the parent's coordinates) and moves the handles to it; a
    // rectangle equal to the present one changes nothing.
    virtual void setRect(const QRectF &rect);
    void setMinSize(const QSizeF &size) { m_minSize = size; }
    const QList<HandleItem *> &handles() const { return m_handles; }
    // How many times the handles were placed (each real change of the frame).
    int placements() const { return m_placements; }

    // A handle with `code` was dragged to `point` (the resizer's coordinates).
    void dragHandle(int code, const QPointF &point);

private:
    void placeHandles();

    QSizeF m_minSize{6, 6};
    QList<HandleItem *> m_handles;
    ArrowItem *m_arrow = nullptr;
    int m_placements = 0;
};
