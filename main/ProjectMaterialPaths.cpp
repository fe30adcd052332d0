#include "ProjectMaterialPaths.h"

#include "ArchivePlan.h"

#include <QDir>
#include <QFileInfo>

QString ProjectMaterialPaths::resolveMaterialPath(const QString &path) const
{
    const QString project = m_projectFile ? m_projectFile() : QString();
    if (!m_archived || !QFileInfo::exists(project))
        return path;
    return inProjectFolder(path, project);
}

QString ProjectMaterialPaths::relative(const QString &path) const
{
    return QDir(m_archiveFolder).relativeFilePath(path);
}

QString ProjectMaterialPaths::storedMaterialPath(const QString &path, bool archive) const
{
    if (path.isEmpty())
        return path;
    if (archive)
        return m_plan ? relative(m_plan->copyOf(path)) : path;
    return m_archived ? relative(path) : path;
}
