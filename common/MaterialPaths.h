#pragma once
// How the project file names its materials: an archived project stores paths
// relative to its folder, and archiving copies each material into the archive's
// "resource" folder. The application object answers for the open project; the
// section readers and writers are handed it. The base class keeps paths as they
// are (a project that is not archived, or a library used on its own).
// Lives on: main thread.

#include <QDir>
#include <QFileInfo>
#include <QString>

class MaterialPaths {
public:
    virtual ~MaterialPaths() = default;
    // A path read from the project file, made usable.
    virtual QString resolveMaterialPath(const QString &path) const { return path; }
    // A material path as the project file stores it (`archive`: the file is being
    // written into an archive folder).
    virtual QString storedMaterialPath(const QString &path, bool archive) const
    {
        (void)archive;
        return path;
    }
    // A path stored relative to an archived project's folder, made absolute against
    // `projectFile`; an absolute path stays as it is.
    static QString inProjectFolder(const QString &path, const QString &projectFile)
    {
        if (QFileInfo(path).isAbsolute())
            return path;
        return QDir::cleanPath(QFileInfo(projectFile).absoluteDir().absoluteFilePath(path));
    }
    // Paths kept as they are.
    static const MaterialPaths &plain()
    {
        static const MaterialPaths paths;
        return paths;
    }
};
