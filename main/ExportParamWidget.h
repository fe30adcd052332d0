#pragma once
// The export panel: output folder, name and container, and the video settings
// (frame rate, size, bit rate, playback speed). "Export" checks them, builds the
// request and hands it on with sig_exportParam. Lives on: main thread.

#include "render/export/MVParams.h"

#include <QWidget>

#include <functional>

namespace Ui {
class ExportParamWidget;
}

class ExportParamWidget : public QWidget {
    Q_OBJECT
public:
    explicit ExportParamWidget(QWidget *parent = nullptr);
    ~ExportParamWidget() override;

    // "720 x 1280" or "720x1280" into its two numbers; false for anything else.
    static bool parseSize(const QString &text, int *width, int *height);
    // The "Recommend" bit rate in kbit/s (5000 at 1920 × 1080 and 25 frames per second).
    static int recommendedBitRate(int width, int height, int frameRate);
    // False when a file name holds a character no file system takes.
    static bool validName(const QString &name);
    // The request the controls describe now; false (and a message shown) when a
    // control holds something that cannot be exported.
    bool buildRequest(MVParams *params);
    // The files the project uses, asked at each export: an export never writes onto
    // one of them.
    void setUsedFiles(std::function<QStringList()> files) { m_usedFiles = std::move(files); }
    QString fileName() const;

signals:
    void sig_exportParam(MVParams *params);

public slots:
    void slot_updateSceneSize(int width, int height);
    void on_pushButton_export_clicked();
    void on_pushButton_path_clicked();

protected:
    // A name the user did not type is replaced by a new one at each showing, so
    // that a second export does not reuse the first one's name.
    void showEvent(QShowEvent *event) override;

private:
    void tell(const QString &textKey, const char *titleKey = "exportmvwindow.Hint",
              const char *okKey = "exportmvwindow.Ok");
    void setAdvancedShown(bool shown);
    Ui::ExportParamWidget *ui;
    MVParams m_params; // the request last handed on; lives as long as the panel
    std::function<QStringList()> m_usedFiles;
    QString m_proposedName; // the name last proposed (not typed)
};
