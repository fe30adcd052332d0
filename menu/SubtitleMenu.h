#pragma once
// The subtitle clip's panel: text, placement, size, turn, transparency, font and
// colour. Each edit is one undo step of the clip; every keystroke in the text is one.
// Lives on: main thread.

#include "AbstractMenu.h"

#include <QColor>
#include <QFont>

class QComboBox;
class QFontComboBox;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class SubtitleMenu : public AbstractMenu {
    Q_OBJECT
public:
    explicit SubtitleMenu(QWidget *parent = nullptr);
    void UpdateData(bg::ValueMap map) override;
    // The font the controls describe (family, point size, weight and styles).
    QFont chosenFont() const;

signals:
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);

public slots:
    void on_subtitleX_editingFinished() { send("X"); }
    void on_subtitleY_editingFinished() { send("Y"); }
    void on_subtitleWidth_editingFinished() { send("W"); }
    void on_subtitleHeight_editingFinished() { send("H"); }
    void on_subtitleAngle_editingFinished() { send("rotate"); }
    void on_subtitleTransparency_editingFinished() { send("transparent"); }
    void on_font_currentFontChanged(const QFont &) { send("font"); }
    void on_fontSize_currentTextChanged(const QString &) { send("font"); }
    void on_subtitleTextEdit_textChanged();
    void on_italic_toggled(bool) { send("font"); }
    void on_underline_toggled(bool) { send("font"); }
    void on_bold_toggled(bool) { send("font"); }
    void on_strikeOut_toggled(bool) { send("font"); }
    void on_colorBtn_clicked();

private:
    void send(const std::string &key);
    void showSize(int points);
    void showText(const QString &content);
    void paintColourButton();

    QSpinBox *m_x, *m_y, *m_width, *m_height, *m_angle, *m_transparency;
    QFontComboBox *m_font;
    QComboBox *m_size;
    QPushButton *m_bold, *m_italic, *m_underline, *m_strikeOut, *m_colourButton;
    QPlainTextEdit *m_text;
    QColor m_colour; // invalid until a clip fills the panel
};
