#include "VisualMenu.h"

#include "CropView.h"

#include "common/QssManager.h"
#include "common/Translate.h"
#include "common/ValueQt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

constexpr int kFar = 999999999;

struct Colour {
    const char *key;   // the map's key
    const char *box;   // "spinBox_" + this
    const char *label; // the language key under the panel's group
    int low;
};
const Colour kColours[] = {
    {"contrast", "contrast", "contrast", -50},
    {"bright", "bright", "bright", -50},
    {"highlight", "highlight", "highlight", 0},
    {"hue", "hue", "hue", -50},
    {"temperature", "temperature", "temperature", -50},
    {"saturation", "saturability", "saturability", -50},
};

QString text(const char *group, const char *key)
{
    return zuaTranslate(QString::fromLatin1(group) + '.' + QString::fromLatin1(key));
}

// A rectangle or size entry of another kind is reported and read as empty.
QRect rectOf(const bg::Value &v)
{
    if (v.type() != bg::VT_RECT) {
        std::fprintf(stderr, "[bg-value] can't convert type: '%d' ---> VT_RECT\n", v.type());
        return QRect();
    }
    return bg::ValueQt(v).toRect();
}

QSize sizeOf(const bg::Value &v)
{
    if (v.type() != bg::VT_SIZE) {
        std::fprintf(stderr, "[bg-value] can't convert type: '%d' ---> VT_SIZE\n", v.type());
        return QSize();
    }
    return bg::ValueQt(v).toSize();
}

} // namespace

using menu::spinBox;

VisualMenu::VisualMenu(MenuType type, const QString &prefix, bool sound, const Texts &texts,
                       QWidget *parent)
    : AbstractMenu(parent), m_type(type)
{
    setFocusPolicy(Qt::StrongFocus); // a click on the panel ends a spin box's edit
    auto *tabs = new QWidget(this);
    tabs->setObjectName(QStringLiteral("widget_tabs"));
    auto *tabRow = new QHBoxLayout(tabs);
    tabRow->setContentsMargins(0, 0, 0, 0);
    m_editTab = new QPushButton(text(texts.group, "Edit"), tabs);
    m_editTab->setObjectName(QStringLiteral("pushButton_edit"));
    m_cropTab = new QPushButton(text(texts.group, texts.cropTab), tabs);
    m_cropTab->setObjectName(QStringLiteral("pushButton_clip"));
    auto *hiddenTab = new QPushButton(tabs);
    hiddenTab->setObjectName(QStringLiteral("pushButton_hidden"));
    hiddenTab->hide();
    auto *tabGroup = new QButtonGroup(this);
    int id = 0;
    for (QPushButton *tab : {m_editTab, m_cropTab, hiddenTab}) {
        tab->setCheckable(true);
        tabGroup->addButton(tab, id++);
        tabRow->addWidget(tab);
    }
    tabRow->addStretch();
    m_editTab->setChecked(true);
    connect(tabGroup, &QButtonGroup::idClicked, this, &VisualMenu::switchPage);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("stackedWidget"));
    m_pages->addWidget(buildEditPage(prefix, sound, texts));
    m_pages->addWidget(buildCropPage());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    layout->addWidget(m_pages, 1);
    connect(m_crop, &CropView::sig_updateClipRect, this, &VisualMenu::slot_updateClipRect);
    connect(m_crop, &CropView::sig_previewWanted, this, &VisualMenu::sig_previewWanted);
}

QWidget *VisualMenu::buildEditPage(const QString &prefix, bool sound, const Texts &texts)
{
    QScrollArea *scroll = nullptr;
    QWidget *page = menu::scrollingPage(m_pages, &scroll);
    auto *grid = new QGridLayout(page);
    int row = 0;
    auto label = [&](const char *key, const QString &name = QString()) {
        auto *l = new QLabel(text(texts.group, key), page);
        if (!name.isEmpty())
            l->setObjectName(name);
        return l;
    };
    auto heading = [&](const char *key) {
        QLabel *l = label(key);
        l->setProperty("heading", true);
        grid->addWidget(l, row++, 0, 1, 4);
    };

    m_name = new QLineEdit(page);
    m_name->setObjectName(prefix + "Name");
    m_name->setReadOnly(sound); // a picture's name box can be typed in (it changes nothing)
    m_path = new QLineEdit(page);
    m_path->setObjectName(prefix + "Path");
    m_path->setReadOnly(true);
    grid->addWidget(label(texts.name), row, 0);
    grid->addWidget(m_name, row++, 1, 1, 3);
    grid->addWidget(label(texts.path), row, 0);
    grid->addWidget(m_path, row++, 1, 1, 3);

    m_x = spinBox(prefix + "X", -kFar, kFar, page);
    m_y = spinBox(prefix + "Y", -kFar, kFar, page);
    m_width = spinBox(prefix + "Width", 0, kFar, page);
    m_height = spinBox(prefix + "Height", 0, kFar, page);
    grid->addWidget(label("Pos"), row, 0);
    grid->addWidget(new QLabel(QStringLiteral("X"), page), row, 1);
    grid->addWidget(m_x, row, 2);
    grid->addWidget(new QLabel(QStringLiteral("Y"), page), row + 1, 1);
    grid->addWidget(m_y, row + 1, 2);
    row += 2;
    grid->addWidget(label(texts.size), row, 0);
    grid->addWidget(label("Width"), row, 1);
    grid->addWidget(m_width, row, 2);
    grid->addWidget(label("Height"), row + 1, 1);
    grid->addWidget(m_height, row + 1, 2);
    row += 2;
    m_transparency = spinBox(prefix + "Transparency", 0, 255, page);
    m_angle = spinBox(prefix + "Angle", -360, 360, page);
    grid->addWidget(label("Tranparent"), row, 0);
    grid->addWidget(m_transparency, row++, 2);
    grid->addWidget(label("rotate"), row, 0);
    grid->addWidget(m_angle, row++, 2);

    heading("colorcontrol");
    for (size_t i = 0; i < std::size(kColours); ++i) {
        const Colour &c = kColours[i];
        m_colours[i] = spinBox(QString("spinBox_") + c.box, c.low, 50, page);
        grid->addWidget(label(c.label), row, 1);
        grid->addWidget(m_colours[i], row++, 2);
    }

    if (sound) {
        m_volume = new QSlider(Qt::Horizontal, page);
        m_volume->setObjectName(prefix + "VolumeSlider");
        m_volume->setRange(0, 128);
        m_volume->setPageStep(1);
        m_volumeLabel = new QLabel(menu::volumeText(128), page);
        m_volumeLabel->setMinimumWidth(m_volumeLabel->fontMetrics().horizontalAdvance("-00.0 dB"));
        connect(m_volume, &QSlider::sliderReleased, this, [this] { send("volume"); });
        m_volumeLabel->setObjectName(prefix + "VOLLabel");
        m_mute = new QCheckBox(text(texts.group, "mute"), page);
        m_mute->setObjectName(prefix + "Mute");
        grid->addWidget(label("volumn"), row, 0);
        grid->addWidget(m_volume, row, 1, 1, 2);
        grid->addWidget(m_volumeLabel, row++, 3);
        grid->addWidget(m_mute, row++, 1, 1, 3);
    }

    heading("Fill");
    auto *fillRow = new QHBoxLayout;
    const std::pair<const char *, const char *> fills[] = {
        {"selfAdaption", "AutoFit"}, {"stretch", "Scale"}, {"initialSize", "Origin"}};
    for (const auto &f : fills) {
        auto *button = new QPushButton(text(texts.group, f.second), page);
        button->setObjectName(QString::fromLatin1(f.first));
        fillRow->addWidget(button);
    }
    auto *hidden = new QPushButton(page);
    hidden->setObjectName(QStringLiteral("pushButton_fillHidden"));
    hidden->hide();
    fillRow->addWidget(hidden);
    grid->addLayout(fillRow, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(3, 1);
    scroll->setWidget(page);
    return scroll;
}

QWidget *VisualMenu::buildCropPage()
{
    auto *page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("page_crop"));
    auto *layout = new QVBoxLayout(page);
    m_aspect = new QRadioButton(ZTR("source_clip_menu.KeepRate"), page);
    m_aspect->setObjectName(QStringLiteral("radioButton_aspect"));
    m_fill = new QRadioButton(ZTR("source_clip_menu.Fill"), page);
    m_fill->setObjectName(QStringLiteral("radioButton_fill"));
    m_fill->setChecked(true);
    auto *group = new QButtonGroup(this);
    group->addButton(m_aspect, 0);
    group->addButton(m_fill, 1);
    connect(group, &QButtonGroup::idClicked, this, &VisualMenu::slot_radioButtonClicked);
    auto *radios = new QHBoxLayout;
    radios->addWidget(m_aspect);
    radios->addWidget(m_fill);
    radios->addStretch();
    m_crop = new CropView(page);
    m_crop->setObjectName(QStringLiteral("graphicsView_crop"));
    layout->addLayout(radios);
    layout->addWidget(m_crop, 1);
    return page;
}

QSpinBox *VisualMenu::colourBox(const char *key) const
{
    for (size_t i = 0; i < std::size(kColours); ++i)
        if (qstrcmp(kColours[i].key, key) == 0)
            return m_colours[i];
    return nullptr;
}

void VisualMenu::UpdateData(bg::ValueMap map)
{
    using menu::get;
    if (m_editTab->isChecked())
        m_pages->setCurrentIndex(0);
    else if (m_cropTab->isChecked())
        m_pages->setCurrentIndex(1);
    m_uuid = QString::fromStdString(get(map, "uuid").toStdString());
    const bg::Value rect = get(map, "rect"), size = get(map, "size");
    m_rect = rectOf(rect);
    m_size = sizeOf(size);
    m_stretch = get(map, "strech").toInt32(m_stretch);
    const QString path = QString::fromStdString(get(map, "path").toStdString());
    m_path->setText(path);
    m_name->setText(QFileInfo(path).completeBaseName());

    // Filling emits nothing.
    const std::pair<QSpinBox *, const char *> doubles[] = {
        {m_x, "X"}, {m_y, "Y"}, {m_width, "W"}, {m_height, "H"}};
    for (const auto &d : doubles) {
        const QSignalBlocker quiet(d.first);
        d.first->setValue(menu::truncated(get(map, d.second), d.first));
    }
    for (const auto &i :
         {std::make_pair(m_angle, "rotate"), std::make_pair(m_transparency, "transparent")}) {
        const QSignalBlocker quiet(i.first);
        i.first->setValue(get(map, i.second).toInt32());
    }
    for (size_t i = 0; i < std::size(kColours); ++i) {
        const QSignalBlocker quiet(m_colours[i]);
        m_colours[i]->setValue(get(map, kColours[i].key).toInt32());
    }
    if (m_volume) {
        const int volume = get(map, "volume").toInt32(128);
        {
            const QSignalBlocker quiet(m_volume);
            m_volume->setValue(volume);
        }
        m_volumeLabel->setText(menu::volumeText(volume));
        const QSignalBlocker quiet(m_mute);
        m_mute->setChecked(get(map, "mute").toBool());
    }
    m_crop->setClip(m_uuid, m_size, m_rect);
    (m_stretch == 1 ? m_aspect : m_fill)->setChecked(true);
}

void VisualMenu::send(const std::string &key, QWidget *dropFocus)
{
    if (m_sending)
        return; // giving up the focus finishes the same edit again
    m_sending = true;
    if (dropFocus)
        dropFocus->clearFocus();
    bg::ValueMap map;
    map["X"] = bg::Value(double(m_x->value()));
    map["Y"] = bg::Value(double(m_y->value()));
    map["W"] = bg::Value(double(m_width->value()));
    map["H"] = bg::Value(double(m_height->value()));
    map["rotate"] = bg::Value(int32_t(m_angle->value()));
    map["transparent"] = bg::Value(int32_t(m_transparency->value()));
    if (m_volume) {
        map["volume"] = bg::Value(int32_t(m_volume->value()));
        map["live"] = bg::Value(m_volume->isSliderDown()); // the release sends it again
        map["mute"] = bg::Value(m_mute->isChecked());
    }
    map["strech"] = bg::Value(int32_t(m_stretch));
    map["sizeType"] = bg::Value(int32_t(m_sizeType));
    map["rect"] = bg::ValueQt(m_rect);
    for (size_t i = 0; i < std::size(kColours); ++i)
        map[kColours[i].key] = bg::Value(int32_t(m_colours[i]->value()));
    (m_stretch == 1 ? m_aspect : m_fill)->setChecked(true);
    m_sizeType = 0;
    emit sig_updateData(m_type, map, key);
    m_sending = false;
}

void VisualMenu::sendColour(const char *key)
{
    send(key, colourBox(key));
}

void VisualMenu::sizeCommand(int mode, int command)
{
    m_stretch = mode;
    m_sizeType = command;
    send("strech");
}

void VisualMenu::on_initialSize_clicked()
{
    m_sizeType = 1;
    send("sizeType");
}

void VisualMenu::slot_radioButtonClicked(int)
{
    m_stretch = m_aspect->isChecked() ? 1 : 0;
    send("strech");
}

void VisualMenu::slot_updateClipRect(const QString &, const QRect &rect)
{
    m_rect = rect;
    send("rect");
}

void VisualMenu::slot_updateClipImage(const QList<VFrameInfo> &frames)
{
    if (m_pages->currentIndex() == 1 && isVisible())
        m_crop->setFrames(frames);
}

void VisualMenu::switchPage(int id)
{
    if (id < 0 || id > 1)
        return;
    m_pages->setCurrentIndex(id);
    if (id == 1)
        emit sig_previewWanted();
}

// ---- the two panels ----------------------------------------------------------------

VideoMenu::VideoMenu(QWidget *parent)
    : VisualMenu(MENU_VIDEO, QStringLiteral("video"), true,
                 {"video_source_menu", "Clip", "SourceName", "FilePath", "SourceSize"}, parent)
{
    setObjectName(QStringLiteral("VideoMenu"));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/video-menu.css"));
    QMetaObject::connectSlotsByName(this);
    passUndoKeys();
}

void VideoMenu::on_videoVolumeSlider_valueChanged(int value)
{
    send("volume");
    m_volumeLabel->setText(menu::volumeText(value));
}

ImageMenu::ImageMenu(QWidget *parent)
    : VisualMenu(MENU_PICTURE, QStringLiteral("image"), false,
                 {"image_source_menu", "Split", "Name", "Path", "Size"}, parent)
{
    setObjectName(QStringLiteral("ImageMenu"));
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/image-menu.css"));
    QMetaObject::connectSlotsByName(this);
    passUndoKeys();
}
