#include "SubtitleMenu.h"

#include "common/FileDialogs.h"
#include "common/FontSizes.h"
#include "common/QssManager.h"
#include "common/Translate.h"
#include "common/XmlText.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFar = 999999999;

QPushButton *styleButton(const char *name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setCheckable(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

using menu::spinBox;

SubtitleMenu::SubtitleMenu(QWidget *parent) : AbstractMenu(parent)
{
    setObjectName(QStringLiteral("SubtitleMenu"));
    setFocusPolicy(Qt::StrongFocus);
    auto *tabs = new QHBoxLayout;
    auto *param = new QPushButton(ZTR("subtitle_source_menu.param"), this);
    param->setObjectName(QStringLiteral("pushButton_edit"));
    param->setCheckable(true);
    param->setChecked(true);
    tabs->addWidget(param);
    for (const char *hidden : {"pushButton_hidden1", "pushButton_hidden2"}) {
        auto *tab = new QPushButton(this);
        tab->setObjectName(QString::fromLatin1(hidden));
        tab->hide();
        tabs->addWidget(tab);
    }
    tabs->addStretch();

    QScrollArea *scroll = nullptr;
    QWidget *page = menu::scrollingPage(this, &scroll);
    auto *grid = new QGridLayout(page);
    int row = 0;
    auto label = [page](const char *key) {
        return new QLabel(zuaTranslate(QStringLiteral("subtitle_source_menu.") + key), page);
    };

    m_text = new QPlainTextEdit(page);
    m_text->setObjectName(QStringLiteral("subtitleTextEdit"));
    m_text->setFixedHeight(72);
    grid->addWidget(m_text, row++, 0, 1, 4);

    m_x = spinBox(QStringLiteral("subtitleX"), -kFar, kFar, page);
    m_y = spinBox(QStringLiteral("subtitleY"), -kFar, kFar, page);
    m_width = spinBox(QStringLiteral("subtitleWidth"), 0, kFar, page);
    m_height = spinBox(QStringLiteral("subtitleHeight"), 0, kFar, page);
    grid->addWidget(label("Pos"), row, 0);
    grid->addWidget(new QLabel(QStringLiteral("X"), page), row, 1);
    grid->addWidget(m_x, row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Y"), page), row, 1);
    grid->addWidget(m_y, row++, 2);
    grid->addWidget(label("FileSize"), row, 0);
    grid->addWidget(label("Width"), row, 1);
    grid->addWidget(m_width, row++, 2);
    grid->addWidget(label("Height"), row, 1);
    grid->addWidget(m_height, row++, 2);

    m_font = new QFontComboBox(page);
    m_font->setObjectName(QStringLiteral("font"));
    m_font->setEditable(false);
    m_font->setCurrentFont(QFont(QStringLiteral("Microsoft YaHei UI")));
    grid->addWidget(label("Font"), row, 0);
    grid->addWidget(m_font, row++, 1, 1, 3);
    m_size = new QComboBox(page);
    m_size->setObjectName(QStringLiteral("fontSize"));
    m_size->setEditable(false);
    m_size->setMaxVisibleItems(6);
    m_size->addItems(subtitleFontSizes());
    grid->addWidget(label("FontSize"), row, 0);
    grid->addWidget(m_size, row++, 1, 1, 2);

    m_colourButton = new QPushButton(page);
    m_colourButton->setObjectName(QStringLiteral("colorBtn"));
    m_colourButton->setFixedSize(28, 20);
    grid->addWidget(label("color"), row, 0);
    grid->addWidget(m_colourButton, row++, 1);
    m_transparency = spinBox(QStringLiteral("subtitleTransparency"), 0, 255, page);
    grid->addWidget(label("Transparent"), row, 0);
    grid->addWidget(m_transparency, row++, 1, 1, 2);

    auto *styles = new QHBoxLayout;
    m_bold = styleButton("bold", page);
    m_italic = styleButton("italic", page);
    m_underline = styleButton("underline", page);
    m_strikeOut = styleButton("strikeOut", page);
    for (QPushButton *b : {m_bold, m_italic, m_underline, m_strikeOut})
        styles->addWidget(b);
    styles->addStretch();
    grid->addLayout(styles, row++, 0, 1, 4);
    m_angle = spinBox(QStringLiteral("subtitleAngle"), -360, 360, page);
    grid->addWidget(label("rorate"), row, 0);
    grid->addWidget(m_angle, row++, 1, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(3, 1);
    scroll->setWidget(page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(tabs);
    layout->addWidget(scroll, 1);
    paintColourButton();
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/subtitle-menu.css"));
    QMetaObject::connectSlotsByName(this);
    passUndoKeys();
}

void SubtitleMenu::paintColourButton()
{
    m_colourButton->setStyleSheet(
        QStringLiteral("QPushButton {background-color: %1; border: 0px;}").arg(m_colour.name()));
}

void SubtitleMenu::UpdateData(bg::ValueMap map)
{
    using menu::get;
    QFont font;
    if (!font.fromString(QString::fromStdString(get(map, "font").toStdString())))
        font = QFont(); // the application's default for a description that does not parse
    const QList<QWidget *> controls{m_x,    m_y,         m_width,       m_height, m_angle,
                                    m_font, m_size,      m_bold,        m_italic, m_underline,
                                    m_text, m_strikeOut, m_transparency};
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QWidget *w : controls)
        quiet.push_back(std::make_unique<QSignalBlocker>(w));
    m_x->setValue(menu::truncated(get(map, "X"), m_x));
    m_y->setValue(menu::truncated(get(map, "Y"), m_y));
    m_width->setValue(menu::truncated(get(map, "W"), m_width));
    m_height->setValue(menu::truncated(get(map, "H"), m_height));
    m_angle->setValue(get(map, "rotate").toInt32());
    m_transparency->setValue(get(map, "transparent").toInt32(255));
    m_font->setCurrentFont(font);
    showSize(font.pointSize());
    m_bold->setChecked(font.weight() >= 58);
    m_italic->setChecked(font.style() != QFont::StyleNormal);
    m_underline->setChecked(font.underline());
    m_strikeOut->setChecked(font.strikeOut());
    m_colour = QColor(QString::fromStdString(get(map, "color").toStdString()));
    paintColourButton();
    showText(QString::fromStdString(get(map, "content").toStdString()));
}

void SubtitleMenu::showText(const QString &content)
{
    const QString shown = m_text->toPlainText();
    if (shown == content)
        return;
    // The caret goes to the end of what changed (an undone word: where it was), not
    // to the start of the text.
    int same = 0;
    while (same < shown.size() && same < content.size() && shown[same] == content[same])
        ++same;
    int tail = 0;
    while (tail < shown.size() - same && tail < content.size() - same &&
           shown[shown.size() - 1 - tail] == content[content.size() - 1 - tail])
        ++tail;
    m_text->setPlainText(content);
    QTextCursor cursor = m_text->textCursor();
    cursor.setPosition(content.size() - tail);
    m_text->setTextCursor(cursor);
}

void SubtitleMenu::showSize(int points)
{
    // A size that is not in the list (an older project's) is shown as an entry of
    // its own, in order, for as long as that clip's panel is shown.
    for (int i = m_size->count() - 1; i >= 0; --i)
        if (m_size->itemData(i).toBool())
            m_size->removeItem(i);
    if (points <= 0)
        return;
    const QString text = QString::number(points);
    int at = m_size->findText(text);
    if (at < 0) {
        at = 0;
        while (at < m_size->count() && m_size->itemText(at).toInt() < points)
            ++at;
        m_size->insertItem(at, text, true);
    }
    m_size->setCurrentIndex(at);
}

QFont SubtitleMenu::chosenFont() const
{
    QFont font = m_font->currentFont();
    font.setPointSize(std::max(1, m_size->currentText().toInt()));
    font.setWeight(m_bold->isChecked() ? 75 : 50);
    font.setItalic(m_italic->isChecked());
    font.setUnderline(m_underline->isChecked());
    font.setStrikeOut(m_strikeOut->isChecked());
    return font;
}

void SubtitleMenu::send(const std::string &key)
{
    bg::ValueMap map;
    map["X"] = bg::Value(double(m_x->value()));
    map["Y"] = bg::Value(double(m_y->value()));
    map["W"] = bg::Value(double(m_width->value()));
    map["H"] = bg::Value(double(m_height->value()));
    map["rotate"] = bg::Value(int32_t(m_angle->value()));
    map["transparent"] = bg::Value(int32_t(m_transparency->value()));
    map["font"] = bg::Value(chosenFont().toString().toStdString());
    map["color"] = bg::Value(m_colour.name().toStdString());
    map["content"] = bg::Value(m_text->toPlainText().toStdString());
    emit sig_updateData(MENU_SUBTITLE, map, key);
}

void SubtitleMenu::on_subtitleTextEdit_textChanged()
{
    // A pasted control character (a vertical tab from a word processor) is dropped
    // where it lands, so the text shown is the text saved.
    const QString typed = m_text->toPlainText();
    const QString kept = xmlText(typed);
    if (kept != typed) {
        QTextCursor cursor = m_text->textCursor();
        const int caret = cursor.position() - (typed.size() - kept.size());
        {
            const QSignalBlocker quiet(m_text);
            m_text->setPlainText(kept);
        }
        cursor = m_text->textCursor();
        cursor.setPosition(std::max(0, std::min(caret, int(kept.size()))));
        m_text->setTextCursor(cursor);
    }
    send("content");
}

void SubtitleMenu::on_colorBtn_clicked()
{
    const QColor chosen =
        FileDialogs::colour(this, ZTR("subtitletemplatewindow.ChooseColor"), m_colour);
    if (!chosen.isValid())
        return;
    m_colour = chosen;
    paintColourButton();
    send("color");
}
