#pragma once
// A drawable of a scene: position (its centre, scene coordinates), size, order
// value, and the two operations a subclass implements.
// Lives on: geometry is set on the main thread (or the export thread), Tick and
// Draw run on the render thread under the scene's mutex.

#include "GsTypes.h"

#include <atomic>

class GsScene;
class GsTexture;

class GsItem : public RefCountInterface {
public:
    // Geometry is written by whoever places the item (the main thread, or the export
    // thread in export mode) while the render thread draws it: every access goes
    // through the item's small lock, and `transform()` gives one consistent copy.
    gs_vec2 pos() const;
    gs_vec2 size() const;
    float rotation() const; // radians, about the centre
    gs_transform transform() const;
    void MoveTo(float x, float y);
    void Resize(float width, float height);
    void SetRotation(float radians);
    gs_vec2 baseSize() const;
    void SetBaseSize(float width, float height);
    int32_t order() const { return m_order.load(std::memory_order_relaxed); }
    void SetOrder(int32_t order) { m_order.store(order, std::memory_order_relaxed); }
    GsScene *scene() const { return m_scene; }

    // Per-tick update (prepare textures); called by GsDevice::TickSource.
    virtual void Tick() {}
    // Draws into the current target; called while the scene renders.
    virtual void Draw() {}
    // The bottom item of a scene may instead write its pixels straight into the
    // scene's image when they cover it exactly, texel for pixel, all opaque: a copy
    // in place of a clear and a full-frame draw. Returns whether it did.
    virtual bool FillTarget(GsTexture *) { return false; }

protected:
    GsItem() = default;
    ~GsItem() override = default;

private:
    friend class GsScene;
    mutable std::mutex m_geometryMutex;
    gs_transform m_transform;
    gs_vec2 m_baseSize;
    // Set on the main thread (the scene sorts by it under its mutex); the player
    // thread compares it with what it plays.
    std::atomic<int32_t> m_order{0};
    GsScene *m_scene = nullptr;
};
