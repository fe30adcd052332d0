#pragma once
// A drawable of a scene: position (its centre, scene coordinates), size, order
// value, and the two operations a subclass implements.
// Lives on: geometry is set on the main thread, Tick and Draw run on the render
// thread under the scene's mutex.

#include "GsTypes.h"

class GsScene;

class GsItem : public RefCountInterface {
public:
    gs_vec2 pos() const { return m_pos; }
    gs_vec2 size() const { return m_size; }
    gs_vec2 baseSize() const { return m_baseSize; }
    void MoveTo(float x, float y) { m_pos = {x, y}; }
    void Resize(float width, float height) { m_size = {width, height}; }
    void SetBaseSize(float width, float height) { m_baseSize = {width, height}; }
    int32_t order() const { return m_order; }
    void SetOrder(int32_t order) { m_order = order; }
    GsScene *scene() const { return m_scene; }

    // Per-tick update (prepare textures); called by GsDevice::TickSource.
    virtual void Tick() {}
    // Draws into the current target; called while the scene renders.
    virtual void Draw() {}

protected:
    GsItem() = default;
    ~GsItem() override = default;

private:
    friend class GsScene;
    gs_vec2 m_pos;
    gs_vec2 m_size;
    gs_vec2 m_baseSize;
    int32_t m_order = 0;
    GsScene *m_scene = nullptr;
};
