#include "ProxyBadge.h"

#include "common/Translate.h"

#include <QFontMetrics>
#include <QPainter>

namespace proxybadge {

void paint(QPainter *painter, const QRectF &picture, int progress)
{
    if (progress < 0)
        return;
    // A bar along the picture's foot while the proxy is made; a tag once it is ready.
    QFont font(QStringLiteral("Microsoft Yahei"));
    font.setPointSize(7);
    painter->setFont(font);
    const QString text =
        progress >= 100 ? ZTR("res_form.ProxyReady") : ZTR("res_form.ProxyMaking").arg(progress);
    const QFontMetrics fm(font);
    const QRectF band(picture.left(), picture.bottom() - fm.height() - 2, picture.width(),
                      fm.height() + 2);
    if (progress < 100) {
        painter->fillRect(band, QColor(0, 0, 0, 150));
        painter->fillRect(
            QRectF(band.left(), band.bottom() - 3, band.width() * progress / 100.0, 3),
            QColor("#f5a623"));
        painter->setPen(Qt::white);
        painter->drawText(band, Qt::AlignCenter, text);
        return;
    }
    const QRectF tag(picture.right() - fm.horizontalAdvance(text) - 8, picture.top() + 2,
                     fm.horizontalAdvance(text) + 6, fm.height());
    painter->fillRect(tag, QColor(0, 0, 0, 150));
    painter->setPen(QColor("#f5a623"));
    painter->drawText(tag, Qt::AlignCenter, text);
}

} // namespace proxybadge
