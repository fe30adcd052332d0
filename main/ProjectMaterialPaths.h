#pragma once
// How the open project names its materials in its file: as they are, or relative
// to the folder of an archived project; while an archive is being written, each
// material as its planned copy in the archive (ArchivePlan). Reading a path back
// makes a relative one absolute against the project file. It never touches files.
// Lives on: main thread.

#include "common/MaterialPaths.h"

#include <QString>

#include <functional>

class ArchivePlan;

class ProjectMaterialPaths : public MaterialPaths {
public:
    // `projectFile` answers where the open project's file is.
    explicit ProjectMaterialPaths(std::function<QString()> projectFile)
        : m_projectFile(std::move(projectFile))
    {}

    // The open project is an archive (its file names materials relative to it).
    bool archived() const { return m_archived; }
    void setArchived(bool archived) { m_archived = archived; }
    // The folder relative paths are written against.
    QString archiveFolder() const { return m_archiveFolder; }
    void setArchiveFolder(const QString &folder) { m_archiveFolder = folder; }
    // While an archive's file is written: the plan that names each material's copy
    // (null otherwise). Not owned.
    void setPlan(ArchivePlan *plan) { m_plan = plan; }

    QString resolveMaterialPath(const QString &path) const override;
    // When `archive`, the planned copy relative to the archive folder (the path as
    // it is when no plan is set); in an archived project, relative; else as is.
    QString storedMaterialPath(const QString &path, bool archive) const override;

private:
    QString relative(const QString &path) const;

    std::function<QString()> m_projectFile;
    QString m_archiveFolder;
    bool m_archived = false;
    ArchivePlan *m_plan = nullptr;
};
