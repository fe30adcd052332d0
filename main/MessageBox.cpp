#include "MessageBox.h"

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

int show(const MessageSpec &spec)
{
    if (hook())
        return hook()(spec);
    QMessageBox box(QMessageBox::Information, zuaTranslate(spec.titleKey), spec.text,
                    QMessageBox::NoButton, spec.parent);
    QList<QPushButton *> buttons;
    for (const QString &key : spec.buttonKeys)
        buttons << box.addButton(zuaTranslate(key), QMessageBox::AcceptRole);
    if (spec.defaultButton >= 0 && spec.defaultButton < buttons.size())
        box.setDefaultButton(buttons[spec.defaultButton]);
    if (spec.escapeButton >= 0 && spec.escapeButton < buttons.size())
        box.setEscapeButton(buttons[spec.escapeButton]);
    box.exec();
    const int index = buttons.indexOf(static_cast<QPushButton *>(box.clickedButton()));
    return index >= 0 ? index : spec.escapeButton;
}

void inform(QWidget *parent, const QString &titleKey, const QString &text, const QString &okKey)
{
    MessageSpec spec;
    spec.parent = parent;
    spec.titleKey = titleKey;
    spec.text = text;
    spec.buttonKeys = QStringList{okKey};
    show(spec);
}

} // namespace MessageBox
