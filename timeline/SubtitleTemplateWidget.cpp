#include "SubtitleTemplateWidget.h"

#include "common/FileDialogs.h"
#include "common/FontSizes.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "common/XmlText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {
// Templates made without a label are numbered, for the whole run of the program.
int g_subtitleNumber = 1;
} // namespace

// ---- SubtitleTagLineEdit ----------------------------------------------------------

SubtitleTagLineEdit::SubtitleTagLineEdit(QWidget *parent) : QLineEdit(parent)
{
    m_editable = palette();
    m_readOnly = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        m_readOnly.setColor(group, QPalette::Base, QColor(QStringLiteral("#f0f0f0")));
    setEditing(false);
}

void SubtitleTagLineEdit::setEditing(bool editing)
{
    m_editing = editing;
    setReadOnly(!editing);
    setPalette(editing ? m_editable : m_readOnly);
}

void SubtitleTagLineEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !m_editing) {
        setEditing(true);
        emit sig_subtitleTagDoubleClicked();
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

// ---- SubtitleTemplateWidget -------------------------------------------------------

SubtitleTemplateWidget::SubtitleTemplateWidget(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("SubtitleTemplateWidget"));
    setWindowTitle(ZTR("subtitletemplatewindow.CreatTemplate"));
    setWindowModality(Qt::ApplicationModal);
    const double s = QssManager::screenScale();
    resize(int(600 * s), int(240 * s));

    m_labelCheck = new QCheckBox(ZTR("subtitletemplatewindow.Label"), this);
    m_labelCheck->setObjectName(QStringLiteral("labelCB"));
    m_label = new SubtitleTagLineEdit(this);
    m_label->setObjectName(QStringLiteral("labelLE"));
    m_label->setMaxLength(30);
    m_label->setPlaceholderText(ZTR("subtitletemplatewindow.LabelTooltip"));
    connect(m_label, &SubtitleTagLineEdit::sig_subtitleTagDoubleClicked, m_labelCheck,
            &QCheckBox::toggle);

    m_fontBox = new QFontComboBox(this);
    m_fontBox->setObjectName(QStringLiteral("fontComboBox"));
    m_fontBox->setMaxVisibleItems(7);
    m_sizeBox = new QComboBox(this);
    m_sizeBox->setObjectName(QStringLiteral("fontSizeBox"));
    m_sizeBox->setEditable(true);
    m_sizeBox->addItems(subtitleFontSizes());
    m_sizeBox->setCurrentText(QStringLiteral("24"));

    auto *styles = new QHBoxLayout;
    const std::pair<const char *, const char *> buttons[] = {
        {"boldBtn", "B"}, {"italicBtn", "I"}, {"underlineBtn", "U"}, {"strikeOutBtn", "S"}};
    for (const auto &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.second), this);
        button->setObjectName(QString::fromLatin1(b.first));
        button->setCheckable(true);
        styles->addWidget(button);
    }
    m_colourButton = new QPushButton(this);
    m_colourButton->setObjectName(QStringLiteral("fontColor"));
    m_colourButton->setFixedSize(int(28 * s), int(22 * s));
    styles->addWidget(m_colourButton);
    styles->addStretch();

    m_preview = new QLabel(ZTR("subtitletemplatewindow.Template"), this);
    m_preview->setObjectName(QStringLiteral("previewLabel"));
    m_create = new QPushButton(ZTR("subtitletemplatewindow.Create"), this);
    m_create->setObjectName(QStringLiteral("createSubtitleTemplate"));
    m_create->setShortcut(QKeySequence(Qt::Key_Return));
    auto *cancel = new QPushButton(ZTR("subtitletemplatewindow.Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelBtn"));

    // Only the label field takes the keyboard focus.
    for (QWidget *w : findChildren<QWidget *>())
        if (w != m_label)
            w->setFocusPolicy(Qt::NoFocus);

    auto *grid = new QGridLayout(this);
    grid->addWidget(m_labelCheck, 0, 0);
    grid->addWidget(m_label, 0, 1, 1, 3);
    grid->addWidget(m_fontBox, 1, 1);
    grid->addWidget(new QLabel(ZTR("subtitletemplatewindow.FontSize"), this), 1, 2);
    grid->addWidget(m_sizeBox, 1, 3);
    grid->addLayout(styles, 2, 1, 1, 3);
    grid->addWidget(new QLabel(ZTR("subtitletemplatewindow.Preview"), this), 3, 0);
    grid->addWidget(m_preview, 3, 1, 1, 3);
    auto *actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(m_create);
    actions->addWidget(cancel);
    grid->addLayout(actions, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    m_font = m_fontBox->currentFont();
    m_font.setPointSize(24);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/subtitletemplate-widget.css"));
    QMetaObject::connectSlotsByName(this);
    applyPreview();
}

void SubtitleTemplateWidget::reset()
{
    m_labelCheck->setChecked(false);
    m_label->clear();
    m_create->setFocus();
}

void SubtitleTemplateWidget::applyPreview()
{
    m_colourButton->setStyleSheet(
        QStringLiteral("#fontColor { background-color: %1;border: 1px solid %2;}#fontColor:hover "
                       "{background-color: %1;border: 1px solid %3;}#fontColor:pressed "
                       "{background-color: %1;border: 1px solid %3;margin-left: 1px;margin-top: "
                       "1px;margin-right: 1px;}")
            .arg(m_colour.name(), m_colour.darker(140).name(), m_colour.darker(170).name()));
    QPalette palette = m_preview->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, m_colour);
    m_preview->setPalette(palette);
    m_preview->setFont(m_font);
}

void SubtitleTemplateWidget::on_labelCB_stateChanged(int state)
{
    if (state == Qt::Checked) {
        if (!m_label->editing())
            m_label->setEditing(true);
    } else {
        m_label->setEditing(false);
    }
}

void SubtitleTemplateWidget::on_fontComboBox_currentFontChanged(const QFont &font)
{
    m_font.setFamily(font.family());
    applyPreview();
}

void SubtitleTemplateWidget::on_fontSizeBox_currentTextChanged(const QString &text)
{
    const int size = text.toInt();
    if (size > 0)
        m_font.setPointSize(size);
    applyPreview();
}

void SubtitleTemplateWidget::on_boldBtn_toggled(bool on)
{
    m_font.setWeight(on ? 75 : 50);
    applyPreview();
}

void SubtitleTemplateWidget::on_italicBtn_toggled(bool on)
{
    m_font.setItalic(on);
    applyPreview();
}

void SubtitleTemplateWidget::on_underlineBtn_toggled(bool on)
{
    m_font.setUnderline(on);
    applyPreview();
}

void SubtitleTemplateWidget::on_strikeOutBtn_toggled(bool on)
{
    m_font.setStrikeOut(on);
    applyPreview();
}

void SubtitleTemplateWidget::on_fontColor_clicked()
{
    const QColor chosen =
        FileDialogs::colour(this, ZTR("subtitletemplatewindow.ChooseColor"), m_colour);
    if (!chosen.isValid())
        return;
    m_colour = chosen;
    applyPreview();
}

void SubtitleTemplateWidget::on_createSubtitleTemplate_clicked()
{
    QString name;
    if (m_labelCheck->isChecked())
        name = xmlText(m_label->text());
    else
        name = ZTR("material_view.SubTitle").arg(g_subtitleNumber++);
    emit sig_createResSubtitle(name, m_font, m_colour);
    hide();
}

void SubtitleTemplateWidget::keyPressEvent(QKeyEvent *event)
{
    // Escape closes it, as it closes a dialog; as a key press, not a window shortcut,
    // so that an open list (the font sizes) takes its Escape first and only closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
