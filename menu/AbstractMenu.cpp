#include "AbstractMenu.h"

#include <QAbstractSpinBox>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

QSpinBox *menu::spinBox(const QString &name, int low, int high, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setSingleStep(1);
    box->setKeyboardTracking(false);
    return box;
}

QString menu::volumeText(int volume)
{
    if (volume <= 0)
        return QStringLiteral("-\u221e dB");
    return QString::number(20.0 * std::log10(volume / 128.0), 'f', 1) + QStringLiteral(" dB");
}

int menu::truncated(const bg::Value &value, const QSpinBox *box)
{
    const double d = std::trunc(value.toDouble());
    return int(std::clamp(d, double(box->minimum()), double(box->maximum())));
}

QWidget *menu::scrollingPage(QWidget *parent, QScrollArea **scroll)
{
    *scroll = new QScrollArea(parent);
    (*scroll)->setObjectName(QStringLiteral("scrollArea_edit"));
    (*scroll)->setWidgetResizable(true);
    (*scroll)->setFrameShape(QFrame::NoFrame);
    auto *page = new QWidget(*scroll);
    page->setObjectName(QStringLiteral("page_edit"));
    return page;
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
