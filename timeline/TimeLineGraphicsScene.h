#pragma once
// The timeline's graphics scene: holds the clip and transition items and carries
// their requests to the rest of the editor (property panels, playhead).
// Lives on: main thread.

#include "bridge/Value.h"

#include <QGraphicsScene>

Q_DECLARE_METATYPE(bg::ValueMap)

// Which property panel to show; also the panel's page.
enum MenuType : int {
    MENU_PICTURE = 0,
    MENU_VIDEO = 1,
    MENU_DUB = 2,
    MENU_SUBTITLE = 3,
    MENU_MUSIC = 4,
    MENU_TRANSITION = 5,
    MENU_CROP = 6,
};

class TimeLineGraphicsScene : public QGraphicsScene {
    Q_OBJECT
public:
    explicit TimeLineGraphicsScene(QObject *parent = nullptr);

    // A clip or transition asks for its property panel.
    void showMenu(int menuType, int clicks, const bg::ValueMap &values);
    // A click asks the playhead to go to a frame (edit kind 0, from a user action).
    void seek(int64_t frame);

signals:
    void sig_showMenu(int menuType, int clicks, const bg::ValueMap &values);
    void sig_seek(int64_t frame, int editType, bool operate);
};
