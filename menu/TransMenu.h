#pragma once
// The transition panel: the effect, its duration in milliseconds and where it
// sits against the cut (the ratio of it before the cut). Every edit sends the
// whole map; the timeline applies it to the panel's transition as one undo step.
// Lives on: main thread.

#include "AbstractMenu.h"

class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

class TransMenu : public AbstractMenu {
    Q_OBJECT
public:
    explicit TransMenu(QWidget *parent = nullptr);
    void UpdateData(bg::ValueMap map) override;

signals:
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);

public slots:
    void slot_currentTransTextChanged(const QString &text);
    void slot_currentAlignTextChanged(const QString &text);
    void slot_sliderReleased();
    void on_SpinBox_time_editingFinished();

private:
    void send();
    // The alignment entry for a ratio: start 0, centre 5, end 10, custom otherwise.
    void showAlignment(int ratio);

    QLabel *m_side;
    QComboBox *m_type, *m_align;
    QSpinBox *m_duration;
    QSlider *m_slider;
    bool m_sending = false;
};
