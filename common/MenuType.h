#pragma once
// Which property panel a clip or transition opens; the value is also the panel's
// page in the resource widget's panel stack.

enum MenuType : int {
    MENU_PICTURE = 0,
    MENU_VIDEO = 1,
    MENU_DUB = 2,
    MENU_SUBTITLE = 3,
    MENU_MUSIC = 4,
    MENU_TRANSITION = 5,
    MENU_CROP = 6,
};
