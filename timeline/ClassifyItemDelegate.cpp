#include "ClassifyItemDelegate.h"

#include "ClassifyItem.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

QString iconOf(uint32_t kind)
{
    switch (kind) {
    case CT_PICTURE:
        return QStringLiteral(":/image/timeline_image.png");
    case CT_VIDEO:
        return QStringLiteral(":/image/timeline_vedio.png");
    case CT_DUB:
        return QStringLiteral(":/image/timeline_audio");
    case CT_SUBTITLE:
        return QStringLiteral(":/image/timeline_subtitle");
    case CT_AUDIO:
        return QStringLiteral(":/image/timeline_music.png");
    default:
        return QString();
    }
}

QString nameOf(uint32_t kind)
{
    switch (kind) {
    case CT_PICTURE:
        return ZTR("timeline-classifynode.Picture");
    case CT_VIDEO:
        return ZTR("timeline-classifynode.video");
    case CT_DUB:
        return ZTR("timeline-classifynode.Dub");
    case CT_SUBTITLE:
        return ZTR("timeline-classifynode.Subtitle");
    case CT_AUDIO:
        return ZTR("timeline-classifynode.Audio");
    default:
        return QString();
    }
}

} // namespace

ClassifyItemDelegate::ClassifyItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent), m_add(":/image/timeline_add.png"),
      m_del(":/image/timeline_del.png"), m_addHover(":/image/timeline_add_hover.png"),
      m_delHover(":/image/timeline_del_hover.png")
{}

QRect ClassifyItemDelegate::buttonRect(const QRect &row)
{
    const double s = QssManager::screenScale();
    const int size = int(18 * s);
    return QRect(int(100 * s), row.top() + (row.height() - size) / 2, size, size);
}

void ClassifyItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const ClassifyData data = index.data().value<ClassifyData>();
    if (data.kind == CT_NONE)
        return;
    const double s = QssManager::screenScale();
    const QRect row = option.rect;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (data.isGroup) {
        const int size = int(18 * s);
        const QRect icon(int(30 * s), row.top() + (row.height() - size) / 2, size, size);
        painter->drawPixmap(icon, QPixmap(iconOf(data.kind)));
    }
    painter->setPen(QColor("#000000"));
    QFont font = painter->font();
    font.setPixelSize(int(12 * s));
    painter->setFont(font);
    // Centred in its box; a longer name (English "Subtitle") may run past it.
    painter->drawText(QRect(int(55 * s), row.top(), int(45 * s), row.height()),
                      Qt::AlignCenter | Qt::TextDontClip, nameOf(data.kind));
    const QRect button = buttonRect(row);
    const bool hover = button.contains(m_mouse);
    const QPixmap &picture =
        data.isGroup ? (hover ? m_addHover : m_add) : (hover ? m_delHover : m_del);
    painter->drawPixmap(button, picture);
    painter->restore();
}

QSize ClassifyItemDelegate::sizeHint(const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const ClassifyData data = index.data().value<ClassifyData>();
    return QSize(option.rect.width(),
                 int(timeline::rowHeight(data.kind) * QssManager::screenScale()));
}

bool ClassifyItemDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                       const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const auto type = event->type();
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
        type == QEvent::MouseButtonDblClick || type == QEvent::MouseButtonRelease)
        m_mouse = static_cast<QMouseEvent *>(event)->pos();
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
        buttonRect(option.rect).contains(m_mouse)) {
        const ClassifyData data = index.data().value<ClassifyData>();
        if (data.kind != CT_NONE) {
            model->setData(index, data.isGroup ? QStringLiteral("add") : QStringLiteral("remove"),
                           Qt::EditRole);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
