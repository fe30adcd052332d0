#pragma once
// The single top-level window: title bar with the project buttons and name, the
// material library and panels, the preview, the tool bar and the timeline.
// Lives on: main thread.

#include <QWidget>

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

public slots:
    void slot_updateProjectName(const QString &text, bool isName);

private:
    Ui::MainWindow *ui;
};
