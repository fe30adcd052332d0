#include "WheelNeedsFocus.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

// A value control the wheel would change: spin boxes, combo boxes, sliders (a
// scroll bar is how the page scrolls, so it keeps the wheel).
bool isValueControl(const QObject *object)
{
    return qobject_cast<const QAbstractSpinBox *>(object) ||
           qobject_cast<const QComboBox *>(object) ||
           (qobject_cast<const QAbstractSlider *>(object) &&
            !qobject_cast<const QScrollBar *>(object));
}

} // namespace

void WheelNeedsFocus::install()
{
    static WheelNeedsFocus *filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new WheelNeedsFocus(qApp);
    qApp->installEventFilter(filter);
}

bool WheelNeedsFocus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Polish && isValueControl(watched)) {
        // A wheel turn must not take the focus on its own (Qt gives wheel-focus
        // widgets the focus before any filter sees the turn).
        auto *widget = static_cast<QWidget *>(watched);
        if ((widget->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        return false;
    }
    if (event->type() != QEvent::Wheel || !isValueControl(watched))
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->hasFocus())
        return false;
    // Handed to the scroll bar of the nearest scrolling page, whole.
    for (QWidget *p = widget->parentWidget(); p; p = p->parentWidget())
        if (auto *area = qobject_cast<QAbstractScrollArea *>(p)) {
            QScrollBar *bar = static_cast<QWheelEvent *>(event)->angleDelta().x() != 0 &&
                                      static_cast<QWheelEvent *>(event)->angleDelta().y() == 0
                                  ? area->horizontalScrollBar()
                                  : area->verticalScrollBar();
            if (bar && bar->isVisible())
                QApplication::sendEvent(bar, event);
            break;
        }
    return true;
}
