#include "QtGraphicsResizerItem.h"

#include <QCursor>
#include <QGraphicsSceneMouseEvent>
#include <QPen>
#include <QtMath>

namespace {

bool sameCoordinate(double a, double b)
{
    return qAbs(a - b) <= 1e-12 * std::max({1.0, qAbs(a), qAbs(b)});
}

bool sameRect(const QRectF &a, const QRectF &b)
{
    return sameCoordinate(a.x(), b.x()) && sameCoordinate(a.y(), b.y()) &&
           sameCoordinate(a.width(), b.width()) && sameCoordinate(a.height(), b.height());
}

} // namespace

// ---- HandleItem -----------------------------------------------------------------

HandleItem::HandleItem(int code, QtGraphicsResizerItem *owner)
    : QGraphicsRectItem(-5, -5, 10, 10, owner), m_code(code), m_owner(owner)
{
    setPen(Qt::NoPen);
    setBrush(QColor("#EDAE6B"));
    setFlag(ItemIgnoresTransformations); // 10 × 10 pixels on screen at any zoom
    setAcceptHoverEvents(true);
}

void HandleItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    switch (m_code) {
    case Left:
    case Right:
        setCursor(Qt::SizeHorCursor);
        break;
    case Top:
    case Bottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case Left | Top:
    case Right | Bottom:
        setCursor(Qt::SizeFDiagCursor);
        break;
    default:
        setCursor(Qt::SizeBDiagCursor);
        break;
    }
}

void HandleItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_pressed = true;
    event->accept();
}

void HandleItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (m_pressed)
        m_owner->dragHandle(m_code, m_owner->mapFromScene(event->scenePos()));
}

void HandleItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    m_pressed = false;
    QGraphicsRectItem::mouseReleaseEvent(event);
}

// ---- ArrowItem ------------------------------------------------------------------

ArrowItem::ArrowItem(QtGraphicsResizerItem *owner) : QGraphicsPathItem(owner), m_owner(owner)
{
    QPainterPath arrow;
    arrow.moveTo(-19, 0);
    arrow.lineTo(19, 0);
    arrow.moveTo(10, -4);
    arrow.lineTo(19, 0);
    arrow.lineTo(10, 4);
    arrow.moveTo(-10, -4);
    arrow.lineTo(-19, 0);
    arrow.lineTo(-10, 4);
    setPath(arrow);
    QPen pen(QColor("#FC945D"), 2);
    pen.setCosmetic(true);
    setPen(pen);
    setCursor(Qt::PointingHandCursor);
}

void ArrowItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    event->accept();
}

void ArrowItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    // The angle of the pointer seen from the frame's centre.
    const QPointF centre = m_owner->mapToScene(m_owner->rect().center());
    const QPointF d = event->scenePos() - centre;
    m_owner->setTransformOriginPoint(m_owner->rect().center());
    m_owner->setRotation(qRadiansToDegrees(std::atan2(d.y(), d.x())));
}

// ---- QtGraphicsResizerItem -------------------------------------------------------

QtGraphicsResizerItem::QtGraphicsResizerItem(QGraphicsItem *parent, int handles)
    : QGraphicsRectItem(parent)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    QPen pen(QColor("#FC945D"), 2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    setPen(pen);
    using E = HandleItem::Edge;
    if (handles & EdgesLeftRight)
        m_handles << new HandleItem(E::Left, this) << new HandleItem(E::Right, this);
    if (handles & EdgesTopBottom)
        m_handles << new HandleItem(E::Top, this) << new HandleItem(E::Bottom, this);
    if (handles & Corners)
        m_handles << new HandleItem(E::Left | E::Top, this)
                  << new HandleItem(E::Right | E::Top, this)
                  << new HandleItem(E::Left | E::Bottom, this)
                  << new HandleItem(E::Right | E::Bottom, this);
    if (handles & Rotation)
        m_arrow = new ArrowItem(this);
}

void QtGraphicsResizerItem::setRect(const QRectF &rect)
{
    if (sameRect(rect, this->rect()))
        return;
    QGraphicsRectItem::setRect(rect);
    placeHandles();
}

void QtGraphicsResizerItem::placeHandles()
{
    const QRectF r = rect();
    for (HandleItem *h : qAsConst(m_handles)) {
        const int c = h->code();
        const double x = (c & HandleItem::Left)    ? r.left()
                         : (c & HandleItem::Right) ? r.right()
                                                   : r.center().x();
        const double y = (c & HandleItem::Top)      ? r.top()
                         : (c & HandleItem::Bottom) ? r.bottom()
                                                    : r.center().y();
        h->setFlag(ItemSendsGeometryChanges, false);
        h->setPos(x, y);
    }
    if (m_arrow)
        m_arrow->setPos(r.right(), r.center().y());
    ++m_placements;
}

void QtGraphicsResizerItem::dragHandle(int code, const QPointF &point)
{
    QRectF r = rect();
    double x = point.x(), y = point.y();
    if (code & HandleItem::Top)
        y = std::min(y, r.bottom() - m_minSize.height());
    else if (code & HandleItem::Bottom)
        y = std::max(y, r.top() + m_minSize.height());
    if (code & HandleItem::Left)
        x = std::min(x, r.right() - m_minSize.width());
    else if (code & HandleItem::Right)
        x = std::max(x, r.left() + m_minSize.width());
    if (code & HandleItem::Top)
        r.setTop(y);
    if (code & HandleItem::Bottom)
        r.setBottom(y);
    if (code & HandleItem::Left)
        r.setLeft(x);
    if (code & HandleItem::Right)
        r.setRight(x);
    setRect(r);
}
