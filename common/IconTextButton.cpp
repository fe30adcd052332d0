#include "IconTextButton.h"

#include "QssManager.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <cmath>

IconTextButton::IconTextButton(QWidget *parent) : QPushButton(parent) {}

double IconTextButton::scale() const
{
    return m_scale > 0 ? m_scale : QssManager::screenScale();
}

QRect IconTextButton::pictureRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QRect area =
        layout == 1 ? QRect(0, 0, width(), contents.top()) : QRect(0, 0, contents.left(), height());
    const double s = scale();
    const QSize size(int(std::lround(iconSize().width() * s)),
                     int(std::lround(iconSize().height() * s)));
    QRect r(QPoint(0, 0), size);
    r.moveCenter(area.center());
    r.translate(int(offsetX * s), int(offsetY * s));
    return r;
}

const QPixmap &IconTextButton::currentPixmap() const
{
    if (!isEnabled() && !disabledPixmap.isNull())
        return disabledPixmap;
    if (isChecked())
        return checkedPixmap.isNull() ? normalPixmap : checkedPixmap;
    if (underMouse() && !hoverPixmap.isNull())
        return hoverPixmap;
    return normalPixmap;
}

void IconTextButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.icon = QIcon();
    if (underMouse())
        option.state |= QStyle::State_MouseOver;
    if (isChecked())
        option.state |= QStyle::State_On;
    painter.drawControl(QStyle::CE_PushButton, option);
    if (normalPixmap.isNull())
        return;
    painter.drawPixmap(pictureRect(), currentPixmap());
}
