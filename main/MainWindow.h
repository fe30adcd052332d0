#pragma once
// The single top-level window: title bar with the project buttons and name, the
// material library and panels, the preview, the tool bar and the timeline; the
// window-wide shortcuts and the auto-save timer.
// Lives on: main thread.

#include "ResizeInterface.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class RenderManager;
class CreateProjectDialog;
class ExportParamWidget;
class PreviewWidget;
class QMenu;
class ResourceWidget;
class TimeLineGraphicsView;
class TimelineDocument;
class TimeLineWidget;
class ToolBarWidget;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace Ui {
class MainWindow;
}

class MainWindow : public QWidget, public ResizeInterface {
    Q_OBJECT
public:
    // Every file the project uses (clips, materials, its own file and auto-save).
    QStringList usedFiles() const;
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Section hand-offs of the project file, to the material library and timeline.
    void writeMaterials(QXmlStreamWriter &writer, bool archive);
    void readMaterials(QXmlStreamReader &reader);
    void readLegacyMaterials(QXmlStreamReader &reader);
    void writeTimeline(QXmlStreamWriter &writer, bool archive);
    void readTimeline(QXmlStreamReader &reader);
    void readLegacyScene(QXmlStreamReader &reader);
    void readLegacyTree(QXmlStreamReader &reader);
    void clearContent();

    // Hides everything but the preview while maximised.
    void setPreviewMaximised(bool maximised);
    // The 30-second auto-save timer (off while a project is archived).
    QString titleText() const;
    TimelineDocument *timelineModel() const;
    TimeLineGraphicsView *timelineView() const;
    TimeLineWidget *timelineWidget() const { return m_timelineWidget; }
    ToolBarWidget *toolBar() const { return m_toolBar; }
    PreviewWidget *previewWidget() const { return m_preview; }
    ResourceWidget *resourceWidget() const { return m_resource; }

    // Within 5 s pixels of an edge; in the title bar outside its exclusions.
    bool onLeftEdge(const QPoint &global) const override;
    bool onTopEdge(const QPoint &global) const override;
    bool onRightEdge(const QPoint &global) const override;
    bool onBottomEdge(const QPoint &global) const override;
    bool inCaption(const QPoint &global) const override;

public slots:
    // A project name (isName) or a transient message, shown for a second.
    void slot_updateProjectName(const QString &text, bool isName);
    // The microphone went away during a take (a notice stays up) or came back.
    void slot_recordPaused(bool paused);
    void on_pushButton_newbuild_clicked();
    void on_pushButton_open_clicked();
    void on_pushButton_save_clicked();
    void on_pushButton_file_clicked();
    void on_pushButton_export_clicked();
    void on_pushButton_setting_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    // A release lost to another window (a dialog, focus elsewhere) ends the inversion.
    void changeEvent(QEvent *event) override;

private:
    // The title bar: the project's name (marked while modified), a passing message
    // for a second, or the notice of a paused take.
    void showTitle();
    QString m_projectName;
    QString m_message;
    QTimer *m_messageTimer = nullptr;
    bool m_recordPaused = false;
    // The export panel (made on first use), with the project's size filled in.
    void showExportPanel();
    void buildSettingsMenu();
    void buildShortcuts();
    // The window's wiring, by area: the tool bar and the timeline; the property
    // panels; the transport and voice-over takes; the composed picture and the
    // published timeline; the preview's picture and its clip actions.
    void wireWidgets();
    void wireToolBar();
    void wirePanels();
    void wireTransport(RenderManager *rm);
    void wireRendering(RenderManager *rm);
    void wirePreview();
    template <typename Receiver, typename Signal>
    void addShortcut(const QKeySequence &keys, Receiver *receiver, Signal signal);
    // A small box for the parts of the editor that are not there yet.

    Ui::MainWindow *ui;
    QList<QWidget *> m_captionExclusions; // title bar parts that are not caption
    CreateProjectDialog *m_createDialog;
    QPointer<ExportParamWidget> m_exportPanel;
    ResourceWidget *m_resource = nullptr;
    TimeLineWidget *m_timelineWidget = nullptr;
    ToolBarWidget *m_toolBar = nullptr;
    PreviewWidget *m_preview = nullptr;
    QMenu *m_menu = nullptr;
    bool m_shiftHeld = false; // auto-align is inverted while Shift is held
    void endShiftInversion();
    QString m_lastOpenFolder;
};
