#pragma once
// The strip above the timeline: auto-align, undo, redo, split, dub, edit,
// subtitle, clear, the playhead time, the zoom slider and export.
// Lives on: main thread.

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

#include <cstdint>

class SubtitleTemplateWidget;
class Transport;

namespace Ui {
class ToolBarWidget;
}

class ToolBarWidget : public QWidget {
    Q_OBJECT
public:
    explicit ToolBarWidget(QWidget *parent = nullptr);
    ~ToolBarWidget() override;

    // Inverts the auto-align switch and stores it (the Shift key's toggle).
    void toggleAutoAlign();
    bool autoAlign() const;
    QString timeText() const;
    // The transport the Dub button starts and ends takes with; the button shows
    // whether it records.
    void setTransport(Transport *transport);

signals:
    void sig_createSubtitle(const QString &name, const QFont &font, const QColor &color);
    void sig_scaleSliderValue(int level);
    void sig_splitSourceItem();
    void sig_editSourceItem();
    void sig_clearSourceItems();
    void sig_pushButtonUndo();
    void sig_pushButtonRedo();
    void sig_pushButtonSplit();
    void sig_autoAlign(bool align);
    void sig_opertorUi(bool stopPlay, bool stopRecord);
    // The export window is asked for (the timeline is not empty).
    void sig_exportWindow();

public slots:
    void on_pushButton_subtitle_clicked();
    void on_pushButton_undo_clicked();
    void on_pushButton_redo_clicked();
    void on_pushButton_split_clicked();
    void on_pushButton_audio_clicked(bool checked);
    void on_pushButton_edit_clicked();
    void on_pushButton_clear_clicked();
    void on_pushButton_export_clicked();
    void on_horizontalSlider_scale_valueChanged(int value);
    void on_checkBox_auto_align_clicked(bool checked);
    void slot_scaleSliderValueChanged(int level);
    void slot_splitButtonEnable(bool enable);
    void slot_editButtonEnable(bool enable);
    void slot_showTime(int64_t current, int64_t total);

private:
    Ui::ToolBarWidget *ui;
    int64_t m_total = 0;
    SubtitleTemplateWidget *m_templates = nullptr; // made on first use, then shown again
    QPointer<Transport> m_transport;
};
