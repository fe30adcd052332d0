#pragma once
// A crop page of its own: the crop editor with a return button and the two
// stretch choices. Nothing in the editor opens it today; it edits the same keys as
// the crop page of the video and picture panels.
// Lives on: main thread.

#include "AbstractMenu.h"

#include <QRect>

class CropView;
class QRadioButton;

class CropMenu : public AbstractMenu {
    Q_OBJECT
public:
    explicit CropMenu(QWidget *parent = nullptr);
    void UpdateData(bg::ValueMap map) override;

signals:
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);
    // The return button.
    void sig_back();

private:
    void send(const std::string &key);

    CropView *m_crop;
    QRadioButton *m_aspect, *m_fill;
    QRect m_rect;
};
