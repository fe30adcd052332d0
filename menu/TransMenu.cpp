#include "TransMenu.h"

#include "common/QssManager.h"
#include "common/Translate.h"
#include "render/compose/TransTranslate.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>

namespace {

// The alignment entries in list order, with the ratio each stands for (-1: any other).
const std::pair<const char *, int> kAlignments[] = {
    {"translation_source_menu.SplitCenter", 5},
    {"translation_source_menu.SplitStart", 0},
    {"translation_source_menu.SplitEnd", 10},
    {"translation_source_menu.Custom", -1},
};

QString programOf(const QString &displayName)
{
    for (const auto &entry : TransTranslate::instance().entries())
        if (zuaTranslate(entry.second) == displayName)
            return entry.first;
    return QString();
}

QString displayOf(const QString &program)
{
    const QString key = TransTranslate::instance().keyOf(program);
    return key.isEmpty() ? QString() : zuaTranslate(key);
}

} // namespace

TransMenu::TransMenu(QWidget *parent) : AbstractMenu(parent)
{
    setObjectName(QStringLiteral("TransMenu"));
    setFocusPolicy(Qt::StrongFocus);
    auto *grid = new QGridLayout(this);
    m_side = new QLabel(ZTR("translation_source_menu.trans"), this);
    m_side->setObjectName(QStringLiteral("transLabel"));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("transTypeComboBox"));
    for (const auto &entry : TransTranslate::instance().entries())
        m_type->addItem(zuaTranslate(entry.second));
    m_duration = new QSpinBox(this);
    m_duration->setObjectName(QStringLiteral("SpinBox_time"));
    m_duration->setRange(100, 20000);
    m_duration->setValue(800);
    m_duration->setKeyboardTracking(false);
    m_align = new QComboBox(this);
    m_align->setObjectName(QStringLiteral("ComboBox_align"));
    for (const auto &a : kAlignments)
        m_align->addItem(zuaTranslate(QString::fromLatin1(a.first)));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("Slider_align"));
    m_slider->setRange(0, 10);
    m_slider->setValue(5);
    m_slider->setSingleStep(0); // moved only by dragging
    m_slider->setPageStep(0);
    auto *tip1 = new QLabel(ZTR("translation_source_menu.Attation1"), this);
    tip1->setObjectName(QStringLiteral("label_11"));
    auto *tip2 = new QLabel(ZTR("translation_source_menu.Attation2"), this);
    tip2->setObjectName(QStringLiteral("label_12"));
    for (QLabel *tip : {tip1, tip2})
        tip->setWordWrap(true);

    int row = 0;
    grid->addWidget(m_side, row++, 0, 1, 3);
    grid->addWidget(new QLabel(ZTR("translation_source_menu.type"), this), row, 0);
    grid->addWidget(m_type, row++, 1, 1, 2);
    grid->addWidget(new QLabel(ZTR("translation_source_menu.Duration"), this), row, 0);
    grid->addWidget(m_duration, row, 1);
    grid->addWidget(new QLabel(ZTR("translation_source_menu.Millisec"), this), row++, 2);
    grid->addWidget(new QLabel(ZTR("translation_source_menu.Align"), this), row, 0);
    grid->addWidget(m_align, row++, 1, 1, 2);
    grid->addWidget(m_slider, row++, 1, 1, 2);
    grid->addWidget(tip1, row++, 0, 1, 3);
    grid->addWidget(tip2, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);

    connect(m_type, &QComboBox::currentTextChanged, this, &TransMenu::slot_currentTransTextChanged);
    connect(m_align, &QComboBox::currentTextChanged, this,
            &TransMenu::slot_currentAlignTextChanged);
    connect(m_slider, &QSlider::sliderReleased, this, &TransMenu::slot_sliderReleased);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/trans-menu.css"));
    QMetaObject::connectSlotsByName(this);
    passUndoKeys();
}

void TransMenu::UpdateData(bg::ValueMap map)
{
    using menu::get;
    const int direction = get(map, "direction").toInt32();
    m_side->setText(direction == -1  ? ZTR("translation_source_menu.left")
                    : direction == 1 ? ZTR("translation_source_menu.right")
                                     : ZTR("translation_source_menu.independent"));
    // A transition at one clip's head or tail has no cut to align with.
    m_align->setEnabled(direction != 0);
    m_slider->setEnabled(direction != 0);
    const QSignalBlocker quietType(m_type), quietDuration(m_duration), quietAlign(m_align),
        quietSlider(m_slider);
    const QString shown = displayOf(QString::fromStdString(get(map, "type").toStdString()));
    const int at = m_type->findText(shown);
    m_type->setCurrentIndex(at); // -1 (nothing shown) for a name outside the catalogue
    // The clips limit how long the transition can be.
    const int64_t longest = get(map, "maxDuration").toInt64(20000);
    m_duration->setMaximum(int(std::clamp<int64_t>(longest, m_duration->minimum(), 20000)));
    m_duration->setValue(int(get(map, "duration").toInt64(800)));
    const int ratio = get(map, "value").toInt32(5);
    showAlignment(ratio);
    m_slider->setValue(ratio);
}

void TransMenu::showAlignment(int ratio)
{
    int index = 3; // custom
    for (int i = 0; i < 3; ++i)
        if (kAlignments[i].second == ratio)
            index = i;
    m_align->setCurrentIndex(index);
}

void TransMenu::send()
{
    if (m_sending)
        return;
    m_sending = true;
    bg::ValueMap map;
    map["type"] = bg::Value(programOf(m_type->currentText()).toStdString());
    map["duration"] = bg::Value(int32_t(m_duration->value()));
    map["value"] = bg::Value(int32_t(m_slider->value()));
    emit sig_updateData(MENU_TRANSITION, map, std::string());
    m_sending = false;
}

void TransMenu::slot_currentTransTextChanged(const QString &)
{
    send();
}

void TransMenu::slot_currentAlignTextChanged(const QString &)
{
    const int ratio = kAlignments[std::max(0, m_align->currentIndex())].second;
    if (ratio >= 0) {
        const QSignalBlocker quiet(m_slider);
        m_slider->setValue(ratio);
    }
    send();
}

void TransMenu::slot_sliderReleased()
{
    {
        const QSignalBlocker quiet(m_align);
        showAlignment(m_slider->value());
    }
    send();
}

void TransMenu::on_SpinBox_time_editingFinished()
{
    m_duration->clearFocus();
    send();
}
