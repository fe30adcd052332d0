#include "MaterialItem.h"

#include "render/proxy/ProxyBadge.h"
#include "render/proxy/ProxyMaker.h"

#include "common/QssManager.h"
#include "common/Translate.h"

#include <QApplication>
#include <QDataStream>
#include <QDrag>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QMimeData>
#include <QPainter>
#include <QWidget>

MaterialItem::MaterialItem(const MaterialData &data) : m_data(data)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
    setToolTip(m_data.name);
}

void MaterialItem::setData(const MaterialData &data)
{
    // Every thumbnail refreshes all tiles' data; only a tile whose look changed repaints.
    const bool changed = data.preview.cacheKey() != m_data.preview.cacheKey() ||
                         data.name != m_data.name || data.color != m_data.color ||
                         data.font != m_data.font;
    m_data = data;
    if (!changed)
        return;
    setToolTip(m_data.name);
    update();
}

QMimeData *MaterialItem::dragPayload(const MaterialData &data)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QStringLiteral("material") << qint32(data.type);
    if (data.type == MT_Subtitle)
        out << data.color << data.font;
    else
        out << data.draggable << data.path;
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("ZuAEdit"));
    mime->setData(QStringLiteral("data"), bytes);
    return mime;
}

QRectF MaterialItem::boundingRect() const
{
    const double s = QssManager::screenScale();
    return QRectF(-0.5, -0.5, 95 * s + 1, 75 * s + 1);
}

void MaterialItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const double s = QssManager::screenScale();
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF picture(2 * s, 2 * s, 95 * s - 4 * s, 55 * s - 4 * s);
    if (m_data.type == MT_Subtitle) {
        painter->fillRect(picture, QColor("#f0f0f0"));
        QFont font = m_data.font;
        font.setPointSize(8);
        painter->setFont(font);
        painter->setPen(m_data.color);
        const int line = QFontMetrics(font).height();
        painter->drawText(QRectF(picture.left(), (55 * s - line) / 2, picture.width(), line),
                          Qt::AlignHCenter | Qt::AlignVCenter, ZTR("material_item.Subtitle"));
    } else if (!m_data.preview.isNull()) {
        painter->drawImage(picture, m_data.preview);
    }
    if (m_data.type == MT_Video)
        if (const ProxyMaker *proxies = ProxyMaker::instance())
            proxybadge::paint(painter, picture, proxies->progressOf(m_data.path));
    if (isSelected() || m_hovered) {
        painter->setPen(QPen(isSelected() ? QColor("#f5a623") : QColor(200, 200, 200), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(0, 0, 95 * s, 55 * s));
    }
    QFont nameFont(QStringLiteral("Microsoft Yahei"));
    nameFont.setPointSize(8);
    painter->setFont(nameFont);
    painter->setPen(QColor(102, 102, 102));
    const QRectF nameRect(2 * s, 55 * s, 95 * s - 4 * s, 18 * s);
    painter->drawText(
        nameRect, Qt::AlignCenter,
        QFontMetrics(nameFont).elidedText(m_data.name, Qt::ElideLeft, int(nameRect.width())));
    painter->restore();
}

void MaterialItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        // The menu acts on the selection: a tile outside it becomes the selection; on a
        // selected tile the press is taken, or the scene would clear the selection.
        if (!isSelected()) {
            scene()->clearSelection();
            setSelected(true);
        }
        event->accept();
        return;
    }
    QGraphicsItem::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_pressPos = event->scenePos();
}

void MaterialItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) ||
        (event->scenePos() - m_pressPos).manhattanLength() <= QApplication::startDragDistance())
        return;
    auto *drag = new QDrag(event->widget());
    drag->setMimeData(dragPayload(m_data));
    if (!m_data.preview.isNull())
        drag->setPixmap(QPixmap::fromImage(m_data.preview.scaled(40, 30)));
    drag->setHotSpot(QPoint(20, 10));
    drag->exec(Qt::MoveAction);
}

void MaterialItem::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = true;
    update();
}

void MaterialItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = false;
    update();
}
