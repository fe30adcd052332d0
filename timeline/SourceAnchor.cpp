#include "SourceAnchor.h"

#include <QPainter>

SourceAnchor::SourceAnchor(Side side, QGraphicsItem *clip) : QGraphicsItem(clip), m_side(side)
{
    setFlag(ItemIsSelectable);
    setFlag(ItemIgnoresTransformations);
    setVisible(false);
}

QRectF SourceAnchor::boundingRect() const
{
    return QRectF(-7, -7, 14, 14);
}

QPainterPath SourceAnchor::shape() const
{
    QPainterPath path;
    path.addEllipse(boundingRect());
    return path;
}

void SourceAnchor::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->setPen(QPen(Qt::NoPen));
    painter->setBrush(Qt::yellow);
    painter->drawEllipse(boundingRect());
}

void SourceAnchor::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsItem::mousePressEvent(event);
    if (parentItem())
        parentItem()->setSelected(true);
}

void SourceAnchor::mouseReleaseEvent(QGraphicsSceneMouseEvent *) {}
