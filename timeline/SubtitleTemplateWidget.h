#pragma once
// The window that makes subtitle templates: a label (or a numbered name), a font
// and a colour, shown on a preview; Create adds the template to the material
// library. The tool bar owns one and shows it again and again; its font and colour
// persist between showings.
// Lives on: main thread.

#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QPushButton;

// The label field: read-only until double-clicked (or its check box checked).
class SubtitleTagLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit SubtitleTagLineEdit(QWidget *parent = nullptr);
    void setEditing(bool editing);
    bool editing() const { return m_editing; }

signals:
    void sig_subtitleTagDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QPalette m_readOnly, m_editable;
    bool m_editing = false;
};

class SubtitleTemplateWidget : public QWidget {
    Q_OBJECT
public:
    explicit SubtitleTemplateWidget(QWidget *parent = nullptr);
    // Before each showing: no label, the focus on Create; font and colour stay.
    void reset();
    QFont font() const { return m_font; }
    QColor colour() const { return m_colour; }

signals:
    void sig_createResSubtitle(const QString &name, const QFont &font, const QColor &color);

public slots:
    void on_labelCB_stateChanged(int state);
    void on_fontComboBox_currentFontChanged(const QFont &font);
    void on_fontSizeBox_currentTextChanged(const QString &text);
    void on_boldBtn_toggled(bool on);
    void on_italicBtn_toggled(bool on);
    void on_underlineBtn_toggled(bool on);
    void on_strikeOutBtn_toggled(bool on);
    void on_fontColor_clicked();
    void on_cancelBtn_clicked() { hide(); }
    void on_createSubtitleTemplate_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyPreview();

    QCheckBox *m_labelCheck;
    SubtitleTagLineEdit *m_label;
    QFontComboBox *m_fontBox;
    QComboBox *m_sizeBox;
    QPushButton *m_colourButton, *m_create;
    QLabel *m_preview;
    QColor m_colour{QStringLiteral("#ff00ff")};
    QFont m_font;
};
