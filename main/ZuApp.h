#pragma once
// The application object: owns the main window, the render manager and the
// archive progress dialog, keeps the current project's path and flags and carries
// out the project operations (the project file container and its path services).
// Lives on: main thread.

#include "ArchiveCopier.h"
#include "SingleApplication.h"
#include "common/MaterialPaths.h"
#include "render/RenderTypes.h"

#include <QPointer>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <atomic>
#include <memory>

class ArchivedProcessDialog;
class QTimer;
class MainWindow;
class ProjectSections;
class RenderManager;

class ZuApp : public SingleApplicationWrapper, public MaterialPaths {
    Q_OBJECT
public:
    ZuApp(int &argc, char **argv);
    ~ZuApp() override;

    static ZuApp *instance() { return qobject_cast<ZuApp *>(QCoreApplication::instance()); }

    // Builds the render manager and the main window; false when rendering cannot start.
    bool init();

    bool isEnglish() const { return m_english; }
    void setEnglish(bool english) { m_english = english; }
    MainWindow *mainWindow() const;
    RenderManager *renderManager() const;

    // ---- project file container ------------------------------------------
    enum class ContainerKind { NewProject, Save };
    // Writes the container to `path` atomically: the previous file stays intact
    // unless the whole new file was written. False when nothing was written, with the
    // system's reason in `reason` when given.
    bool writeContainer(const QString &path, ContainerKind kind, bool archive,
                        QString *reason = nullptr);
    // Reads a ".zua2" file; false when it could not be opened or holds no element
    // (the failure box was shown).
    bool readProjectFile(const QString &path);
    // Imports a legacy ".zua" file.
    bool readLegacyProjectFile(const QString &path);

    // ---- project lifecycle ---------------------------------------------------
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
    // "~temp_" + the file name without ".zua2" + ".zua2", beside the project file, or
    // for untitled work in the editor's own auto-save folder (a temporary folder is
    // emptied at boot, and with it the work a power cut left behind).
    static QString autoSavePathFor(const QString &projectPath);
    // $XDG_DATA_HOME/<app>/autosave, created when missing.
    static QString autoSaveFolder();
    // Archives the project with its materials into `target` (folder + "/" + name):
    // the project file and a "resource" folder of copies, made on a worker thread
    // while the progress shows; nothing stays behind when it fails or is cancelled.
    void archiveProject(const QString &target);
    // Stops playback and recording, empties the library and the timeline, resets history.
    void clearProject();
    // Answer of the start-up recovery prompt.
    void recoverAutoSave(bool continueWork, const QString &autoSavePath);
    // An auto-save of an earlier run waits to be offered: until it is answered, no
    // auto-save of this session replaces it.
    void setRecoveryPending(bool pending) { m_recoveryPending = pending; }
    // True while a project is being opened, created or recovered (prompts included):
    // an auto-save then would write a half-loaded project.
    bool isLoading() const { return m_loading; }
    // True while the user is in the middle of something a project change would break:
    // an export, an archive, a load or save, or any modal dialog.
    bool isBusy() const;
    // A message from a second launch: raises the window; "open:PATH" opens that
    // project once the user is free (the latest hand-over wins).
    void handOver(const QByteArray &message);

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
    // Where the current work is auto-saved.
    QString currentAutoSavePath() const;
    bool isArchived() const { return m_archived; }
    QString archiveFolder() const { return m_archiveFolder; }

    // ---- material path services -------------------------------------------
    QString resolveMaterialPath(const QString &path) const override;
    QString relativeToArchive(const QString &path) const;
    QString copyIntoProjectResource(const QString &path) const;
    // A material path as the project file stores it: when archiving, the archived
    // copy relative to the project; in an archived project, relative; else as is.
    QString storedMaterialPath(const QString &path, bool archive) const override;

    void togglePreviewMaximised();
    bool previewMaximised() const { return m_previewMaximised; }

    // Replaces the owners of the file sections (by default the render manager and
    // the main window); used to drive the container on its own.
    void setSections(ProjectSections *sections);
    ProjectSections *sections() const;

    // Default project path of a new session: home + "/zu_yyyyMMdd_HHmmss".
    static QString defaultProjectPath();

public slots:
    // The archive's worker has finished (queued onto the main thread).
    void slot_closeArchivedProcess(const QString &path);

signals:
    void sig_prependHistory(const QString &path);
    void sig_updateProjectName(const QString &text, bool isName);
    void sig_updatePreivew();
    // Decoded frames of a previewed clip, for the crop editor.
    void sig_updateCropMenu(const QList<VFrameInfo> &frames);

private:
    // The archive's worker is done: its outcome (empty when the archive is made).
    Q_INVOKABLE void archiveFinished(const QString &path, const QString &error);
    void readRootChildren();
    void readLegacyChildren();
    void showFailure(const QString &key);
    void showFailureText(const QString &text); // an information box with this text
    // A save the user asked for: to `path`, or where the user says when `ask`.
    bool saveManually(QString path, bool archive, bool ask);
    // Untitled from now on, proposing `path` for the first save.
    void makeUntitled(const QString &path);
    // Opens `path` and reads its root element: false (the failure box shown, nothing
    // changed) when it is no project of this kind.
    bool openForReading(QFile &file, const QString &rootName);

    bool m_english = false;
    QPointer<MainWindow> m_mainWindow;
    QPointer<RenderManager> m_renderManager;
    QPointer<ArchivedProcessDialog> m_archivedProcess;
    bool m_previewMaximised = false;
    QXmlStreamReader m_reader;
    QString m_projectPath;
    QString m_archiveFolder;
    bool m_archived = false;
    bool m_needsLocation = false; // see needsLocation()
    bool m_loading = false;
    QString m_handedOver; // a project a second launch asked to open, waiting
    QTimer *m_handOverTimer = nullptr;
    bool m_recoveryPending = false;
    bool m_saving = false;          // a manual save (and its location dialog) is in progress
    bool m_autoSaveFailing = false; // told once; told again only after one works
    // An archive under way: the copies its project file refers to, planned while it
    // is written (main thread), made by the worker; the worker's outcome.
    mutable QList<ArchiveCopy> m_archivePlan;
    bool m_planningArchive = false;
    std::shared_ptr<std::atomic<bool>> m_archiveCancel;
    QString m_archiveError; // the worker's outcome, handed over with its report

    std::unique_ptr<ProjectSections> m_defaultSections;
    ProjectSections *m_sections = nullptr;
};
