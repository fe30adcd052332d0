#include "CropMenu.h"

#include "CropView.h"

#include "common/Translate.h"
#include "common/ValueQt.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CropMenu::CropMenu(QWidget *parent) : AbstractMenu(parent)
{
    setObjectName(QStringLiteral("CropMenu"));
    auto *back = new QPushButton(ZTR("res_form.back"), this);
    back->setObjectName(QStringLiteral("pushButton_return"));
    m_aspect = new QRadioButton(ZTR("source_clip_menu.KeepRate"), this);
    m_aspect->setObjectName(QStringLiteral("radioButton_aspect"));
    m_fill = new QRadioButton(ZTR("source_clip_menu.Fill"), this);
    m_fill->setObjectName(QStringLiteral("radioButton_fill"));
    auto *group = new QButtonGroup(this);
    group->addButton(m_aspect, 0);
    group->addButton(m_fill, 1);
    m_crop = new CropView(this);
    m_crop->setObjectName(QStringLiteral("graphicsView_crop"));
    auto *row = new QHBoxLayout;
    row->addWidget(back);
    row->addWidget(m_aspect);
    row->addWidget(m_fill);
    row->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_crop, 1);
    connect(back, &QPushButton::clicked, this, &CropMenu::sig_back);
    connect(group, &QButtonGroup::idClicked, this, [this] { send("strech"); });
    connect(m_crop, &CropView::sig_updateClipRect, this, [this](const QString &, const QRect &r) {
        m_rect = r;
        send("rect");
    });
}

void CropMenu::UpdateData(bg::ValueMap map)
{
    using menu::get;
    const bg::Value rect = get(map, "rect"), size = get(map, "size");
    m_rect = rect.type() == bg::VT_RECT ? bg::ValueQt(rect).toRect() : QRect();
    const QSize material = size.type() == bg::VT_SIZE ? bg::ValueQt(size).toSize() : QSize();
    m_crop->setClip(QString::fromStdString(get(map, "uuid").toStdString()), material, m_rect);
    (get(map, "strech").toInt32(1) == 1 ? m_aspect : m_fill)->setChecked(true);
}

void CropMenu::send(const std::string &key)
{
    bg::ValueMap map;
    map["rect"] = bg::ValueQt(m_rect);
    map["strech"] = bg::Value(int32_t(m_aspect->isChecked() ? 1 : 0));
    map["sizeType"] = bg::Value(int32_t(0));
    emit sig_updateData(MENU_CROP, map, key);
}
