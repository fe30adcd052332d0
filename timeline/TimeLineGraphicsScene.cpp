#include "TimeLineGraphicsScene.h"

TimeLineGraphicsScene::TimeLineGraphicsScene(QObject *parent) : QGraphicsScene(parent)
{
    qRegisterMetaType<bg::ValueMap>("bg::ValueMap");
    qRegisterMetaType<int64_t>("int64_t");
}

void TimeLineGraphicsScene::showMenu(int menuType, int clicks, const bg::ValueMap &values)
{
    emit sig_showMenu(menuType, clicks, values);
}

void TimeLineGraphicsScene::seek(int64_t frame)
{
    emit sig_seek(frame, 0, true);
}
