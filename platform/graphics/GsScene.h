#pragma once
// A fixed-size canvas of drawable items, drawn in ascending order value.
// Lives on: created anywhere; items are added, removed and re-ordered on the main
// thread while the render thread ticks and draws; the scene's mutex serialises them.

#include "GsTypes.h"

#include <atomic>
#include <vector>

class GsItem;
class GsTexture;

class GsScene : public RefCountInterface {
public:
    GsScene(uint32_t width, uint32_t height);

    // The scene's own size: the units items are placed in.
    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    // The size of the image the scene is drawn into, in pixels: its own size
    // unless the device chose a smaller one for the views (set on the render thread,
    // read anywhere: decoders size their pictures by it).
    void SetRenderSize(uint32_t width, uint32_t height);
    uint32_t renderWidth() const { return m_renderWidth.load(std::memory_order_relaxed); }
    uint32_t renderHeight() const { return m_renderHeight.load(std::memory_order_relaxed); }

    void AddItem(GsItem *item);    // takes a reference
    void RemoveItem(GsItem *item); // drops it
    void OrderItem();              // re-sorts by the items' order values
    using EnumCallback = bool (*)(GsItem *item, void *context);
    void EnumItems(EnumCallback callback, void *context);
    size_t itemCount();

    // Render thread: per-tick update of every item, then drawing into the scene's
    // image. `Render` returns false when nothing could be drawn.
    void Tick();
    bool Render();
    // What Render() clears to before drawing (opaque black by default).
    void SetClearColor(float r, float g, float b, float a);
    // The last rendered image (null before the first render).
    GsTexture *texture() const;
    // Framebuffer holding that image (0 before the first render); read by raw outputs.
    unsigned int framebuffer() const;

    MCMutex &mutex() { return m_mutex; }

protected:
    ~GsScene() override;

private:
    uint32_t m_width;
    uint32_t m_height;
    std::atomic<uint32_t> m_renderWidth;
    std::atomic<uint32_t> m_renderHeight;
    MCMutex m_mutex;
    std::vector<GsItem *> m_items;
    float m_clear[4] = {0, 0, 0, 1};
    struct Target;
    Target *m_target = nullptr;
};
