#pragma once
// Which editor writes which auto-save. Every editor of a user shares one settings
// file, and two login sessions may each run one: each records its own auto-save
// under its own name (boot, process and the process's start time), so that a start
// offers only the auto-saves whose editor is gone and never touches a live one's.
// Lives on: main thread.

#include <QString>
#include <QStringList>

namespace AutoSaveOwners {

// Records `path` as this editor's auto-save (empty: it has none now), with the
// shared "autoSavePath" key, and saves the settings.
void recordOwn(const QString &path);
// The auto-saves that survived the editors that wrote them (files that still exist),
// oldest record first. Records whose file is gone are dropped.
QStringList orphaned();
// Forgets the record of a finished editor that names `path`.
void forget(const QString &path);

} // namespace AutoSaveOwners
