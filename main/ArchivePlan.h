#pragma once
// The copies an archive needs, planned while its project file is written: each
// material once, into the archive's "resource" folder; two different files of one
// name get a copy each ("name-2.ext", ...), and a copy already there from an
// earlier archive is used again when it is the same file. It only plans: the
// archive's worker (ArchiveCopier) makes the copies.
// Lives on: main thread.

#include "ArchiveCopier.h"

#include <QList>
#include <QString>

class ArchivePlan {
public:
    // Copies go into `archiveFolder` + "/resource".
    explicit ArchivePlan(const QString &archiveFolder) : m_folder(archiveFolder) {}

    // Where the archive's copy of `material` goes (planned on the first call).
    QString copyOf(const QString &material);
    const QList<ArchiveCopy> &copies() const { return m_copies; }

private:
    QString m_folder;
    QList<ArchiveCopy> m_copies;
};
