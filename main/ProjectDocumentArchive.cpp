// Archiving the open project: its file with the archived flag and a "resource"
// folder of material copies, in folder/name. The project file is written first
// (to a ".part" beside it) so that the copies it needs are known; a worker then
// copies them with progress, and only a complete archive gets its project file.

#include "ArchiveCopier.h"
#include "ArchivePlan.h"
#include "ArchivedProcessDialog.h"
#include "ProjectDocument.h"
#include "common/MessageBox.h"
#include "common/Translate.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <cstdio>

void ProjectDocument::archiveProject(const QString &target)
{
    const QFileInfo where(target);
    // The folder takes the whole name (dots included), and so does the file.
    const QString name = where.fileName();
    const QString folder = where.absolutePath() + '/' + name;
    BG_LOG_D("dirPath %s %s", qUtf8Printable(where.absolutePath()), qUtf8Printable(name));
    const QString file = folder + '/' + name + QStringLiteral(".zua2");
    const QString part = file + QStringLiteral(".part");
    auto refuse = [](const QString &text) {
        MessageBox::inform(nullptr, ZKEY("archivedialog.Hint"), text, ZKEY("archivedialog.Ok"));
    };
    // An archive of this name replaces its project file when it is done: never the
    // open project's own file (an archived project archived again under its name).
    const QString own = QFileInfo(m_projectPath).canonicalFilePath();
    if (!own.isEmpty() && QFileInfo(file).canonicalFilePath() == own) {
        refuse(ZTR("archivedialog.OwnFile"));
        return;
    }
    // Another project of that name there is replaced only when the user says so.
    const bool replacing = QFileInfo::exists(file) || QFileInfo(file).isSymLink();
    if (replacing) {
        MessageSpec ask;
        ask.titleKey = ZKEY("archivedialog.Hint");
        ask.text = ZTR("archivedialog.AskReplace")
                       .arg(QFileInfo(file).fileName(), QDir::toNativeSeparators(folder));
        ask.buttonKeys = QStringList{ZKEY("archivedialog.Replace"), ZKEY("archivedialog.Cancel")};
        ask.defaultButton = 1;
        ask.escapeButton = 1;
        if (MessageBox::show(ask) != 0)
            return;
    }
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
        refuse(ZTR("archivedialog.WriteForbidden"));
        return;
    }
    // The project file names the copies the plan gives each material.
    ArchivePlan plan(folder);
    m_paths.setPlan(&plan);
    const QString archiveFolderBefore = m_paths.archiveFolder();
    QString reason;
    const bool written = writeContainer(part, ContainerKind::Save, true, &reason);
    m_paths.setPlan(nullptr);
    if (!written) {
        m_paths.setArchiveFolder(archiveFolderBefore);
        QDir().rmdir(folder); // made just now, still empty
        refuse(ZTR("archivedialog.WriteFail").arg(QDir::toNativeSeparators(file), reason));
        return;
    }

    setAutoSaveEnabled(false);
    m_archiveError.clear();
    m_archiveCancel = std::make_shared<std::atomic<bool>>(false);
    if (!m_archivedProcess) {
        m_archivedProcess = new ArchivedProcessDialog;
        connect(m_archivedProcess, &ArchivedProcessDialog::sig_cancel, this, [this] {
            if (m_archiveCancel)
                *m_archiveCancel = true;
        });
    }
    m_archivedProcess->setProgress(0, 0);
    m_archivedProcess->open();
    auto copier = std::make_shared<ArchiveCopier>(plan.copies(), *m_archiveCancel);
    auto cancel = m_archiveCancel; // keeps the flag alive as long as the copier
    QPointer<ArchivedProcessDialog> progress = m_archivedProcess;
    QThreadPool::globalInstance()->start([this, copier, cancel, progress, file, part, replacing] {
        QString error = copier->run([progress](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(progress, "setProgress", Qt::QueuedConnection,
                                      Q_ARG(qint64, done), Q_ARG(qint64, total));
        });
        if (error.isEmpty()) {
            // rename() replaces the file the user agreed to replace in one step; without
            // that agreement, a file that appeared there meanwhile is left alone.
            const bool placed = replacing ? std::rename(QFile::encodeName(part).constData(),
                                                        QFile::encodeName(file).constData()) == 0
                                          : QFile::rename(part, file);
            if (!placed)
                error = ZTR("archivedialog.WriteForbidden");
        }
        if (!error.isEmpty()) {
            // The copies are gone already; the project file goes too, and the
            // folders when this run left them empty (rmdir keeps anything else).
            QFile::remove(part);
            const QString folder = QFileInfo(part).absolutePath();
            QDir(folder).rmdir(QStringLiteral("resource"));
            QDir().rmdir(folder);
        }
        // By name, so that Qt copies the arguments across (a functor would be built
        // here and read on the main thread, an ordering the thread tools cannot see).
        QMetaObject::invokeMethod(this, "archiveFinished", Qt::QueuedConnection,
                                  Q_ARG(QString, file), Q_ARG(QString, error));
    });
}

void ProjectDocument::archiveFinished(const QString &path, const QString &error)
{
    m_archiveError = error;
    if (m_archivedProcess)
        m_archivedProcess->accept();
    setAutoSaveEnabled(true);
    m_archiveCancel.reset();
    if (!m_archiveError.isEmpty()) {
        BG_LOG_W("---> archive not made: %s", qUtf8Printable(m_archiveError));
        MessageBox::inform(nullptr, ZKEY("archivedialog.Hint"), m_archiveError,
                           ZKEY("archivedialog.Ok"));
        return;
    }
    const QFileInfo archive(path);
    emit sig_prependHistory(path);
    emit sig_updateProjectName(ZTR("titlebar.SaveProjectSuccess").arg(archive.fileName()), false);
    bg::SystemServices::revealInFileManager(path.toStdString());
}
