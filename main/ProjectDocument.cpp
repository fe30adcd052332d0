// The document's operations: ask-to-save, new, open, save, auto-save and recovery.

#include "ProjectDocument.h"
#include "ArchivedProcessDialog.h"
#include "AutoSaveOwners.h"
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "render/RenderManager.h"
#include "render/Transport.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QUndoStack>
#include <QWidget>
#include <QXmlStreamReader>

namespace {
void setAutoSavePath(const QString &path)
{
    AutoSaveOwners::recordOwn(path);
}
} // namespace

namespace {
constexpr char kAutoSavePrefix[] = "~temp_";

// The file name without a final ".zua2" (any case): "my.film.zua2" gives "my.film".
QString nameWithoutSuffix(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".zua2"), Qt::CaseInsensitive) ? fileName.chopped(5)
                                                                          : fileName;
}
} // namespace

ProjectDocument::ProjectDocument(ProjectSections *sections, QObject *parent)
    : QObject(parent), m_defaultSections(sections), m_sections(sections)
{
    m_autoSave.setInterval(kAutoSaveMs);
    m_autoSave.setTimerType(Qt::CoarseTimer);
    connect(&m_autoSave, &QTimer::timeout, this, [this] { saveProject(true, false, QString()); });
    m_projectPath = defaultProjectPath();
}

ProjectDocument::~ProjectDocument()
{
    delete m_archivedProcess.data();
}

void ProjectDocument::setRenderManager(RenderManager *renderManager)
{
    m_renderManager = renderManager;
}

void ProjectDocument::setWindow(QWidget *window)
{
    m_window = window;
}

void ProjectDocument::setSections(ProjectSections *sections)
{
    m_sections = sections ? sections : m_defaultSections;
}

void ProjectDocument::setAutoSaveEnabled(bool enabled)
{
    if (enabled)
        m_autoSave.start();
    else
        m_autoSave.stop();
}

QString ProjectDocument::defaultProjectPath()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDir::homePath() + "/zu_" + now.toString("yyyyMMdd") + "_" + now.toString("HHmmss");
}

void ProjectDocument::finishTake()
{
    if (m_renderManager)
        m_renderManager->transport()->stop(false, true);
}

QString ProjectDocument::autoSaveFolder()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/autosave";
    QDir().mkpath(folder);
    return folder;
}

QString ProjectDocument::autoSavePathFor(const QString &projectPath)
{
    const QFileInfo file(projectPath);
    const QString folder = file.exists() ? file.absolutePath() : autoSaveFolder();
    return folder + "/" + kAutoSavePrefix + nameWithoutSuffix(file.fileName()) + ".zua2";
}

QString ProjectDocument::currentAutoSavePath() const
{
    if (!m_needsLocation)
        return autoSavePathFor(m_projectPath);
    // Work without a file of its own is kept in the editor's folder, never beside a
    // file that merely has the proposed name (recovery would replace it).
    return autoSaveFolder() + "/" + kAutoSavePrefix +
           nameWithoutSuffix(QFileInfo(m_projectPath).fileName()) + ".zua2";
}

void ProjectDocument::makeUntitled(const QString &path)
{
    m_projectPath = path;
    m_needsLocation = true;
    emit sig_updateProjectName(nameWithoutSuffix(QFileInfo(path).fileName()), true);
}

bool ProjectDocument::askSaveCurrent()
{
    // The question covers a take under way (and Save keeps it).
    finishTake();
    auto forgetAutoSave = [this] {
        QFile::remove(currentAutoSavePath());
        setAutoSavePath(QString());
    };
    if (zua::UndoController::instance()->isClean()) {
        forgetAutoSave();
        return true;
    }
    MessageSpec ask;
    ask.titleKey = ZKEY("archivedialog.Hint");
    ask.text = ZTR("titlebar.AskSave");
    ask.buttonKeys =
        QStringList{ZKEY("MainWindow.Save"), ZKEY("titlebar.NoneSave"), ZKEY("titlebar.Cancel")};
    ask.defaultButton = 0;
    ask.escapeButton = 2;
    switch (MessageBox::show(ask)) {
    case 0:
        // A cancelled or failed save keeps the window open and the work recoverable.
        return saveProject(false, false, QString());
    case 1:
        forgetAutoSave();
        return true;
    default:
        return false;
    }
}

void ProjectDocument::createProject(const QString &path, int width, int height, bool fixed)
{
    QScopedValueRollback<bool> loading(m_loading, true);
    if (!askSaveCurrent())
        return;
    clearProject();
    if (m_renderManager)
        m_renderManager->setSceneSize(uint32_t(width), uint32_t(height), fixed);
    QString reason;
    if (!writeContainer(path, ContainerKind::NewProject, false, &reason)) {
        // Unlike a plain stop, the empty project is not left tied to the previous
        // file (Ctrl+S would overwrite it): it is untitled and its first save asks.
        makeUntitled(path);
        showFailureText(
            ZTR("titlebar.CreateProjectFail").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    zua::UndoController::instance()->reset();
    zua::UndoController::instance()->setClean();
    setProjectPath(path);
    const QFileInfo info(path);
    emit sig_prependHistory(path);
    emit sig_updateProjectName(info.completeBaseName(), true);
    emit sig_updateProjectName(ZTR("titlebar.CreateProjectSuccess").arg(info.fileName()), false);
}

void ProjectDocument::openProject(const QString &path)
{
    QScopedValueRollback<bool> loading(m_loading, true);
    if (!askSaveCurrent())
        return;
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == QLatin1String("zua2"))
        readProjectFile(path);
    else if (suffix == QLatin1String("zua"))
        readLegacyProjectFile(path);
}

bool ProjectDocument::saveProject(bool autoSave, bool archive, QString path)
{
    const bool current = path.isEmpty() || path == m_projectPath;
    if (path.isEmpty())
        path = m_projectPath;
    if (autoSave) {
        // Never while a save is asking where to write (it is about to clear the
        // setting), while a project is loading, or before an earlier run's work has
        // been offered back (its setting would be replaced).
        if (m_saving || m_loading || m_recoveryPending)
            return false;
        path = current ? currentAutoSavePath() : autoSavePathFor(path);
        QString reason;
        if (!writeContainer(path, ContainerKind::Save, archive, &reason)) {
            // Said in the title bar, without stopping the work, once until it works again.
            if (!m_autoSaveFailing)
                emit sig_updateProjectName(
                    ZTR("titlebar.AutoSaveFail").arg(QDir::toNativeSeparators(path), reason),
                    false);
            m_autoSaveFailing = true;
            return false;
        }
        m_autoSaveFailing = false;
        setAutoSavePath(path);
        // Silent: the auto-save's own file name is nothing the user works with.
        return true;
    }
    const bool ask = !archive && (!QFileInfo::exists(path) || (current && m_needsLocation));
    return saveManually(path, archive, ask);
}

bool ProjectDocument::saveProjectAs()
{
    return saveManually(m_projectPath, false, true);
}

bool ProjectDocument::saveManually(QString path, bool archive, bool ask)
{
    finishTake();
    QScopedValueRollback<bool> saving(m_saving, true);
    const QString previousAutoSave =
        path == m_projectPath ? currentAutoSavePath() : autoSavePathFor(path);
    if (ask) {
        // Proposed in the project's folder when it has one, else in the home folder.
        const QFileInfo file(path);
        const QString name = nameWithoutSuffix(file.fileName());
        const QString proposed = file.isAbsolute() && file.absoluteDir().exists()
                                     ? file.absoluteDir().filePath(name)
                                     : QDir::home().filePath(name);
        path = FileDialogs::saveFileName(nullptr, ZTR("MainWindow.Save"), proposed,
                                         QStringLiteral("*.zua2"));
        if (!path.isEmpty() && !path.endsWith(QLatin1String(".zua2"), Qt::CaseInsensitive))
            path += QStringLiteral(".zua2");
    }
    // The auto-save goes only once the work is safely written elsewhere.
    if (path.isEmpty())
        return false;
    QString reason;
    if (!writeContainer(path, ContainerKind::Save, archive, &reason)) {
        // The file there is as it was, and the work stays marked as changed.
        showFailureText(
            ZTR("titlebar.SaveProjectFail").arg(QDir::toNativeSeparators(path), reason));
        return false;
    }
    QFile::remove(previousAutoSave);
    setAutoSavePath(QString());
    const QFileInfo saved(path);
    zua::UndoController::instance()->setClean();
    if (!archive)
        setProjectPath(path);
    emit sig_prependHistory(path);
    emit sig_updateProjectName(nameWithoutSuffix(saved.fileName()), true);
    emit sig_updateProjectName(ZTR("titlebar.SaveProjectSuccess").arg(saved.fileName()), false);
    return true;
}

namespace {
// True when the file is a complete XML document: an auto-save cut short by a crash
// must not replace the project it was made from.
bool isCompleteDocument(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QXmlStreamReader reader(&file);
    bool root = false;
    while (!reader.atEnd())
        root = reader.readNext() == QXmlStreamReader::StartElement || root;
    return root && !reader.hasError();
}
} // namespace

void ProjectDocument::recoverAutoSave(bool continueWork, const QString &autoSavePath)
{
    QScopedValueRollback<bool> loading(m_loading, true);
    m_recoveryPending = false;
    // The editor that wrote it is gone: from now on the file is this one's, or nobody's.
    AutoSaveOwners::forget(autoSavePath);
    if (!continueWork) {
        QFile::remove(autoSavePath);
        return;
    }
    // Only the file's own name loses the prefix, never a folder on its way.
    const QFileInfo autoFile(autoSavePath);
    QString name = autoFile.fileName();
    if (name.startsWith(QLatin1String(kAutoSavePrefix)))
        name.remove(0, int(sizeof kAutoSavePrefix) - 1);
    const bool untitled = QDir(autoFile.absolutePath()) == QDir(autoSaveFolder());
    const QString target = autoFile.absolutePath() + "/" + name;
    if (!isCompleteDocument(autoSavePath)) {
        // Damaged: the project stays as it was last saved; the file is kept aside.
        BG_LOG_E("---> the auto-save file is damaged: %s", qUtf8Printable(autoSavePath));
        showFailure(ZKEY("titlebar.FileReadFail"));
        return;
    }
    if (!askSaveCurrent())
        return;
    if (untitled) {
        // Untitled work comes back untitled: Save asks where.
        readProjectFile(autoSavePath);
        makeUntitled(QDir::home().filePath(name));
    } else if (QFileInfo::exists(target)) {
        // The file the user saved stays as it is: the recovered work opens as its
        // changed version, and only Save writes it there (the auto-save goes then).
        readProjectFile(autoSavePath, target);
    } else {
        readProjectFile(autoSavePath);
    }
    // Modified, so that closing asks; the auto-save is kept until the work is saved.
    zua::UndoController::instance()->stack()->resetClean();
    setAutoSavePath(autoSavePath);
}
