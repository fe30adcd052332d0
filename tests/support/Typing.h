#pragma once
// Typing into controls as a person does, so that what a control does on its own
// (committing on Enter, leaving with the focus) takes part in the test.

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QTest>

namespace fixtures {

// Selects what the box shows, types `text` over it and presses Enter.
inline void typeInto(QAbstractSpinBox *box, const QString &text)
{
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Enter);
}

// Replaces a line's text by typing and presses Enter.
inline void typeInto(QLineEdit *line, const QString &text)
{
    line->selectAll();
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Enter);
}

} // namespace fixtures
