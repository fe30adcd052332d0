#include "PreviewWidget.h"

#include "ui_PreviewWidget.h"

#include "ZueDisplayWindow.h"
#include "common/FrameTime.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "render/RenderManager.h"
#include "render/Transport.h"

#include <QVBoxLayout>
#include <QWheelEvent>

PreviewWidget::PreviewWidget(RenderManager *render, QWidget *parent)
    : QWidget(parent), ui(new Ui::PreviewWidget), m_render(render),
      m_display(new ZueDisplayWindow(render))
{
    ui->setupUi(this);
    m_lastScale = ui->horizontalSlider_scale->value();
    auto *layout = new QVBoxLayout(ui->widget_display);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(QWidget::createWindowContainer(m_display, ui->widget_display));

    ui->toolButton_replay->setIcon(QIcon(QStringLiteral(":/image/preview-replay.png")));
    ui->toolButton_back->setIcon(QIcon(QStringLiteral(":/image/preview-back.png")));
    QIcon play(QStringLiteral(":/image/preview-play.png"));
    play.addFile(QStringLiteral(":/image/preview-pause.png"), QSize(), QIcon::Normal, QIcon::On);
    ui->toolButton_play->setIcon(play);
    ui->toolButton_front->setIcon(QIcon(QStringLiteral(":/image/preview-front.png")));
    QIcon full(QStringLiteral(":/image/preview-full.png"));
    full.addFile(QStringLiteral(":/image/preview-restore.png"), QSize(), QIcon::Normal, QIcon::On);
    ui->toolButton_full->setIcon(full);
    for (QToolButton *b : {ui->toolButton_replay, ui->toolButton_back, ui->toolButton_play,
                           ui->toolButton_front, ui->toolButton_full}) {
        b->setIconSize(QSize(20, 20));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus); // Space must reach the window's shortcut
    }
    ui->toolButton_play->setToolTip(ZTR("pre_form.SpaceKey"));
    ui->toolButton_front->setToolTip(ZTR("pre_form.KeyRightTooltip"));
    ui->toolButton_back->setToolTip(ZTR("pre_form.KeyLeftTooltip"));
    ui->toolButton_full->setToolTip(ZTR("pre_form.FullscreenTooltip"));
    ui->toolButton_replay->setToolTip(QStringLiteral("Ctrl + Enter"));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/preview-widget.css"));

    // The buttons and the window's keys ask the same actions; the play button shows
    // whether the transport plays.
    connect(this, &PreviewWidget::sig_toolButtonFront, this, &PreviewWidget::slot_toolButtonFront);
    connect(this, &PreviewWidget::sig_toolButtonBack, this, &PreviewWidget::slot_toolButtonBack);
    connect(this, &PreviewWidget::sig_toolButtonPlay, this, &PreviewWidget::slot_toolButtonPlay);
    connect(this, &PreviewWidget::sig_toolButtonReplay, this,
            &PreviewWidget::slot_toolButtonReplay);
    connect(this, &PreviewWidget::sig_toolButtonFull, this, &PreviewWidget::slot_toolButtonFull);
    connect(ui->toolButton_front, &QToolButton::clicked, this,
            &PreviewWidget::slot_toolButtonFront);
    connect(ui->toolButton_back, &QToolButton::clicked, this, &PreviewWidget::slot_toolButtonBack);
    connect(ui->toolButton_play, &QToolButton::clicked, this, &PreviewWidget::slot_toolButtonPlay);
    connect(ui->toolButton_replay, &QToolButton::clicked, this,
            &PreviewWidget::slot_toolButtonReplay);
    connect(ui->toolButton_full, &QToolButton::clicked, this, &PreviewWidget::slot_toolButtonFull);
    Transport *transport = render->transport();
    connect(transport, &Transport::sig_playingChanged, this, &PreviewWidget::showPlaying);

    connect(this, &PreviewWidget::sig_opertorUi, transport, &Transport::stop);
    connect(this, &PreviewWidget::sig_queryScene, render, &RenderManager::sig_queryScene);
    connect(render, &RenderManager::sig_sendScene, this, &PreviewWidget::slot_setScene);
    connect(m_display, &ZueDisplayWindow::ViewCreated, this, &PreviewWidget::sig_queryScene);
    connect(m_display, &ZueDisplayWindow::sig_wheel, this, &PreviewWidget::wheelBy);
    connect(m_display, &ZueDisplayWindow::sig_closeMenu, this, &PreviewWidget::sig_closeMenu);
    // A press in the picture pauses playback first, so that the next played frame
    // does not overwrite what the gesture does.
    connect(m_display, &ZueDisplayWindow::sig_pressed, transport, &Transport::pause);
}

PreviewWidget::~PreviewWidget()
{
    delete ui;
}

QString PreviewWidget::timeText() const
{
    return ui->label_time->text();
}

bool PreviewWidget::isPlayChecked() const
{
    return ui->toolButton_play->isChecked();
}

void PreviewWidget::slot_setScene(GsScene *scene)
{
    m_display->setScene(scene);
}

void PreviewWidget::slot_toolButtonFront()
{
    emit sig_opertorUi(false, true);
    emit m_render->sig_frontFrameRequest(MOVE_RECORD, EDIT_NONE, 1);
}

void PreviewWidget::slot_toolButtonBack()
{
    emit sig_opertorUi(false, true);
    emit m_render->sig_backFrameRequest(MOVE_RECORD, EDIT_NONE, 1);
}

void PreviewWidget::slot_toolButtonPlay()
{
    // While a take is recorded the press ends it (the take owns the timeline).
    m_render->transport()->togglePlay();
    showPlaying();
}

void PreviewWidget::slot_toolButtonReplay()
{
    Transport *transport = m_render->transport();
    transport->stop(false, true);
    emit m_render->sig_resetFrame(0, EDIT_PLAY, true);
    transport->play();
    showPlaying();
}

void PreviewWidget::showPlaying()
{
    ui->toolButton_play->setChecked(m_render->transport()->isPlaying());
}

void PreviewWidget::slot_toolButtonFull()
{
    emit sig_togglePreviewMaximised();
}

void PreviewWidget::slot_showTime(int64_t current, int64_t total)
{
    ui->label_time->setText(frameTime(current) + QStringLiteral(" / ") + frameTime(total));
}

void PreviewWidget::on_horizontalSlider_scale_valueChanged(int value)
{
    // Each step up shrinks the picture by a tenth of its fitted size.
    const double zoom = m_display->zoom() + (m_lastScale - value) * 0.1;
    m_display->setZoom(zoom);
    m_lastScale = value;
}

void PreviewWidget::wheelEvent(QWheelEvent *event)
{
    wheelBy(event->angleDelta().y());
}

void PreviewWidget::wheelBy(int delta)
{
    if (delta == 0)
        return;
    QSlider *slider = ui->horizontalSlider_scale;
    slider->setValue(slider->value() + (delta < 0 ? 1 : -1)); // the slider keeps 0..10
}
