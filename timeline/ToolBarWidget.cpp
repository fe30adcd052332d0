#include "ToolBarWidget.h"

#include "render/Transport.h"

#include "SubtitleTemplateWidget.h"
#include "ui_ToolBarWidget.h"

#include "common/FrameTime.h"
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include "bridge/UserSettings.h"
#include "undo/UndoController.h"

#include <QTimer>
#include <QUndoStack>

namespace {

// Default, hover and forbidden pictures of a tool button, by base name.
void setPictures(QPushButton *button, const QString &base)
{
    QIcon icon;
    icon.addFile(base + "-default.png", QSize(), QIcon::Normal);
    icon.addFile(base + "-hover.png", QSize(), QIcon::Active);
    icon.addFile(base + "-forbidden.png", QSize(), QIcon::Disabled);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
}

bool setting(const char *key, bool def)
{
    return bg::UserSettings::instance().get(key, def ? "true" : "false") == "true";
}

} // namespace

ToolBarWidget::ToolBarWidget(QWidget *parent) : QWidget(parent), ui(new Ui::ToolBarWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground); // the style sheet paints the background
    setFixedHeight(int(48 * QssManager::screenScale()));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/toolbar-widget.css"));
    ui->checkBox_auto_align->setText(ZTR("toolbar_form.AutoAlign"));
    ui->pushButton_split->setText(ZTR("toolbar_form.Split"));
    ui->pushButton_split->setToolTip(ZTR("toolbar_form.SplitTip"));
    ui->pushButton_audio->setText(ZTR("toolbar_form.Mic"));
    ui->pushButton_edit->setText(ZTR("toolbar_form.Edit"));
    ui->pushButton_subtitle->setText(ZTR("toolbar_form.Subtitle"));
    ui->pushButton_clear->setText(ZTR("toolbar_form.Clear"));
    ui->pushButton_export->setText(ZTR("toolbar_form.ExportMV"));
    ui->pushButton_undo->setToolTip(ZTR("toolbar_form.UndoTip"));
    ui->pushButton_redo->setToolTip(ZTR("toolbar_form.RedoTip"));
    setPictures(ui->pushButton_undo, ":/image/toolbar-undo");
    setPictures(ui->pushButton_redo, ":/image/toolbar-redo");
    setPictures(ui->pushButton_split, ":/image/toolbar-cut");
    setPictures(ui->pushButton_audio, ":/image/toolbar-dub");
    setPictures(ui->pushButton_edit, ":/image/toolbar-edit");
    setPictures(ui->pushButton_subtitle, ":/image/toolbar-captions");
    setPictures(ui->pushButton_clear, ":/image/toolbar-clear");
    ui->pushButton_export->setIcon(QIcon(QStringLiteral(":/image/toolbar-export.png")));
    ui->pushButton_export->setIconSize(QSize(16, 16));
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setFocusPolicy(Qt::NoFocus); // keys stay with the window's shortcuts
    ui->checkBox_auto_align->setFocusPolicy(Qt::NoFocus);
    ui->horizontalSlider_scale->setFocusPolicy(Qt::NoFocus);

    auto *undo = zua::UndoController::instance();
    ui->pushButton_undo->setEnabled(undo->canUndo());
    ui->pushButton_redo->setEnabled(undo->canRedo());
    ui->pushButton_split->setEnabled(false);
    ui->pushButton_edit->setEnabled(false);
    connect(undo, &zua::UndoController::sig_canUndo, ui->pushButton_undo, &QWidget::setEnabled);
    connect(undo, &zua::UndoController::sig_canRedo, ui->pushButton_redo, &QWidget::setEnabled);
    connect(this, &ToolBarWidget::sig_pushButtonUndo, ui->pushButton_undo, &QPushButton::click);
    connect(this, &ToolBarWidget::sig_pushButtonRedo, ui->pushButton_redo, &QPushButton::click);
    connect(this, &ToolBarWidget::sig_pushButtonSplit, ui->pushButton_split, &QPushButton::click);

    // The stored switch is applied once the event loop runs, when every
    // receiver of sig_autoAlign is connected.
    QTimer::singleShot(0, this, [this] {
        const bool on = setting("autoAlign", false);
        {
            const QSignalBlocker block(ui->checkBox_auto_align);
            ui->checkBox_auto_align->setChecked(on);
        }
        emit sig_autoAlign(on);
    });
}

ToolBarWidget::~ToolBarWidget()
{
    delete ui;
}

QString ToolBarWidget::timeText() const
{
    return ui->label_time->text();
}

bool ToolBarWidget::autoAlign() const
{
    return ui->checkBox_auto_align->isChecked();
}

void ToolBarWidget::on_pushButton_undo_clicked()
{
    emit sig_opertorUi(true, true);
    zua::UndoController::instance()->stack()->undo();
}

void ToolBarWidget::on_pushButton_redo_clicked()
{
    emit sig_opertorUi(true, true);
    zua::UndoController::instance()->stack()->redo();
}

void ToolBarWidget::on_pushButton_split_clicked()
{
    emit sig_opertorUi(true, true);
    emit sig_splitSourceItem();
}

void ToolBarWidget::setTransport(Transport *transport)
{
    if (m_transport)
        disconnect(m_transport, nullptr, this, nullptr);
    m_transport = transport;
    auto show = [this] {
        ui->pushButton_audio->setChecked(m_transport && m_transport->isRecording());
    };
    if (transport)
        connect(transport, &Transport::sig_recordingChanged, this, show);
    show();
}

void ToolBarWidget::on_pushButton_audio_clicked(bool checked)
{
    if (m_transport)
        m_transport->setRecording(checked);
    ui->pushButton_audio->setChecked(m_transport && m_transport->isRecording());
}

void ToolBarWidget::on_pushButton_edit_clicked()
{
    emit sig_editSourceItem();
}

void ToolBarWidget::on_pushButton_subtitle_clicked()
{
    if (!m_templates) {
        m_templates = new SubtitleTemplateWidget(this);
        connect(m_templates, &SubtitleTemplateWidget::sig_createResSubtitle, this,
                &ToolBarWidget::sig_createSubtitle);
    }
    m_templates->reset();
    m_templates->show();
    m_templates->raise();
}

void ToolBarWidget::on_pushButton_clear_clicked()
{
    emit sig_opertorUi(true, true);
    emit sig_clearSourceItems();
}

void ToolBarWidget::on_pushButton_export_clicked()
{
    emit sig_opertorUi(true, true);
    if (m_total == 0) {
        MessageBox::inform(window(), ZKEY("exportmvwindow.Hint"), ZTR("exportmvwindow.CantBeEmpty"),
                           ZKEY("exportmvwindow.Ok"));
        return;
    }
    emit sig_exportWindow();
}

void ToolBarWidget::on_horizontalSlider_scale_valueChanged(int value)
{
    emit sig_scaleSliderValue(24 - value);
}

void ToolBarWidget::slot_scaleSliderValueChanged(int level)
{
    const QSignalBlocker block(ui->horizontalSlider_scale);
    ui->horizontalSlider_scale->setValue(24 - level);
}

void ToolBarWidget::on_checkBox_auto_align_clicked(bool checked)
{
    if (checked && setting("autoAlignHint", true)) {
        MessageSpec hint;
        hint.parent = window();
        hint.titleKey = ZKEY("toolbar_form.Hint");
        hint.text = ZTR("toolbar_form.DragAlign");
        hint.buttonKeys = QStringList{ZKEY("toolbar_form.DonntPopAgain"), ZKEY("toolbar_form.Ok")};
        hint.defaultButton = 1;
        hint.escapeButton = 1;
        if (MessageBox::show(hint) == 0) {
            bg::UserSettings::instance().set("autoAlignHint", "false");
            bg::UserSettings::instance().save();
        }
    }
    bg::UserSettings::instance().set("autoAlign", checked ? "true" : "false");
    bg::UserSettings::instance().save();
    emit sig_autoAlign(checked);
}

void ToolBarWidget::toggleAutoAlign()
{
    // A passing inversion (Shift held): the stored choice is the check box's alone.
    const bool on = !ui->checkBox_auto_align->isChecked();
    ui->checkBox_auto_align->setChecked(on);
    emit sig_autoAlign(on);
}

void ToolBarWidget::slot_splitButtonEnable(bool enable)
{
    ui->pushButton_split->setEnabled(enable);
}

void ToolBarWidget::slot_editButtonEnable(bool enable)
{
    ui->pushButton_edit->setEnabled(enable);
}

void ToolBarWidget::slot_showTime(int64_t current, int64_t total)
{
    ui->label_time->setText(frameTime(current));
    m_total = total;
}
