#pragma once
// Typing into controls as a person does, so that what a control does on its own
// (committing on Enter, leaving with the focus) takes part in the test.

#include <QTest>

namespace fixtures {

// Selects what a number box or a line shows, types `text` over it and presses Enter.
template <class Control> void typeInto(Control *control, const QString &text)
{
    control->selectAll();
    QTest::keyClicks(control, text);
    QTest::keyClick(control, Qt::Key_Enter);
}

} // namespace fixtures
