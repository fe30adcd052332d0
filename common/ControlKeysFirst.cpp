#include "ControlKeysFirst.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextEdit>

namespace {

bool isArrow(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

bool isPaging(int key)
{
    return key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home ||
           key == Qt::Key_End;
}

std::function<bool()> &spaceReserved()
{
    static std::function<bool()> reserved;
    return reserved;
}

} // namespace

void ControlKeysFirst::setSpaceReserved(std::function<bool()> reserved)
{
    spaceReserved() = std::move(reserved);
}

void ControlKeysFirst::install()
{
    static ControlKeysFirst *filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new ControlKeysFirst(qApp);
    qApp->installEventFilter(filter);
}

bool ControlKeysFirst::usesKey(const QWidget *control, const QKeyEvent *key)
{
    if (!control || (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)))
        return false;
    const int k = key->key();
    if (k == Qt::Key_Space && spaceReserved() && spaceReserved()())
        return false;
    // Text and number fields take every plain key.
    if (qobject_cast<const QLineEdit *>(control) ||
        qobject_cast<const QAbstractSpinBox *>(control) ||
        qobject_cast<const QTextEdit *>(control) || qobject_cast<const QPlainTextEdit *>(control))
        return k == Qt::Key_Space || isArrow(k) || isPaging(k);
    if (qobject_cast<const QComboBox *>(control) ||
        qobject_cast<const QAbstractItemView *>(control))
        return k == Qt::Key_Space || isArrow(k) || isPaging(k);
    if (qobject_cast<const QAbstractSlider *>(control) &&
        !qobject_cast<const QScrollBar *>(control))
        return isArrow(k) || isPaging(k);
    // A tick box or choice ticks with Space; a push or tool button does not keep it
    // (a button clicked with the mouse keeps the focus, and Space must still play).
    if (qobject_cast<const QCheckBox *>(control) || qobject_cast<const QRadioButton *>(control))
        return k == Qt::Key_Space;
    return false;
}

bool ControlKeysFirst::eventFilter(QObject *watched, QEvent *event)
{
    // Qt asks the focused widget first whether it wants a key a shortcut would take:
    // accepting here hands the key to the control.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        usesKey(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event)))
        event->accept();
    return false;
}
