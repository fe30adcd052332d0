#pragma once
// The open project as a document: its file (reading ".zua2", importing ".zua",
// writing atomically), its path and flags, the ask-to-save, new, open, save and
// Save As operations, the 30 s auto-save and its recovery, and archiving with the
// materials (planned by ArchivePlan, copied by ArchiveCopier). The sections of the
// file belong to their owners (`ProjectSections`); the document only frames them.
// How the file names materials is ProjectMaterialPaths' business.
// Lives on: main thread (the archive's copies are made on a pool thread and
// reported back by a queued call).

#include "ArchiveCopier.h"
#include "ProjectMaterialPaths.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QXmlStreamReader>

#include <atomic>
#include <memory>

class ArchivedProcessDialog;
class ProjectSections;
class QIODevice;
class QWidget;
class RenderManager;

class ProjectDocument : public QObject {
    Q_OBJECT
public:
    // `sections` are the owners of the file's sections, kept by the caller.
    explicit ProjectDocument(ProjectSections *sections, QObject *parent = nullptr);
    ~ProjectDocument() override;

    // The engines a load or save must stop first (a take under way, playback) and
    // that get the new project's picture size; may be null.
    void setRenderManager(RenderManager *renderManager);
    // The window failure boxes are shown over; may be null.
    void setWindow(QWidget *window);
    // Replaces the owners of the file sections; null restores the ones given at
    // construction. Used to drive the file on its own.
    void setSections(ProjectSections *sections);
    ProjectSections *sections() const { return m_sections; }

    // ---- the file --------------------------------------------------------
    enum class ContainerKind { NewProject, Save };
    // Writes the file to `path` atomically: the previous file stays intact unless
    // the whole new file was written. False when nothing was written, with the
    // system's reason in `reason` when given.
    bool writeContainer(const QString &path, ContainerKind kind, bool archive,
                        QString *reason = nullptr);
    // Reads a ".zua2" file; false when it could not be opened or holds no element
    // (the failure box was shown). With `asPath`, the content of `path` becomes the
    // project of that path (a recovered auto-save of it).
    bool readProjectFile(const QString &path, const QString &asPath = QString());
    // Imports a legacy ".zua" file.
    bool readLegacyProjectFile(const QString &path);

    // ---- operations --------------------------------------------------------
    // Offers to save a modified project; false when the user cancelled.
    bool askSaveCurrent();
    void createProject(const QString &path, int width, int height, bool fixed);
    // Opens a project file by its exact suffix ("zua2" or "zua"); anything else is ignored.
    void openProject(const QString &path);
    // Manual save, auto-save or archive; an empty path means the current project.
    // False when nothing was written.
    bool saveProject(bool autoSave, bool archive, QString path);
    // Save As: always asks where; the chosen file becomes the project's. False when
    // cancelled or nothing was written (the previous file stays as it was).
    bool saveProjectAs();
    // Archives the project with its materials into `target` (folder + "/" + name):
    // the project file and a "resource" folder of copies, made on a worker thread
    // while the progress shows; nothing stays behind when it fails or is cancelled.
    void archiveProject(const QString &target);
    // Stops playback and recording, empties the library and the timeline, resets history.
    void clearProject();

    // ---- auto-save and recovery ----------------------------------------------
    static constexpr int kAutoSaveMs = 30000;
    // The 30 s auto-save timer (off while an archive is made).
    void setAutoSaveEnabled(bool enabled);
    // "~temp_" + the file name without ".zua2" + ".zua2", beside the project file, or
    // for untitled work in the editor's own auto-save folder (a temporary folder is
    // emptied at boot, and with it the work a power cut left behind).
    static QString autoSavePathFor(const QString &projectPath);
    // $XDG_DATA_HOME/<app>/autosave, created when missing.
    static QString autoSaveFolder();
    // Where the current work is auto-saved.
    QString currentAutoSavePath() const;
    // Answer of the start-up recovery prompt.
    void recoverAutoSave(bool continueWork, const QString &autoSavePath);
    // An auto-save of an earlier run waits to be offered: until it is answered, no
    // auto-save of this session replaces it.
    void setRecoveryPending(bool pending) { m_recoveryPending = pending; }

    // ---- state -------------------------------------------------------------
    // True while a project is being opened, created or recovered (prompts included):
    // an auto-save then would write a half-loaded project.
    bool isLoading() const { return m_loading; }
    // True while the document is being written by a save the user asked for or an
    // archive is being made.
    bool isWriting() const { return m_saving || m_archiveCancel; }
    QString projectPath() const { return m_projectPath; }
    void setProjectPath(const QString &path)
    {
        m_projectPath = path;
        m_needsLocation = false;
    }
    // The project has no file of its own yet (an imported older project, a new one
    // whose file could not be written): the next save asks where, whatever is at the
    // proposed path.
    bool needsLocation() const { return m_needsLocation; }
    // The project path if that file exists and is the project's own, else empty.
    QString currentProjectPath() const;
    QString archiveFolder() const { return m_paths.archiveFolder(); }
    // Default project path of a new session: home + "/zu_yyyyMMdd_HHmmss".
    static QString defaultProjectPath();

    // How the open project's file names its materials (kept; handed to the sections).
    const ProjectMaterialPaths &materialPaths() const { return m_paths; }

signals:
    void sig_prependHistory(const QString &path);
    // The project's name (`isName`) or a passing message for the title bar.
    void sig_updateProjectName(const QString &text, bool isName);

private:
    // The archive's worker is done: its outcome (empty when the archive is made).
    Q_INVOKABLE void archiveFinished(const QString &path, const QString &error);
    void readLegacyChildren();
    void showFailure(const QString &key);
    void showFailureText(const QString &text); // an information box with this text
    // A save the user asked for: to `path`, or where the user says when `ask`.
    bool saveManually(QString path, bool archive, bool ask);
    // Untitled from now on, proposing `path` for the first save.
    void makeUntitled(const QString &path);
    // Opens `path` and reads its root element: false (the failure box shown, nothing
    // changed) when it is no project of this kind.
    bool openForReading(QIODevice &file, const QString &rootName);
    // Reads a ".zua2" file, with a progress window that can cancel it when
    // `cancellable` (the project open before then comes back).
    bool readProject(const QString &file, const QString &asPath, bool cancellable);
    // A take under way is finished first and becomes a clip (it is part of the work).
    void finishTake();

    QPointer<RenderManager> m_renderManager;
    QPointer<QWidget> m_window;
    QPointer<ArchivedProcessDialog> m_archivedProcess;
    ProjectSections *m_defaultSections;
    ProjectSections *m_sections;
    QTimer m_autoSave;
    QXmlStreamReader m_reader;
    QString m_projectPath;
    ProjectMaterialPaths m_paths{[this] { return m_projectPath; }};
    bool m_needsLocation = false; // see needsLocation()
    bool m_loading = false;
    bool m_recoveryPending = false;
    bool m_saving = false;          // a manual save (and its location dialog) is in progress
    bool m_autoSaveFailing = false; // told once; told again only after one works
    // An archive under way: its cancel flag and the worker's outcome.
    std::shared_ptr<std::atomic<bool>> m_archiveCancel;
    QString m_archiveError;
};
