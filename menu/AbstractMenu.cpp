#include "AbstractMenu.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

QSpinBox *menu::spinBox(const QString &name, int low, int high, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setSingleStep(1);
    box->setKeyboardTracking(false);
    return box;
}

void AbstractMenu::passUndoKeys()
{
    for (QWidget *w : findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w) ||
            qobject_cast<QAbstractSpinBox *>(w))
            w->installEventFilter(this);
}

bool AbstractMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            (key->modifiers() == Qt::ControlModifier && key->key() == Qt::Key_Y)) {
            event->ignore(); // not taken here: the window's shortcut runs
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
