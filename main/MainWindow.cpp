#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "CreateProjectDialog.h"
#include "FileDialogs.h"
#include "QssManager.h"
#include "Translate.h"
#include "ZuApp.h"
#include "preview/PreviewWidget.h"
#include "preview/ZueDisplayWindow.h"
#include "render/RenderManager.h"
#include "render/audio/PlayerManager.h"
#include "render/preview/PreviewLayers.h"
#include "resource/ResourceWidget.h"
#include "timeline/SourceItem.h"

#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineTreeModel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QXmlStreamReader>

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent), ui(new Ui::MainWindow), m_createDialog(new CreateProjectDialog(this)),
      m_timelineScene(new TimeLineGraphicsScene(this)),
      m_timeline(new TimeLineTreeModel(m_timelineScene, this)), m_timelineView(nullptr)
{
    ui->setupUi(this);
    m_resource = new ResourceWidget(ui->widget_resource);
    auto *resourceLayout = new QVBoxLayout(ui->widget_resource);
    resourceLayout->setContentsMargins(0, 0, 0, 0);
    resourceLayout->addWidget(m_resource);
    m_timeline->buildGroups();
    // The clip area of the timeline panel (its headers, ruler and tool bar join it).
    m_timelineView = new TimeLineGraphicsView(m_timelineScene, m_timeline, ui->widget_timeline);
    auto *timelineLayout = new QVBoxLayout(ui->widget_timeline);
    timelineLayout->setContentsMargins(0, 0, 0, 0);
    timelineLayout->addWidget(m_timelineView);
    connect(m_timelineView, &TimeLineGraphicsView::sig_createSourceItem, m_timeline,
            [this](const bg::ValueMap &request, const QColor &colour, const QFont &font) {
                bg::ValueMap atScene = request;
                atScene["posY"] = bg::Value(int32_t(request.at("posY").toInt32() +
                                                    m_timelineView->verticalScrollBar()->value()));
                m_timeline->createFromDrop(atScene, colour, font,
                                           m_timelineView->horizontalScale());
            });
    const double s = QssManager::screenScale();
    setWindowTitle(ZTR("Mainwindow.Title"));
    resize(int(1200 * s), int(800 * s));
    ui->widget_resource->setMinimumWidth(int(580 * s));
    ui->label_project_name->setMaximumWidth(int(500 * s));
    for (QSplitter *splitter : {ui->splitter_vertical, ui->splitter_horizontal}) {
        splitter->setStretchFactor(0, 4);
        splitter->setStretchFactor(1, 6);
        // Start in the same 4 : 6 proportion, whatever the children's size hints.
        splitter->setSizes({400, 600});
    }
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/main-window.css"));
    if (auto *app = ZuApp::instance()) {
        connect(app, &ZuApp::sig_updateProjectName, this, &MainWindow::slot_updateProjectName);
        if (RenderManager *rm = app->renderManager()) {
            connect(rm, &RenderManager::sig_frontFrameRequest, m_timelineView,
                    &TimeLineGraphicsView::slot_frontFrameRequest);
            connect(m_timelineView, &TimeLineGraphicsView::sig_opertorUi, rm,
                    &RenderManager::slot_opertorUi);
            connect(m_timelineView, &TimeLineGraphicsView::sig_audioFrames, rm,
                    &RenderManager::onAudioAnswer);
            connect(rm, &RenderManager::sig_backFrameRequest, m_timelineView,
                    &TimeLineGraphicsView::slot_backFrameRequest);
            connect(rm, &RenderManager::sig_resetFrame, m_timelineView,
                    &TimeLineGraphicsView::slot_resetFrame);
            // The composed picture: each visual track's layer, shown in the preview area.
            m_layers = new PreviewLayers(m_timeline, rm, this);
            connect(m_timelineView, &TimeLineGraphicsView::sig_trackFrames, m_layers,
                    &PreviewLayers::slot_trackFrames);
            m_preview = new PreviewWidget(rm, ui->widget_preview);
            auto *previewLayout = new QVBoxLayout(ui->widget_preview);
            previewLayout->setContentsMargins(0, 0, 0, 0);
            previewLayout->addWidget(m_preview);
            connect(m_timelineView, &TimeLineGraphicsView::sig_showTime, m_preview,
                    &PreviewWidget::slot_showTime);
            connect(m_preview, &PreviewWidget::sig_removeSourceItem, m_timelineView,
                    &TimeLineGraphicsView::slot_removeSourceItem);
            connectPreviewActions();
            addShortcut(Qt::Key_Space, m_preview, &PreviewWidget::sig_toolButtonPlay);
            addShortcut(Qt::Key_Right, m_preview, &PreviewWidget::sig_toolButtonFront);
            addShortcut(Qt::Key_Left, m_preview, &PreviewWidget::sig_toolButtonBack);
            addShortcut(Qt::Key_F5, m_preview, &PreviewWidget::sig_toolButtonFull);
            addShortcut(Qt::CTRL | Qt::Key_Return, m_preview, &PreviewWidget::sig_toolButtonReplay);
            addShortcut(Qt::CTRL | Qt::Key_Enter, m_preview, &PreviewWidget::sig_toolButtonReplay);
        }
    }
    m_lastOpenFolder = QDir::homePath();
    setAutoSaveEnabled(true);
}

template <typename Receiver, typename Signal>
void MainWindow::addShortcut(int key, Receiver *receiver, Signal signal)
{
    auto *shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, receiver, signal);
}

void MainWindow::connectPreviewActions()
{
    ZueDisplayWindow *display = m_preview->display();
    // The preview's menu and keys act on the clip through the timeline, so they
    // are undoable there and the timeline shows the clip selected.
    auto selectOnly = [this](SourceItem *clip) {
        m_timeline->scene()->clearSelection();
        clip->setSelected(true);
        m_timelineView->ensureVisible(clip);
    };
    // The clip's property panel opens here once it exists; meanwhile the clip is
    // shown selected on the timeline.
    connect(display, &ZueDisplayWindow::sig_editClip, this,
            [selectOnly](SourceItem *clip, int) { selectOnly(clip); });
    connect(display, &ZueDisplayWindow::sig_restackClip, this,
            [this](SourceItem *clip, bool up) { m_timelineView->restack(clip, up); });
    connect(display, &ZueDisplayWindow::sig_removeClip, this, [this, selectOnly](SourceItem *clip) {
        selectOnly(clip);
        m_timelineView->removeSelected();
    });
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::writeMaterials(QXmlStreamWriter &writer, bool archive)
{
    m_resource->writeMaterials(writer, archive);
}

void MainWindow::readMaterials(QXmlStreamReader &reader)
{
    m_resource->readMaterials(reader);
}

void MainWindow::readLegacyMaterials(QXmlStreamReader &reader)
{
    m_resource->readLegacyMaterials(reader);
}

void MainWindow::writeTimeline(QXmlStreamWriter &writer, bool archive)
{
    m_timeline->writeSection(writer, archive);
}

void MainWindow::readTimeline(QXmlStreamReader &reader)
{
    m_timeline->readSection(reader);
    m_layers ? m_layers->sync() : void();
    m_timelineView->slot_resetFrame(0, EDIT_NONE, true); // show the start of the project
}

void MainWindow::readLegacyScene(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::readLegacyTree(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::clearContent()
{
    m_resource->clearMaterials();
    m_timeline->clearAll();
}

void MainWindow::setPreviewMaximised(bool maximised)
{
    for (QWidget *w :
         {ui->widget_resource, ui->widget_timeline, ui->widget_toolbar, ui->widget_control})
        w->setVisible(!maximised);
}

void MainWindow::setAutoSaveEnabled(bool enabled)
{
    if (m_autoSaveTimer)
        killTimer(m_autoSaveTimer);
    m_autoSaveTimer = enabled ? startTimer(kAutoSaveMs, Qt::CoarseTimer) : 0;
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_autoSaveTimer) {
        QWidget::timerEvent(event);
        return;
    }
    killTimer(m_autoSaveTimer);
    m_autoSaveTimer = 0;
    if (auto *app = ZuApp::instance())
        app->saveProject(true, false, QString());
    m_autoSaveTimer = startTimer(kAutoSaveMs, Qt::CoarseTimer);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    auto *app = ZuApp::instance();
    if (!app || app->askSaveCurrent())
        event->accept();
    else
        event->ignore();
}

QString MainWindow::titleText() const
{
    return ui->label_project_name->text();
}

void MainWindow::slot_updateProjectName(const QString &text, bool isName)
{
    const QString before = ui->label_project_name->text();
    const int width = int(500 * QssManager::screenScale());
    ui->label_project_name->setText(
        ui->label_project_name->fontMetrics().elidedText(text, Qt::ElideRight, width));
    if (isName)
        return;
    // A transient message gives the label back what it showed a second later.
    QPointer<QLabel> label = ui->label_project_name;
    QTimer::singleShot(1000, this, [label, before] {
        if (label)
            label->setText(before);
    });
}

void MainWindow::on_pushButton_newbuild_clicked()
{
    m_createDialog->exec();
}

void MainWindow::on_pushButton_open_clicked()
{
    const QString file = FileDialogs::openFileName(this, ZTR("titlebar.Open"), m_lastOpenFolder,
                                                   QStringLiteral("*.zua2 *.zua"));
    if (file.isEmpty())
        return;
    m_lastOpenFolder = QFileInfo(file).absolutePath();
    if (auto *app = ZuApp::instance())
        app->openProject(file);
}

void MainWindow::on_pushButton_save_clicked()
{
    if (auto *app = ZuApp::instance())
        app->saveProject(false, false, QString());
}
