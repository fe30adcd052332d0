#include "CustomSpinBox.h"

namespace {
int even(int v)
{
    return v / 2 * 2; // toward zero
}
} // namespace

CustomSpinBox::CustomSpinBox(QWidget *parent) : QSpinBox(parent)
{
    setSingleStep(2);
}

QString CustomSpinBox::textFromValue(int value) const
{
    return QString::number(even(value));
}

int CustomSpinBox::valueFromText(const QString &text) const
{
    return even(text.toInt());
}
