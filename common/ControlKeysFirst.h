#pragma once
// Plain keys go to the focused input control before any window shortcut: Space
// ticks a focused tick box, the arrows move a focused slider, step a spin box or a
// caret, instead of playing or stepping the preview. Keys with Ctrl or Alt keep
// their shortcuts. One application-wide filter.
// Lives on: main thread.

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

class ControlKeysFirst : public QObject {
    Q_OBJECT
public:
    // Installs the filter on the application once.
    static void install();
    // True when `control` uses the key itself (so a shortcut must not take it).
    static bool usesKey(const QWidget *control, const QKeyEvent *key);
    // While `reserved` answers true, Space goes to its shortcut whatever has the focus
    // (a take under way: Space must end it). Empty: never.
    static void setSpaceReserved(std::function<bool()> reserved);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
