#pragma once
// Wheel turns change a spin box, slider or combo box only when it has the keyboard
// focus; otherwise the turn scrolls the page around it (a panel scrolled past its
// controls keeps its values). One application-wide filter.
// Lives on: main thread.

#include <QObject>

class WheelNeedsFocus : public QObject {
    Q_OBJECT
public:
    // Installs the filter on the application once.
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
