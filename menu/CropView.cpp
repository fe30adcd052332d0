#include "CropView.h"

#include "QtGraphicsResizerItem.h"

#include <QMouseEvent>
#include <QPainter>

// ---- CropItem -------------------------------------------------------------------

CropItem::CropItem(const QString &uuid, const QSize &size) : m_uuid(uuid), m_size(size) {}

void CropItem::setClip(const QString &uuid, const QSize &size)
{
    prepareGeometryChange();
    m_uuid = uuid;
    m_size = size;
}

void CropItem::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

QRectF CropItem::boundingRect() const
{
    return QRectF(0, 0, m_size.width(), m_size.height());
}

void CropItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (m_picture.isNull())
        painter->fillRect(boundingRect(), QColor(40, 42, 48));
    else
        painter->drawImage(boundingRect(), m_picture);
}

// ---- CropView -------------------------------------------------------------------

CropView::CropView(QWidget *parent) : QGraphicsView(parent)
{
    setScene(new QGraphicsScene(this));
    setRenderHint(QPainter::SmoothPixmapTransform);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CropView::setClip(const QString &uuid, const QSize &size, const QRect &rect)
{
    if (!m_item) {
        m_item = new CropItem(uuid, size);
        m_resizer = new QtGraphicsResizerItem(m_item, QtGraphicsResizerItem::EdgesLeftRight |
                                                          QtGraphicsResizerItem::EdgesTopBottom |
                                                          QtGraphicsResizerItem::Corners);
        m_resizer->setMinSize(QSizeF(50, 50));
        scene()->addItem(m_item);
    } else {
        m_item->setClip(uuid, size);
    }
    fitScene();
    m_resizer->setRect(QRectF(rect));
    emit sig_previewWanted();
}

void CropView::fitScene()
{
    if (!m_item)
        return;
    // A QRectF's right() is x + width: a full-frame crop ends at the size itself.
    m_maxX = m_item->materialSize().width();
    m_maxY = m_item->materialSize().height();
    scene()->setSceneRect(0, 0, m_maxX, m_maxY);
    fitInView(QRectF(0, 0, m_maxX + 100, m_maxY + 100), Qt::KeepAspectRatio);
}

void CropView::setFrames(const QList<VFrameInfo> &frames)
{
    if (!m_item)
        return;
    for (const VFrameInfo &info : frames) {
        if (info.id != m_item->uuid() || !info.frame)
            continue;
        const ff::VFrameCtx &f = *info.frame;
        m_item->setPicture(
            QImage(f.data(), f.width, f.height, f.stride, QImage::Format_RGBA8888).copy());
    }
}

void CropView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    fitScene();
}

void CropView::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = mapToScene(event->pos());
    QGraphicsView::mousePressEvent(event);
}

void CropView::mouseMoveEvent(QMouseEvent *event)
{
    QGraphicsView::mouseMoveEvent(event);
    if (!m_resizer)
        return;
    QRectF r = m_resizer->rect();
    const QPointF moved = m_resizer->pos();
    if (qAbs(moved.x()) <= 1e-12 && qAbs(moved.y()) <= 1e-12) {
        // A handle was dragged, or nothing moved: keep the frame on the picture.
        if (r.top() < m_minY) {
            r.setTop(m_minY);
            m_resizer->setRect(r);
        }
        if (r.left() < m_minX) {
            r.setLeft(m_minX);
            m_resizer->setRect(r);
        }
        if (r.bottom() > m_maxY) {
            r.setBottom(m_maxY);
            m_resizer->setRect(r);
        }
        if (r.right() > m_maxX) {
            r.setRight(m_maxX);
            m_resizer->setRect(r);
        }
        return;
    }
    // The whole frame was dragged: move its rectangle instead, within the picture.
    const QPointF now = mapToScene(event->pos());
    QPointF topLeft = r.topLeft() + (now - m_pressPos);
    m_resizer->setPos(0, 0);
    topLeft.setY(std::min(std::max(topLeft.y(), m_minY), m_maxY - r.height()));
    topLeft.setX(std::min(std::max(topLeft.x(), m_minX), m_maxX - r.width()));
    m_pressPos += topLeft - r.topLeft();
    r.moveTopLeft(topLeft);
    m_resizer->setRect(r);
}

void CropView::mouseReleaseEvent(QMouseEvent *event)
{
    QGraphicsView::mouseReleaseEvent(event);
    if (m_resizer)
        emit sig_updateClipRect(QStringLiteral("123"), m_resizer->rect().toRect());
}
