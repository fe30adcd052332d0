#pragma once
// The scene of the material library's tiles, with the current filter mask.
// Lives on: main thread.

#include "MaterialTypes.h"

#include <QGraphicsScene>

class MaterialScene : public QGraphicsScene {
public:
    using QGraphicsScene::QGraphicsScene;
    int32_t mask() const { return m_mask; }
    void setMask(int32_t mask) { m_mask = mask; }

private:
    int32_t m_mask = MT_All;
};
