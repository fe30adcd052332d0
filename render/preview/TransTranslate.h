#pragma once
// The transition catalogue: program name to the language key of its display
// name, in a fixed order; the transition gallery copies it to label its entries.
// Built once, read-only afterwards, so any thread may read it.

#include <QList>
#include <QPair>
#include <QString>

class TransTranslate {
public:
    static const TransTranslate &instance();

    // (program, language key) pairs in catalogue order.
    const QList<QPair<QString, QString>> &entries() const { return m_entries; }
    // The language key of a program; empty for a name that is not a transition.
    QString keyOf(const QString &program) const;
    // The display name in the installed language; the program name when unknown.
    QString nameOf(const QString &program) const;

private:
    TransTranslate();
    QList<QPair<QString, QString>> m_entries;
};
