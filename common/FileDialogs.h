#pragma once
// File choosers of the project operations. A hook can answer in place of the
// dialog (scripted runs and tests); an empty hook restores the dialogs.
// Lives on: main thread.

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace FileDialogs {
// Empty when cancelled.
QString saveFileName(QWidget *parent, const QString &title, const QString &proposed,
                     const QString &filter);
QString openFileName(QWidget *parent, const QString &title, const QString &folder,
                     const QString &filter);
// Several files; a hook answers "openMany" with the paths joined by newlines.
QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder,
                          const QString &filter);

// A folder; a hook answers "dir".
QString existingDirectory(QWidget *parent, const QString &title, const QString &folder);

// A colour, starting at `initial`; invalid when cancelled. A hook answers "colour"
// with a colour name (empty: cancelled).
QColor colour(QWidget *parent, const QString &title, const QColor &initial);

// Receives "save", "open", "openMany", "dir" or "colour" and the proposed name,
// folder or colour; returns the answer.
using Hook = std::function<QString(const QString &kind, const QString &proposed)>;
void setHook(Hook hook);
} // namespace FileDialogs
