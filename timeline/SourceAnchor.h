#pragma once
// A trim handle at one edge of a selected clip; keeps its size at every zoom.
// Lives on: main thread.

#include <QGraphicsItem>

class SourceAnchor : public QGraphicsItem {
public:
    enum Side { Left, Right };
    enum { Type = UserType + 3 };
    SourceAnchor(Side side, QGraphicsItem *clip);
    int type() const override { return Type; }
    Side side() const { return m_side; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    Side m_side;
};
