#pragma once
// A push button with a small picture above or beside its text; the picture follows
// the button's state (normal, hover, checked, disabled) and the screen scale.
// Lives on: main thread.

#include <QPixmap>
#include <QPushButton>

class IconTextButton : public QPushButton {
    Q_OBJECT
public:
    explicit IconTextButton(QWidget *parent = nullptr);

    QPixmap normalPixmap, hoverPixmap, checkedPixmap, disabledPixmap;
    int layout = 1; // 1: picture above the text; 0: picture left of the text
    int offsetX = 0;
    int offsetY = 0;

    // Where the picture is drawn, and which one, for the current state.
    QRect pictureRect() const;
    const QPixmap &currentPixmap() const;
    // Screen scale used for the picture (the primary screen's unless set).
    void setScale(double scale) { m_scale = scale; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double scale() const;
    double m_scale = 0;
};
