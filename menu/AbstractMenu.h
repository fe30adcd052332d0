#pragma once
// What every property panel shares: it is filled from a clip's (or transition's)
// property map without emitting anything, and sends each user edit back as one
// signal naming the changed key; it never changes a clip itself.
// Lives on: main thread.

#include "bridge/Value.h"
#include "common/MenuType.h"

#include <QWidget>

class QScrollArea;
class QSpinBox;

#include <string>

class AbstractMenu : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Fills the panel from a property map; emits nothing.
    virtual void UpdateData(bg::ValueMap map) = 0;

protected:
    // Every edit of a panel is already a step of the editor's history, so the undo
    // and redo keys go to the editor even from a text box of the panel (which
    // would otherwise take them for its own typing). Call once the controls exist.
    void passUndoKeys();
    bool eventFilter(QObject *watched, QEvent *event) override;
};

namespace menu {

// An integer box of a panel: named, ranged, stepping by 1, reporting only when an
// edit is finished (no keyboard tracking).
QSpinBox *spinBox(const QString &name, int low, int high, QWidget *parent);

// A stored volume (0 to 128, 128 as recorded) as its gain in decibels: "0.0 dB",
// "-6.0 dB", "-∞ dB" for silence.
QString volumeText(int volume);

// A double of a map shown in an integer box: truncated toward zero, in its range.
int truncated(const bg::Value &value, const QSpinBox *box);

// A scrolling page for a panel's controls: returns the page inside `*scroll`.
QWidget *scrollingPage(QWidget *parent, QScrollArea **scroll);

// The value under `key`, or an empty value.
inline bg::Value get(const bg::ValueMap &map, const char *key)
{
    auto it = map.find(key);
    return it == map.end() ? bg::Value() : it->second;
}

} // namespace menu
