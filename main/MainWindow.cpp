#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "ArchivedDialog.h"
#include "CreateProjectDialog.h"
#include "ExportParamWidget.h"
#include "ExportRun.h"
#include "ProductDialog.h"
#include "ProjectDocument.h"
#include "SettingDialog.h"
#include "TimelineWiring.h"
#include "ZuApp.h"
#include "common/FileDialogs.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "preview/PreviewWidget.h"
#include "preview/ZueDisplayWindow.h"
#include "render/MediaProbe.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "render/compose/PreviewLayers.h"
#include "render/export/ExportManager.h"
#include "render/export/Exporter.h"
#include "render/record/RecordManager.h"
#include "resource/MaterialView.h"
#include "resource/ResourceWidget.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineRuler.h"
#include "timeline/TimeLineTreeView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/ToolBarWidget.h"

#include "bridge/EventChannel.h"
#include "undo/UndoController.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QXmlStreamReader>

namespace {
// The product's online help.
constexpr const char *kHelpPage = "https://github.com/zuaedit/zuaedit/wiki";
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent), ui(new Ui::MainWindow), m_createDialog(new CreateProjectDialog(this))
{
    ui->setupUi(this);
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
    auto fill = [](QWidget *area, QWidget *content) {
        auto *layout = new QVBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
    };
    m_resource = new ResourceWidget(ui->widget_resource);
    fill(ui->widget_resource, m_resource);
    m_toolBar = new ToolBarWidget(ui->widget_toolbar);
    fill(ui->widget_toolbar, m_toolBar);
    m_timelineWidget = new TimeLineWidget(ui->widget_timeline);
    fill(ui->widget_timeline, m_timelineWidget);
    if (auto *app = ZuApp::instance()) {
        // The section readers and writers name files as the open project does.
        m_resource->materialView()->setMaterialPaths(&app->document()->materialPaths());
        m_timelineWidget->model()->setMaterialPaths(&app->document()->materialPaths());
        // The first video may give the project its size (unless it was chosen).
        if (RenderManager *rm = app->renderManager())
            m_timelineWidget->model()->setProbe([rm](const QString &path, bool autoSize) {
                const bg::ValueMap info = probeMediaFile(path);
                if (autoSize)
                    rm->adoptVideoSize(info);
                return info;
            });
        ProjectDocument *document = app->document();
        connect(m_resource, &ResourceWidget::sig_openProject, document,
                &ProjectDocument::openProject);
        connect(document, &ProjectDocument::sig_prependHistory, m_resource,
                &ResourceWidget::slot_prependHistory);
        connect(document, &ProjectDocument::sig_updateProjectName, this,
                &MainWindow::slot_updateProjectName);
        if (RenderManager *rm = app->renderManager()) {
            m_preview = new PreviewWidget(rm, ui->widget_preview);
            connect(m_preview, &PreviewWidget::sig_togglePreviewMaximised, app,
                    &ZuApp::togglePreviewMaximised);
            fill(ui->widget_preview, m_preview);
        }
    }
    // After the children have their own sheets: the window's sheet set first
    // would be the only one they are polished with.
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/main-window.css"));
    buildSettingsMenu();
    buildShortcuts();
    wireWidgets();
    bg::EventChannel::instance().subscribe(QStringLiteral("showMini"), this,
                                           [this] { showMinimized(); });
    m_lastOpenFolder = QDir::homePath();
    m_messageTimer = new QTimer(this);
    m_messageTimer->setSingleShot(true);
    m_messageTimer->setInterval(1000);
    connect(m_messageTimer, &QTimer::timeout, this, &MainWindow::showTitle);
    connect(zua::UndoController::instance(), &zua::UndoController::sig_cleanChanged, this,
            &MainWindow::showTitle);
}

void MainWindow::buildSettingsMenu()
{
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("menu_main"));
    // Save As: the way out when the project's folder is read-only or full.
    QAction *saveAs = m_menu->addAction(ZTR("titlebar.SaveAs"));
    saveAs->setObjectName(QStringLiteral("action_saveAs"));
    saveAs->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    connect(saveAs, &QAction::triggered, this, [] {
        if (auto *app = ZuApp::instance())
            app->document()->saveProjectAs();
    });
    m_menu->addSeparator();
    connect(m_menu->addAction(ZTR("titlebar.Settings")), &QAction::triggered, this, [this] {
        SettingDialog dialog(this);
        dialog.exec();
        if (dialog.restartChosen())
            if (ZuApp *app = ZuApp::instance())
                app->requestRestart();
    });
    connect(m_menu->addAction(ZTR("titlebar.Help")), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHelpPage))); });
    connect(m_menu->addAction(ZTR("titlebar.Subscribe")), &QAction::triggered, this,
            [this] { ProductDialog(ProductDialog::Follow, this).exec(); });
    connect(m_menu->addAction(ZTR("titlebar.UpdateCheck")), &QAction::triggered, this,
            [this] { ProductDialog(ProductDialog::Version, this).exec(); });
    connect(m_menu->addAction(ZTR("titlebar.AboutUs")), &QAction::triggered, this,
            [this] { ProductDialog(ProductDialog::About, this).exec(); });
}

template <typename Receiver, typename Signal>
void MainWindow::addShortcut(const QKeySequence &keys, Receiver *receiver, Signal signal)
{
    auto *shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, receiver, signal);
}

void MainWindow::buildShortcuts()
{
    addShortcut(QKeySequence(QStringLiteral("Ctrl+Z")), m_toolBar,
                &ToolBarWidget::sig_pushButtonUndo);
    addShortcut(QKeySequence(QStringLiteral("Ctrl+Y")), m_toolBar,
                &ToolBarWidget::sig_pushButtonRedo);
    addShortcut(QKeySequence(QStringLiteral("Ctrl+B")), m_toolBar,
                &ToolBarWidget::sig_pushButtonSplit);
    addShortcut(QKeySequence(QStringLiteral("Ctrl+S")), ui->pushButton_save, &QPushButton::click);
    if (ZuApp *app = ZuApp::instance())
        addShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")), app->document(),
                    &ProjectDocument::saveProjectAs);
    if (!m_preview)
        return;
    addShortcut(QKeySequence(Qt::Key_Right), m_preview, &PreviewWidget::sig_toolButtonFront);
    addShortcut(QKeySequence(Qt::Key_Left), m_preview, &PreviewWidget::sig_toolButtonBack);
    addShortcut(QKeySequence(Qt::Key_Space), m_preview, &PreviewWidget::sig_toolButtonPlay);
    addShortcut(QKeySequence(QStringLiteral("Ctrl+Return")), m_preview,
                &PreviewWidget::sig_toolButtonReplay);
    // The keypad's Enter is the same key to a person.
    addShortcut(QKeySequence(QStringLiteral("Ctrl+Enter")), m_preview,
                &PreviewWidget::sig_toolButtonReplay);
    addShortcut(QKeySequence(Qt::Key_F5), m_preview, &PreviewWidget::sig_toolButtonFull);
}

void MainWindow::wireWidgets()
{
    wireToolBar();
    wirePanels();
    RenderManager *rm = ZuApp::instance() ? ZuApp::instance()->renderManager() : nullptr;
    if (!rm)
        return;
    wireTransport(rm);
    wireRendering(rm);
    if (m_preview)
        wirePreview();
}

void MainWindow::wireToolBar()
{
    // The tool bar's edits and switches act on the timeline, which tells the tool
    // bar what is possible now.
    TimeLineWidget *timeline = m_timelineWidget;
    connect(m_toolBar, &ToolBarWidget::sig_scaleSliderValue, timeline,
            &TimeLineWidget::slot_scaleSliderValue);
    connect(m_toolBar, &ToolBarWidget::sig_autoAlign, timeline, &TimeLineWidget::slot_autoAlign);
    connect(timeline, &TimeLineWidget::sig_scaleSliderValueChanged, m_toolBar,
            &ToolBarWidget::slot_scaleSliderValueChanged);
    connect(m_toolBar, &ToolBarWidget::sig_splitSourceItem, timeline,
            &TimeLineWidget::slot_splitSourceItem);
    connect(timeline, &TimeLineWidget::sig_splitButtonEnable, m_toolBar,
            &ToolBarWidget::slot_splitButtonEnable);
    connect(m_toolBar, &ToolBarWidget::sig_clearSourceItems, timeline,
            &TimeLineWidget::slot_clearSourceItems);
    connect(m_toolBar, &ToolBarWidget::sig_editSourceItem, timeline,
            &TimeLineWidget::slot_editSourceItem);
    connect(timeline, &TimeLineWidget::sig_editButtonEnable, m_toolBar,
            &ToolBarWidget::slot_editButtonEnable);
    connect(timeline, &TimeLineWidget::sig_showTime, m_toolBar, &ToolBarWidget::slot_showTime);
    connect(m_toolBar, &ToolBarWidget::sig_exportWindow, this, &MainWindow::showExportPanel);
}

void MainWindow::wirePanels()
{
    // Property panels: the timeline opens the one of the clicked clip; their edits go
    // to the panel's clip; a crop page asks for a fresh preview, whose decoded frames
    // come back to it.
    TimeLineWidget *timeline = m_timelineWidget;
    connect(timeline, &TimeLineWidget::sig_showMenu, m_resource, &ResourceWidget::slot_showMenu);
    connect(m_toolBar, &ToolBarWidget::sig_createSubtitle, m_resource,
            &ResourceWidget::slot_createSubtitle);
    connect(m_resource, &ResourceWidget::sig_updateData, timeline,
            &TimeLineWidget::slot_updateData);
    if (ZuApp *app = ZuApp::instance()) {
        connect(m_resource, &ResourceWidget::sig_previewWanted, app, &ZuApp::sig_updatePreivew);
        connect(app, &ZuApp::sig_updatePreivew, timeline, &TimeLineWidget::slot_updatePreview);
        connect(app, &ZuApp::sig_updateCropMenu, m_resource, &ResourceWidget::slot_updateClipImage);
        if (RenderManager *rm = app->renderManager())
            connect(rm, &RenderManager::sig_updateCropMenu, app, &ZuApp::sig_updateCropMenu);
    }
}

void MainWindow::wireTransport(RenderManager *rm)
{
    // Play, pause, seek and record go through the render manager's transport, which
    // the view, the ruler, the preview's buttons and the Dub button show.
    TimeLineGraphicsView *view = timelineView();
    connect(rm, &RenderManager::sig_frontFrameRequest, view,
            &TimeLineGraphicsView::slot_frontFrameRequest);
    connect(rm, &RenderManager::sig_backFrameRequest, view,
            &TimeLineGraphicsView::slot_backFrameRequest);
    connect(rm, &RenderManager::sig_resetFrame, view, &TimeLineGraphicsView::slot_resetFrame);
    m_toolBar->setTransport(rm->transport());
    // Edits and seeks stop playback and, or, a take first.
    const QList<QObject *> operators{view, m_timelineWidget->ruler(), m_timelineWidget->headers(),
                                     m_toolBar};
    for (QObject *sender : operators)
        connect(sender, SIGNAL(sig_opertorUi(bool, bool)), rm->transport(), SLOT(stop(bool, bool)));
    // A take: the timeline shows it and makes its clip; its problems are told here.
    RecordManager *recorder = ZuApp::instance()->recorder();
    if (!recorder)
        return;
    connect(recorder, &RecordManager::sig_frameRequest, view,
            &TimeLineGraphicsView::slot_frontFrameRequest);
    connect(recorder, &RecordManager::sig_recordPaused, this, &MainWindow::slot_recordPaused);
    connect(recorder, &RecordManager::sig_recordProblem, this, [](const QString &text) {
        MessageBox::inform(nullptr, ZKEY("pre_form.RecordHint"), text, ZKEY("pre_form.Ok"));
    });
    connect(recorder, &RecordManager::sig_audioSourceItem, view,
            &TimeLineGraphicsView::slot_audioSourceItem);
}

void MainWindow::wireRendering(RenderManager *rm)
{
    TimelineDocument *model = m_timelineWidget->model();
    // The project's frame, for the panels' "fill the frame" commands.
    model->setRenderSize(QSize(int(rm->sceneWidth()), int(rm->sceneHeight())));
    connect(rm, &RenderManager::sig_updateSceneSize, model,
            [model](int w, int h) { model->setRenderSize(QSize(w, h)); });
    // The composed picture: each visual track's layer, shown in the preview.
    connect(timelineView(), &TimeLineGraphicsView::sig_trackFrames, rm->layers(),
            &PreviewLayers::slot_trackFrames);
    // Playback and export read the timeline's published state.
    if (Exporter *exporter = ZuApp::instance()->exporter())
        wireTimeline(rm, m_timelineWidget, exporter);
}

void MainWindow::wirePreview()
{
    TimeLineWidget *timeline = m_timelineWidget;
    connect(timeline, &TimeLineWidget::sig_showTime, m_preview, &PreviewWidget::slot_showTime);
    connect(m_preview, &PreviewWidget::sig_closeMenu, timeline, &TimeLineWidget::slot_closeMenu);
    ZueDisplayWindow *display = m_preview->display();
    TimeLineGraphicsView *view = timelineView();
    TimelineDocument *model = m_timelineWidget->model();
    // The preview names clips by uuid; its edits are undoable here and the timeline
    // shows the clip selected.
    connect(display, &ZueDisplayWindow::sig_selectClip, model, &TimelineDocument::slot_selectClip);
    connect(display, &ZueDisplayWindow::sig_clipGeometryEdited, model,
            &TimelineDocument::slot_clipGeometryEdited);
    auto selectOnly = [view, model](const QString &uuid) {
        SourceItem *clip = model->clipByUuid(uuid);
        if (clip) {
            view->scene()->clearSelection();
            clip->setSelected(true);
            view->ensureVisible(clip);
        }
        return clip;
    };
    // The clip's property panel opens here once it exists; meanwhile the clip is
    // shown selected on the timeline.
    connect(display, &ZueDisplayWindow::sig_editClip, this,
            [selectOnly](const QString &clip, int) { selectOnly(clip); });
    connect(display, &ZueDisplayWindow::sig_restackClip, this,
            [view, model](const QString &clip, bool up) {
                view->restack(model->clipByUuid(clip), up);
            });
    connect(display, &ZueDisplayWindow::sig_removeClip, this,
            [view, selectOnly](const QString &clip) {
                if (selectOnly(clip))
                    view->removeSelected();
            });
}

void MainWindow::showExportPanel()
{
    RenderManager *rm = ZuApp::instance() ? ZuApp::instance()->renderManager() : nullptr;
    Exporter *exporter = ZuApp::instance() ? ZuApp::instance()->exporter() : nullptr;
    if (!rm || !exporter)
        return;
    if (!m_exportPanel) {
        m_exportPanel = new ExportParamWidget(this);
        m_exportPanel->setUsedFiles([this] { return usedFiles(); });
        connect(rm, &RenderManager::sig_updateSceneSize, m_exportPanel,
                &ExportParamWidget::slot_updateSceneSize);
        // Queued: the panel's button handler returns before the export starts.
        connect(
            m_exportPanel, &ExportParamWidget::sig_exportParam, exporter,
            [exporter](MVParams *params) {
                if (params)
                    runExport(exporter, *params);
            },
            Qt::QueuedConnection);
    }
    m_exportPanel->slot_updateSceneSize(int(rm->sceneWidth()), int(rm->sceneHeight()));
    // Its texts change with the project and the language: as large as they need.
    m_exportPanel->resize(m_exportPanel->size().expandedTo(m_exportPanel->sizeHint()));
    m_exportPanel->show();
    m_exportPanel->raise();
    m_exportPanel->activateWindow();
}

QStringList MainWindow::usedFiles() const
{
    QStringList files;
    for (const SourceItem *clip : m_timelineWidget->model()->clips())
        files << clip->path;
    for (const MaterialData &material : m_resource->materialView()->materials())
        files << material.path;
    if (ZuApp *app = ZuApp::instance())
        files << app->document()->projectPath() << app->document()->currentAutoSavePath();
    files.removeAll(QString());
    return files;
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

bool MainWindow::onLeftEdge(const QPoint &global) const
{
    return std::abs(mapFromGlobal(global).x()) <= 5 * QssManager::screenScale();
}

bool MainWindow::onTopEdge(const QPoint &global) const
{
    return std::abs(mapFromGlobal(global).y()) <= 5 * QssManager::screenScale();
}

bool MainWindow::onRightEdge(const QPoint &global) const
{
    return std::abs(mapFromGlobal(global).x() - width()) <= 5 * QssManager::screenScale();
}

bool MainWindow::onBottomEdge(const QPoint &global) const
{
    return std::abs(mapFromGlobal(global).y() - height()) <= 5 * QssManager::screenScale();
}

bool MainWindow::inCaption(const QPoint &global) const
{
    if (!ui->widget_title->rect().contains(ui->widget_title->mapFromGlobal(global)))
        return false;
    for (const QWidget *w : m_captionExclusions)
        if (w->rect().contains(w->mapFromGlobal(global)))
            return false;
    return true;
}

TimelineDocument *MainWindow::timelineModel() const
{
    return m_timelineWidget->model();
}

TimeLineGraphicsView *MainWindow::timelineView() const
{
    return m_timelineWidget->view();
}

void MainWindow::writeTimeline(QXmlStreamWriter &writer, bool archive)
{
    m_timelineWidget->writeTimeline(writer, archive);
}

void MainWindow::readTimeline(QXmlStreamReader &reader)
{
    m_timelineWidget->readTimeline(reader);
    timelineView()->slot_resetFrame(0, EDIT_NONE, true); // show the start of the project
}

void MainWindow::readLegacyScene(QXmlStreamReader &reader)
{
    m_timelineWidget->readLegacyScene(reader);
}

void MainWindow::readLegacyTree(QXmlStreamReader &reader)
{
    m_timelineWidget->readLegacyTree(reader);
}

void MainWindow::clearContent()
{
    m_resource->clearMaterials();
    m_timelineWidget->resetTimeline();
}

void MainWindow::setPreviewMaximised(bool maximised)
{
    for (QWidget *w :
         {ui->widget_resource, ui->widget_timeline, ui->widget_toolbar, ui->widget_control})
        w->setVisible(!maximised);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    auto *app = ZuApp::instance();
    // A running export is stopped only when the user says so; waiting keeps the window.
    ExportManager *exports = app && app->exporter() ? app->exporter()->manager() : nullptr;
    if (exports && exports->isExporting()) {
        MessageSpec ask;
        ask.parent = this;
        ask.titleKey = ZKEY("exportmvwindow.Hint");
        ask.text = ZTR("exportmvdialog.AskStopOnClose");
        ask.buttonKeys =
            QStringList{ZKEY("exportmvdialog.StopAndClose"), ZKEY("exportmvdialog.Continue")};
        ask.defaultButton = 1;
        ask.escapeButton = 1;
        if (MessageBox::show(ask) != 0 && exports->isExporting()) {
            event->ignore();
            return;
        }
        exports->cancel();
    }
    if (!app || app->document()->askSaveCurrent())
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
    if (isName) {
        m_projectName = text;
    } else {
        // A passing message shows for a second, then the name comes back (a newer
        // message replaces an older one and has its own second).
        m_message = text;
        m_messageTimer->start();
    }
    showTitle();
}

void MainWindow::slot_recordPaused(bool paused)
{
    // Shown in the title bar for as long as the microphone is away.
    m_recordPaused = paused;
    showTitle();
}

void MainWindow::showTitle()
{
    QString text = m_projectName;
    // Unsaved changes are marked after the name, as editors do.
    if (!zua::UndoController::instance()->isClean())
        text += QLatin1Char('*');
    if (m_recordPaused)
        text = ZTR("pre_form.RecordPaused");
    else if (m_messageTimer->isActive())
        text = m_message;
    const int width = int(500 * QssManager::screenScale());
    ui->label_project_name->setText(
        ui->label_project_name->fontMetrics().elidedText(text, Qt::ElideRight, width));
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
        app->document()->openProject(file);
}

void MainWindow::on_pushButton_save_clicked()
{
    if (auto *app = ZuApp::instance())
        app->document()->saveProject(false, false, QString());
}

void MainWindow::on_pushButton_file_clicked()
{
    ZuApp *app = ZuApp::instance();
    if (app && app->document()->currentProjectPath().isEmpty()) {
        MessageBox::inform(this, ZKEY("MainWindow.Hint"), ZTR("Mainwindow.HintSave"),
                           ZKEY("MainWindow.Ok"));
        return;
    }
    ArchivedDialog dialog(this);
    connect(&dialog, &ArchivedDialog::sig_archive, app->document(),
            &ProjectDocument::archiveProject);
    dialog.exec();
}

void MainWindow::on_pushButton_export_clicked()
{
    m_toolBar->on_pushButton_export_clicked();
}

void MainWindow::on_pushButton_setting_clicked()
{
    const QPoint at = ui->pushButton_setting->mapToGlobal(
        QPoint(0, ui->pushButton_setting->height() + int(2 * QssManager::screenScale())));
    m_menu->popup(at);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Holding Shift inverts snapping while it is held: press and release toggle.
    if (event->key() == Qt::Key_Shift && !event->isAutoRepeat() && !m_shiftHeld) {
        m_shiftHeld = true;
        m_toolBar->toggleAutoAlign();
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Shift && !event->isAutoRepeat())
        endShiftInversion();
    QWidget::keyReleaseEvent(event);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        endShiftInversion();
    QWidget::changeEvent(event);
}

void MainWindow::endShiftInversion()
{
    if (!m_shiftHeld)
        return;
    m_shiftHeld = false;
    m_toolBar->toggleAutoAlign();
}
