#pragma once
// The panels of clips that only sound: AudioMenu (dub clips, the microphone
// recordings) and MusicMenu (music clips), alike but for the panel type they send
// and MusicMenu taking the keyboard focus on click. They show the file and edit
// volume and mute, neither of which is recorded for undo.
// Lives on: main thread.

#include "AbstractMenu.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class SoundMenu : public AbstractMenu {
    Q_OBJECT
public:
    void UpdateData(bg::ValueMap map) override;

signals:
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);

public slots:
    void on_audioVolumeSlider_valueChanged(int value);
    void on_audioMute_stateChanged(int checked);

protected:
    SoundMenu(MenuType type, QWidget *parent);

private:
    void send(const std::string &key);

    MenuType m_type;
    QPushButton *m_editTab;
    QLineEdit *m_name, *m_path;
    QSlider *m_volume;
    QLabel *m_volumeLabel;
    QCheckBox *m_mute;
};

class AudioMenu : public SoundMenu {
    Q_OBJECT
public:
    explicit AudioMenu(QWidget *parent = nullptr);
};

class MusicMenu : public SoundMenu {
    Q_OBJECT
public:
    explicit MusicMenu(QWidget *parent = nullptr);
};
