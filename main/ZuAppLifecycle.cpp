// Project lifecycle of ZuApp: ask-to-save, new, open, save, auto-save and recovery.

#include "FileDialogs.h"
#include "MessageBox.h"
#include "Translate.h"
#include "ZuApp.h"
#include "render/RenderManager.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {
void setAutoSavePath(const QString &path)
{
    bg::UserSettings::instance().set("autoSavePath", path.toStdString());
    bg::UserSettings::instance().save();
}
} // namespace

QString ZuApp::autoSavePathFor(const QString &projectPath)
{
    const QFileInfo file(projectPath);
    const QString folder = file.exists() ? file.absolutePath() : QDir::tempPath();
    return folder + "/~temp_" + file.baseName() + ".zua2";
}

bool ZuApp::askSaveCurrent()
{
    auto forgetAutoSave = [this] {
        QFile::remove(autoSavePathFor(m_projectPath));
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
        saveProject(false, false, QString());
        return true;
    case 1:
        forgetAutoSave();
        return true;
    default:
        return false;
    }
}

void ZuApp::createProject(const QString &path, int width, int height, bool fixed)
{
    if (!askSaveCurrent())
        return;
    clearProject();
    if (m_renderManager)
        m_renderManager->setSceneSize(uint32_t(width), uint32_t(height), fixed);
    if (!writeContainer(path, ContainerKind::NewProject, false))
        return;
    zua::UndoController::instance()->reset();
    zua::UndoController::instance()->setClean();
    m_projectPath = path;
    const QFileInfo info(path);
    emit sig_prependHistory(path);
    emit sig_updateProjectName(info.completeBaseName(), true);
    emit sig_updateProjectName(ZTR("titlebar.CreateProjectSuccess").arg(info.fileName()), false);
}

void ZuApp::openProject(const QString &path)
{
    if (!askSaveCurrent())
        return;
    const QString suffix = QFileInfo(path).suffix();
    if (suffix == QLatin1String("zua2"))
        readProjectFile(path);
    else if (suffix == QLatin1String("zua"))
        readLegacyProjectFile(path);
}

bool ZuApp::saveProject(bool autoSave, bool archive, QString path)
{
    if (path.isEmpty())
        path = m_projectPath;
    const QFileInfo file(path);
    const bool exists = file.exists();
    if (autoSave) {
        path = autoSavePathFor(path);
        setAutoSavePath(path);
    } else {
        QFile::remove(autoSavePathFor(path));
        setAutoSavePath(QString());
        if (!exists && !archive)
            path = FileDialogs::saveFileName(nullptr, ZTR("MainWindow.Save"), file.baseName(),
                                             QStringLiteral("*.zua2"));
    }
    if (path.isEmpty() || !writeContainer(path, ContainerKind::Save, archive))
        return false;
    const QFileInfo saved(path);
    if (autoSave) {
        emit sig_updateProjectName(ZTR("titlebar.AutoProjectSuccess").arg(saved.fileName()), false);
        return true;
    }
    zua::UndoController::instance()->setClean();
    if (!archive)
        m_projectPath = path;
    emit sig_prependHistory(path);
    emit sig_updateProjectName(saved.completeBaseName(), true);
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

void ZuApp::recoverAutoSave(bool continueWork, const QString &autoSavePath)
{
    if (continueWork) {
        QString target = autoSavePath;
        target.remove(QStringLiteral("~temp_"));
        if (!isCompleteDocument(autoSavePath)) {
            // Damaged: the project stays as it was last saved; the file is kept aside.
            BG_LOG_E("---> 自动保存文件已损坏: %s", qUtf8Printable(autoSavePath));
            showFailure(ZKEY("titlebar.FileReadFail"));
        } else if (QFileInfo::exists(target)) {
            QFile::remove(target);
            QFile::rename(autoSavePath, target);
            openProject(target);
        } else {
            openProject(autoSavePath);
        }
    } else {
        QFile::remove(autoSavePath);
    }
    setAutoSavePath(QString());
}
