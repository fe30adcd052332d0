#pragma once
// A spin box whose shown text and parsed value are always even (rounded toward
// zero to a multiple of 2), as video sizes must be. Lives on: main thread.

#include <QSpinBox>

class CustomSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit CustomSpinBox(QWidget *parent = nullptr);

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString &text) const override;
};
