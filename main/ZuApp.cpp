#include "ZuApp.h"

#include "ArchivedProcessDialog.h"
#include "MainWindow.h"
#include "ProjectSections.h"
#include "render/RenderManager.h"
#include "render/preview/TransTranslate.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QDateTime>
#include <QDir>

namespace {

// Hands the sections to their real owners: the scene to the render manager, the
// materials and the timeline to the main window.
class AppSections : public ProjectSections {
public:
    explicit AppSections(ZuApp *app) : m_app(app) {}

    void writeScene(QXmlStreamWriter &w) override
    {
        if (auto *rm = m_app->renderManager())
            rm->writeScene(w);
    }
    void readScene(QXmlStreamReader &r) override
    {
        if (auto *rm = m_app->renderManager())
            rm->readScene(r);
        else
            r.skipCurrentElement();
    }
    void readLegacyCanvas(QXmlStreamReader &r) override
    {
        if (auto *rm = m_app->renderManager())
            rm->readLegacyCanvas(r);
        else
            r.skipCurrentElement();
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
    ZuApp *m_app;
};

} // namespace

ZuApp::ZuApp(int &argc, char **argv)
    : SingleApplicationWrapper(argc, argv), m_defaultSections(std::make_unique<AppSections>(this))
{
    m_sections = m_defaultSections.get();
    setApplicationName(QStringLiteral("ZuAEdit"));
    setApplicationVersion(QString::fromStdString(bg::AppInfo::instance().version()));
}

ZuApp::~ZuApp()
{
    // Removed objects held by the history are freed while their owners still exist.
    zua::UndoController::instance()->reset();
    delete m_mainWindow.data();
    delete m_renderManager.data();
    delete m_archivedProcess.data();
}

QString ZuApp::defaultProjectPath()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDir::homePath() + "/zu_" + now.toString("yyyyMMdd") + "_" + now.toString("HHmmss");
}

bool ZuApp::init()
{
    m_renderManager = new RenderManager;
    if (!m_renderManager->init()) {
        BG_LOG_E("---> 渲染管理器创建失败");
        delete m_renderManager.data();
        return false;
    }
    TransTranslate::instance(); // the transition names, before anything lists them

    m_mainWindow = new MainWindow;
    m_mainWindow->show();
    m_projectPath = defaultProjectPath();

    zua::UndoController::instance()->setClean();

    m_archivedProcess = new ArchivedProcessDialog;
    connect(m_archivedProcess, &ArchivedProcessDialog::sig_cancel, this, [this] {
        if (m_archiveCancel)
            *m_archiveCancel = true;
    });
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

void ZuApp::setSections(ProjectSections *sections)
{
    m_sections = sections ? sections : m_defaultSections.get();
}

ProjectSections *ZuApp::sections() const
{
    return m_sections;
}

void ZuApp::togglePreviewMaximised()
{
    m_previewMaximised = !m_previewMaximised;
    if (m_mainWindow)
        m_mainWindow->setPreviewMaximised(m_previewMaximised);
}
