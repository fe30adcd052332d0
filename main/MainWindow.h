#pragma once
// The single top-level window: title bar with the project buttons and name, the
// material library and panels, the preview, the tool bar and the timeline.
// Lives on: main thread.

#include <QWidget>

class CreateProjectDialog;
class PreviewLayers;
class PreviewWidget;
class ResourceWidget;
class QGraphicsScene;
class TimeLineGraphicsScene;
class TimeLineGraphicsView;
class TimeLineTreeModel;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace Ui {
class MainWindow;
}

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Section hand-offs of the project file, forwarded to the material library and
    // the timeline. Until those panels exist the sections are empty and skipped.
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
    void setAutoSaveEnabled(bool enabled);
    bool autoSaveEnabled() const { return m_autoSaveTimer != 0; }
    QString titleText() const;
    TimeLineTreeModel *timelineModel() const { return m_timeline; }
    TimeLineGraphicsView *timelineView() const { return m_timelineView; }
    PreviewWidget *previewWidget() const { return m_preview; }
    ResourceWidget *resourceWidget() const { return m_resource; }

    static constexpr int kAutoSaveMs = 30000;

public slots:
    // A project name (isName) or a transient message, shown for a second.
    void slot_updateProjectName(const QString &text, bool isName);
    void on_pushButton_newbuild_clicked();
    void on_pushButton_open_clicked();
    void on_pushButton_save_clicked();

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectPreviewActions();
    template <typename Receiver, typename Signal>
    void addShortcut(int key, Receiver *receiver, Signal signal);
    Ui::MainWindow *ui;
    CreateProjectDialog *m_createDialog;
    TimeLineGraphicsScene *m_timelineScene;
    TimeLineTreeModel *m_timeline;
    TimeLineGraphicsView *m_timelineView;
    PreviewLayers *m_layers = nullptr;
    PreviewWidget *m_preview = nullptr;
    ResourceWidget *m_resource = nullptr;
    int m_autoSaveTimer = 0;
    QString m_lastOpenFolder;
};
