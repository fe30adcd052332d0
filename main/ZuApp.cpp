#include "ZuApp.h"

#include "ExportParts.h"
#include "MainWindow.h"
#include "ProjectDocument.h"
#include "ProjectSections.h"
#include "common/ControlKeysFirst.h"
#include "common/NewFileMode.h"
#include "common/WheelNeedsFocus.h"
#include "render/RenderManager.h"
#include "render/SceneSection.h"
#include "render/compose/TransTranslate.h"
#include "render/export/ExportManager.h"
#include "render/export/Exporter.h"
#include "render/record/RecordManager.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

namespace {

// Hands the sections to their real owners: the scene to the render manager, the
// materials and the timeline to the main window.
class AppSections : public ProjectSections {
public:
    explicit AppSections(ZuApp *app) : m_app(app) {}

    void writeScene(QXmlStreamWriter &w) override
    {
        if (auto *rm = m_app->renderManager())
            scenesection::write(w, QSize(int(rm->sceneWidth()), int(rm->sceneHeight())));
    }
    void readScene(QXmlStreamReader &r) override { apply(scenesection::read(r)); }
    void readLegacyCanvas(QXmlStreamReader &r) override
    {
        apply(scenesection::readLegacyCanvas(r));
    }
    void writeMaterials(QXmlStreamWriter &w, bool archive) override
    {
        if (auto *mw = m_app->mainWindow())
            mw->writeMaterials(w, archive);
    }
    void readMaterials(QXmlStreamReader &r) override { withWindow(r, &MainWindow::readMaterials); }
    void readLegacyMaterials(QXmlStreamReader &r) override
    {
        withWindow(r, &MainWindow::readLegacyMaterials);
    }
    void writeTimeline(QXmlStreamWriter &w, bool archive) override
    {
        if (auto *mw = m_app->mainWindow())
            mw->writeTimeline(w, archive);
    }
    void readTimeline(QXmlStreamReader &r) override { withWindow(r, &MainWindow::readTimeline); }
    void readLegacyScene(QXmlStreamReader &r) override
    {
        withWindow(r, &MainWindow::readLegacyScene);
    }
    void readLegacyTree(QXmlStreamReader &r) override
    {
        withWindow(r, &MainWindow::readLegacyTree);
    }
    void clearContent() override
    {
        if (auto *mw = m_app->mainWindow())
            mw->clearContent();
    }

private:
    void withWindow(QXmlStreamReader &r, void (MainWindow::*read)(QXmlStreamReader &))
    {
        if (auto *mw = m_app->mainWindow())
            (mw->*read)(r);
        else
            r.skipCurrentElement();
    }
    // A size the file asks for becomes the project's.
    void apply(const std::optional<QSize> &size)
    {
        if (auto *rm = m_app->renderManager(); rm && size)
            rm->setSceneSize(uint32_t(size->width()), uint32_t(size->height()), false);
    }
    ZuApp *m_app;
};

} // namespace

ZuApp::ZuApp(int &argc, char **argv)
    : SingleApplicationWrapper(argc, argv), m_sections(std::make_unique<AppSections>(this)),
      m_document(std::make_unique<ProjectDocument>(m_sections.get()))
{
    setApplicationName(QStringLiteral("ZuAEdit"));
    WheelNeedsFocus::install();
    ControlKeysFirst::install();
    setApplicationVersion(QString::fromStdString(bg::AppInfo::instance().version()));
}

ZuApp::~ZuApp()
{
    // Removed objects held by the history are freed while their owners still exist.
    zua::UndoController::instance()->reset();
    m_document.reset(); // its dialogs go before the window
    delete m_mainWindow.data();
    delete m_exporter.data(); // a run still going stops here
    delete m_recorder.data(); // a take still going ends here
    delete m_renderManager.data();
}

bool ZuApp::init()
{
    newFilePermissions(); // the umask, read before any worker thread makes files
    m_renderManager = new RenderManager;
    if (!m_renderManager->init()) {
        BG_LOG_E("---> 渲染管理器创建失败");
        delete m_renderManager.data();
        return false;
    }
    TransTranslate::instance(); // the transition names, before anything lists them
    // Part files of exports whose editor was killed go; this editor's are recorded.
    ExportParts::removeLeftovers();
    RenderManager *rm = m_renderManager;
    m_exporter = new Exporter(
        rm->transport(), [rm] { return QSize(int(rm->sceneWidth()), int(rm->sceneHeight())); });
    connect(m_exporter->manager(), &ExportManager::sig_partMade, this, &ExportParts::record);
    connect(m_exporter->manager(), &ExportManager::sig_ended, this, [] { ExportParts::clear(); });
    m_recorder = new RecordManager(rm->transport());
    // Space ends a take under way whatever control has the focus.
    ControlKeysFirst::setSpaceReserved(
        [recorder = m_recorder] { return recorder && recorder->isRecording(); });

    m_document->setRenderManager(m_renderManager);
    m_mainWindow = new MainWindow;
    m_mainWindow->show();
    m_document->setWindow(m_mainWindow);
    m_document->setAutoSaveEnabled(true);

    zua::UndoController::instance()->setClean();
    return true;
}

MainWindow *ZuApp::mainWindow() const
{
    return m_mainWindow;
}

RenderManager *ZuApp::renderManager() const
{
    return m_renderManager;
}

Exporter *ZuApp::exporter() const
{
    return m_exporter;
}

RecordManager *ZuApp::recorder() const
{
    return m_recorder;
}

void ZuApp::requestRestart()
{
    if (m_mainWindow && !m_mainWindow->close())
        return; // the user cancelled the save question
    // The project comes back after the restart, when it has a file.
    QStringList command{applicationFilePath()};
    const QString project = m_document->currentProjectPath();
    if (!project.isEmpty())
        command << project;
    m_restartCommand = command;
}

void ZuApp::togglePreviewMaximised()
{
    m_previewMaximised = !m_previewMaximised;
    if (m_mainWindow)
        m_mainWindow->setPreviewMaximised(m_previewMaximised);
}

bool ZuApp::isBusy() const
{
    const bool exporting = m_exporter && m_exporter->manager()->isExporting();
    return m_document->isLoading() || m_document->isWriting() || exporting ||
           QApplication::activeModalWidget() != nullptr;
}

void ZuApp::handOver(const QByteArray &message)
{
    if (MainWindow *window = m_mainWindow) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    }
    if (!message.startsWith("open:"))
        return;
    const QString path = QString::fromUtf8(message.mid(5));
    const QFileInfo file(path);
    if (!file.isFile() || (file.suffix() != "zua" && file.suffix() != "zua2"))
        return;
    m_handedOver = path;
    if (!m_handOverTimer) {
        // Checked a few times a second: opening now, under an export or a dialog,
        // would replace what they are working on.
        m_handOverTimer = new QTimer(this);
        m_handOverTimer->setInterval(250);
        connect(m_handOverTimer, &QTimer::timeout, this, [this] {
            if (isBusy() || m_handedOver.isEmpty())
                return;
            m_handOverTimer->stop();
            const QString project = m_handedOver;
            m_handedOver.clear();
            m_document->openProject(project);
        });
    }
    m_handOverTimer->start();
}
