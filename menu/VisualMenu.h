#pragma once
// The panels of clips that are seen: VideoMenu (video clips) and ImageMenu
// (pictures) share placement, size, turn, transparency, the colour controls, the
// fill commands and the crop page; the video panel adds volume and mute.
// Lives on: main thread.

#include "AbstractMenu.h"
#include "render/RenderTypes.h"

#include <QRect>
#include <QSize>
#include <QSpinBox>

class CropView;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

class QStackedWidget;

class VisualMenu : public AbstractMenu {
    Q_OBJECT
public:
    void UpdateData(bg::ValueMap map) override;

signals:
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);
    // The crop page wants a fresh preview, so that the clip's frame arrives.
    void sig_previewWanted();

public slots:
    void on_spinBox_contrast_editingFinished() { sendColour("contrast"); }
    void on_spinBox_bright_editingFinished() { sendColour("bright"); }
    void on_spinBox_highlight_editingFinished() { sendColour("highlight"); }
    void on_spinBox_hue_editingFinished() { sendColour("hue"); }
    void on_spinBox_temperature_editingFinished() { sendColour("temperature"); }
    void on_spinBox_saturability_editingFinished() { sendColour("saturation"); }
    void on_selfAdaption_clicked() { sizeCommand(1, 3); }
    void on_stretch_clicked() { sizeCommand(0, 2); }
    void on_initialSize_clicked();
    void slot_radioButtonClicked(int id);
    void slot_updateClipRect(const QString &uuid, const QRect &rect);
    void slot_updateClipImage(const QList<VFrameInfo> &frames);

protected:
    // The panel's language group and the keys that differ between the two panels.
    struct Texts {
        const char *group; // "video_source_menu" or "image_source_menu"
        const char *cropTab, *name, *path, *size;
    };
    // `prefix` names the controls ("video" gives "videoX", "videoAngle", ...).
    VisualMenu(MenuType type, const QString &prefix, bool sound, const Texts &texts,
               QWidget *parent);
    // Shows the edit page (0) or the crop page (1).
    void switchPage(int id);
    // Sends the map built from the controls for `key`; a spin box given in
    // `dropFocus` gives up the keyboard focus first (ending its edit).
    void send(const std::string &key, QWidget *dropFocus = nullptr);
    void sendColour(const char *key);
    void sizeCommand(int mode, int command);

    QSpinBox *m_x, *m_y, *m_width, *m_height, *m_angle, *m_transparency;
    QSlider *m_volume = nullptr;
    QLabel *m_volumeLabel = nullptr;
    QCheckBox *m_mute = nullptr;
    QLineEdit *m_name, *m_path;

private:
    QWidget *buildEditPage(const QString &prefix, bool sound, const Texts &texts);
    QWidget *buildCropPage();
    QSpinBox *colourBox(const char *key) const;
    QSpinBox *m_colours[6] = {}; // in the colour table's order

    MenuType m_type;
    QPushButton *m_editTab, *m_cropTab;
    QStackedWidget *m_pages;
    QRadioButton *m_aspect, *m_fill;
    CropView *m_crop;
    QString m_uuid;
    QRect m_rect;
    QSize m_size;
    int m_stretch = 1;
    int m_sizeType = 0; // non-zero only while one map is built
    bool m_sending = false;
};

// The video clip's panel.
class VideoMenu : public VisualMenu {
    Q_OBJECT
public:
    explicit VideoMenu(QWidget *parent = nullptr);

public slots:
    void on_videoX_editingFinished() { send("X", m_x); }
    void on_videoY_editingFinished() { send("Y", m_y); }
    void on_videoWidth_editingFinished() { send("W", m_width); }
    void on_videoHeight_editingFinished() { send("H", m_height); }
    void on_videoAngle_editingFinished() { send("rotate", m_angle); }
    void on_videoTransparency_editingFinished() { send("transparent", m_transparency); }
    void on_videoVolumeSlider_valueChanged(int value);
    void on_videoMute_stateChanged(int) { send("mute"); }
};

// The picture clip's panel: the video panel without sound.
class ImageMenu : public VisualMenu {
    Q_OBJECT
public:
    explicit ImageMenu(QWidget *parent = nullptr);

public slots:
    void on_imageX_editingFinished() { send("X"); }
    void on_imageY_editingFinished() { send("Y"); }
    void on_imageWidth_editingFinished() { send("W"); }
    void on_imageHeight_editingFinished() { send("H"); }
    void on_imageAngle_editingFinished() { send("rotate"); }
    void on_imageTransparency_editingFinished() { send("transparent"); }
    // Renaming changes nothing on the clip: the map goes out with no key.
    void on_imageName_editingFinished() { send(std::string()); }
};
