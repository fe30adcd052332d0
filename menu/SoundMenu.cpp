#include "SoundMenu.h"

#include "common/QssManager.h"
#include "common/Translate.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

SoundMenu::SoundMenu(MenuType type, QWidget *parent) : AbstractMenu(parent), m_type(type)
{
    auto *grid = new QGridLayout(this);
    m_editTab = new QPushButton(ZTR("auido_source_menu.Edit"), this);
    m_editTab->setObjectName(QStringLiteral("pushButton_edit"));
    m_editTab->setCheckable(true);
    m_editTab->setChecked(true);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("audioName"));
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("audioPath"));
    m_path->setReadOnly(true);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName(QStringLiteral("audioVolumeSlider"));
    m_volume->setRange(0, 128);
    m_volume->setPageStep(1);
    m_volumeLabel = new QLabel(menu::volumeText(128), this);
    m_volumeLabel->setMinimumWidth(m_volumeLabel->fontMetrics().horizontalAdvance("-00.0 dB"));
    connect(m_volume, &QSlider::sliderReleased, this, [this] { send("volume"); });
    m_volumeLabel->setObjectName(QStringLiteral("audioVOLLabel"));
    m_mute = new QCheckBox(ZTR("audio_source_menu.Mute"), this);
    m_mute->setObjectName(QStringLiteral("audioMute"));

    int row = 0;
    grid->addWidget(m_editTab, row++, 0, 1, 3, Qt::AlignLeft);
    grid->addWidget(new QLabel(ZTR("audio_source_menu.Name"), this), row, 0);
    grid->addWidget(m_name, row++, 1, 1, 2);
    grid->addWidget(new QLabel(ZTR("audio_source_menu.Filepath"), this), row, 0);
    grid->addWidget(m_path, row++, 1, 1, 2);
    grid->addWidget(new QLabel(ZTR("audio_source_menu.Volume"), this), row, 0);
    grid->addWidget(m_volume, row, 1);
    grid->addWidget(m_volumeLabel, row++, 2);
    grid->addWidget(m_mute, row++, 1, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/audio-menu.css"));
    QMetaObject::connectSlotsByName(this);
    passUndoKeys();
}

void SoundMenu::UpdateData(bg::ValueMap map)
{
    using menu::get;
    const QString path = QString::fromStdString(get(map, "path").toStdString());
    m_path->setText(path);
    m_name->setText(QFileInfo(path).completeBaseName());
    const int volume = get(map, "volume").toInt32(128);
    {
        const QSignalBlocker quiet(m_volume);
        m_volume->setValue(volume);
    }
    m_volumeLabel->setText(menu::volumeText(volume));
    const QSignalBlocker quiet(m_mute);
    m_mute->setChecked(get(map, "mute").toBool());
}

void SoundMenu::send(const std::string &key)
{
    bg::ValueMap map;
    map["volume"] = bg::Value(int32_t(m_volume->value()));
    map["live"] = bg::Value(m_volume->isSliderDown()); // the release sends it again
    map["mute"] = bg::Value(m_mute->isChecked());
    emit sig_updateData(m_type, map, key);
}

void SoundMenu::on_audioVolumeSlider_valueChanged(int value)
{
    send("volume");
    m_volumeLabel->setText(menu::volumeText(value));
}

void SoundMenu::on_audioMute_stateChanged(int)
{
    send("mute");
}

AudioMenu::AudioMenu(QWidget *parent) : SoundMenu(MENU_DUB, parent)
{
    setObjectName(QStringLiteral("AudioMenu"));
}

MusicMenu::MusicMenu(QWidget *parent) : SoundMenu(MENU_MUSIC, parent)
{
    setObjectName(QStringLiteral("MusicMenu"));
    setFocusPolicy(Qt::StrongFocus);
}
