#pragma once
// The transition catalogue, the one list of the editor's transitions: each
// program's name (also its shader's file name), the language key of its display
// name and its gallery thumbnail, in the gallery's order. The shader library, the
// gallery, the transition panel and the thumbnail tool all read it.
// Built once, read-only afterwards, so any thread may read it.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TransTranslate {
public:
    static const TransTranslate &instance();

    // (program, language key) pairs in catalogue order.
    const QList<QPair<QString, QString>> &entries() const { return m_entries; }
    // The programs alone, in catalogue order.
    QStringList programs() const;
    // The resource path of a program's gallery thumbnail.
    static QString thumbnailOf(const QString &program);
    // The language key of a program; empty for a name that is not a transition.
    QString keyOf(const QString &program) const;
    // The display name in the installed language; the program name when unknown.
    QString nameOf(const QString &program) const;

private:
    TransTranslate();
    QList<QPair<QString, QString>> m_entries;
};
