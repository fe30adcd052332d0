#pragma once
// Information boxes whose title, text and buttons are language keys; the answer
// is the index of the chosen button (the escape button's index when dismissed).
// Lives on: main thread.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

struct MessageSpec {
    QWidget *parent = nullptr;
    QString titleKey;
    QString text; // already translated and filled
    QStringList buttonKeys;
    int defaultButton = 0;
    int escapeButton = 0;
};

namespace MessageBox {
int show(const MessageSpec &box);
// Convenience: one button, no answer.
void inform(QWidget *parent, const QString &titleKey, const QString &text, const QString &okKey);

// Replaces the modal box, e.g. for scripted runs and tests; an empty hook restores it.
// The hook also sees every box shown, which keeps automated runs from blocking.
using AnswerHook = std::function<int(const MessageSpec &)>;
void setAnswerHook(AnswerHook hook);
} // namespace MessageBox
