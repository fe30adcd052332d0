#pragma once
// The application object: single instance, language, the render manager, the
// exporter, the recorder, the main window and the open project's document; serves a
// second launch's hand-over.
// Lives on: main thread.

#include "SingleApplication.h"
#include "render/RenderTypes.h"

#include <QPointer>

#include <memory>

class MainWindow;
class ProjectDocument;
class ProjectSections;
class QTimer;
class Exporter;
class RecordManager;
class RenderManager;

class ZuApp : public SingleApplicationWrapper {
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
    // Exports and voice-over takes; both follow the render manager's transport.
    Exporter *exporter() const;
    RecordManager *recorder() const;
    // The open project (exists from construction on; its sections reach the render
    // manager and the main window once `init` has built them).
    ProjectDocument *document() const { return m_document.get(); }

    // True while the user is in the middle of something a project change would break:
    // an export, an archive, a load or save, or any modal dialog.
    bool isBusy() const;
    // A message from a second launch: raises the window; "open:PATH" opens that
    // project once the user is free (the latest hand-over wins).
    void handOver(const QByteArray &message);

    // Closes the window the usual way (asking to save) and, when it closed, starts
    // the editor again once this one has ended (see restartCommand()).
    void requestRestart();
    // The program and arguments to start after this run ends; empty when no restart
    // was asked for.
    QStringList restartCommand() const { return m_restartCommand; }

    void togglePreviewMaximised();

signals:
    void sig_updatePreivew();
    // Decoded frames of a previewed clip, for the crop editor.
    void sig_updateCropMenu(const QList<VFrameInfo> &frames);

private:
    bool m_english = false;
    QPointer<MainWindow> m_mainWindow;
    QPointer<RenderManager> m_renderManager;
    QPointer<Exporter> m_exporter;
    QPointer<RecordManager> m_recorder;
    bool m_previewMaximised = false;
    QStringList m_restartCommand;
    QString m_handedOver; // a project a second launch asked to open, waiting
    QTimer *m_handOverTimer = nullptr;
    std::unique_ptr<ProjectSections> m_sections; // the render manager's and the window's
    std::unique_ptr<ProjectDocument> m_document;
};
