#include "MessageBox.h"

#include "QssManager.h"
#include "Translate.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
MessageBox::AnswerHook &hook()
{
    static MessageBox::AnswerHook h;
    return h;
}
} // namespace

namespace MessageBox {

void setAnswerHook(AnswerHook h)
{
    hook() = std::move(h);
}

int show(const MessageSpec &message)
{
    if (hook())
        return hook()(message);
    QMessageBox box(QMessageBox::Information, zuaTranslate(message.titleKey), message.text,
                    QMessageBox::NoButton, message.parent);
    // Its own sheet: over a dark dialog it would inherit light text on its light face.
    box.setObjectName(QStringLiteral("ZuMessageBox"));
    (new QssManager(&box))->loadStyleSheet(QStringLiteral(":/qss/message-box.css"));
    QList<QPushButton *> buttons;
    for (const QString &key : message.buttonKeys) {
        QPushButton *button = box.addButton(zuaTranslate(key), QMessageBox::AcceptRole);
        // Measured with the sheet's font and padding, so that a long label is whole.
        button->ensurePolished();
        button->setMinimumWidth(button->sizeHint().width());
        buttons << button;
    }
    if (message.defaultButton >= 0 && message.defaultButton < buttons.size())
        box.setDefaultButton(buttons[message.defaultButton]);
    if (message.escapeButton >= 0 && message.escapeButton < buttons.size())
        box.setEscapeButton(buttons[message.escapeButton]);
    box.exec();
    const int index = buttons.indexOf(static_cast<QPushButton *>(box.clickedButton()));
    return index >= 0 ? index : message.escapeButton;
}

void inform(QWidget *parent, const QString &titleKey, const QString &text, const QString &okKey)
{
    MessageSpec box;
    box.parent = parent;
    box.titleKey = titleKey;
    box.text = text;
    box.buttonKeys = QStringList{okKey};
    show(box);
}

} // namespace MessageBox
