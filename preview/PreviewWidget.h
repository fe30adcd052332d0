#pragma once
// The preview panel: the composed picture with its transport controls (replay,
// back, play/pause, forward, full screen), the time display and the zoom slider.
// Lives on: main thread.

#include "graphics/GsScene.h"

#include <QWidget>

#include <cstdint>

class RenderManager;
class ZueDisplayWindow;

namespace Ui {
class PreviewWidget;
}

class PreviewWidget : public QWidget {
    Q_OBJECT
public:
    PreviewWidget(RenderManager *render, QWidget *parent = nullptr);
    ~PreviewWidget() override;

    ZueDisplayWindow *display() const { return m_display; }
    QString timeText() const;
    // The play button shows the transport playing.
    bool isPlayChecked() const;

signals:
    void sig_queryScene();
    void sig_toolButtonFront();
    void sig_toolButtonBack();
    void sig_toolButtonPlay();
    void sig_toolButtonReplay();
    void sig_toolButtonFull();
    void sig_opertorUi(bool stopPlay, bool stopRecord);
    // The full-screen button was pressed: the application toggles the maximised preview.
    void sig_togglePreviewMaximised();
    // A release or double click on empty picture: the property panel closes.
    void sig_closeMenu();

public slots:
    void slot_setScene(GsScene *scene);
    void slot_toolButtonFront();
    void slot_toolButtonBack();
    void slot_toolButtonPlay();
    void slot_toolButtonReplay();
    void slot_toolButtonFull();
    void slot_showTime(int64_t current, int64_t total);
    void on_horizontalSlider_scale_valueChanged(int value);

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    // The play button shows whether the transport plays.
    void showPlaying();
    // One slider step per wheel notch: up when the wheel turns towards the user.
    void wheelBy(int delta);
    Ui::PreviewWidget *ui;
    RenderManager *m_render;
    ZueDisplayWindow *m_display;
    int m_lastScale;
};
