#pragma once
// Draws a transition over the whole scene: each side is first drawn off-screen by
// its TransFilter (placement, rotation, colour controls), then the two results are
// blended by the transition's program.
// Lives on: pending results are set by a video item's decode thread under the
// mutex; prepare/draw and the filters run on the render thread.

#include "PreviewItem.h"

#include "graphics/GsFilter.h"

#include <mutex>

#include <memory>

class GsConstantBuffer;
class GsTexture;

class TransFilter : public GsFilter {
public:
    // An image of `width` × `height` pixels of a scene of `units` size.
    TransFilter(int width, int height, const gs_vec2 &units);
    ~TransFilter() override;
    // What to draw: a texture at a transform with the six colour controls (no
    // texture: nothing).
    // `opaque`: the picture has no transparent pixel.
    void set(GsTexture *texture, const gs_transform &transform, const float colour[6], bool opaque);

protected:
    void Render() override;
    bool Wanted() const override { return m_changed; }

private:
    GsTexture *m_texture = nullptr;
    bool m_opaque = false;
    bool m_changed = false; // set since the last pass
    gs_transform m_transform;
    gs_vec2 m_units;
    float m_colour[6] = {0, 0, 0, 0, 0, 0};
    std::unique_ptr<GsConstantBuffer> m_constants;
};

class TransPreviewItem : public PreviewItem {
public:
    // Above everything until the first frame places it at its track's order.
    static constexpr int32_t kOrder = 5000000;
    TransPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight);
    ~TransPreviewItem() override;

    // The transition shown from the next tick on (any thread).
    void setPending(const RenderParam &result);

    void prepare() override;
    void draw() override;

private:
    void prepareSide(const VFrameInfo &slot, std::unique_ptr<GsTexture> &texture,
                     std::unique_ptr<TransFilter> &filter);

    uint32_t m_width, m_height;
    std::mutex m_mutex;
    RenderParam m_pending;
    bool m_hasPending = false;
    bool m_sidesStale = false; // m_current's sides not yet uploaded
    RenderParam m_current;
    std::unique_ptr<GsTexture> m_fromTexture, m_toTexture;
    std::unique_ptr<TransFilter> m_fromFilter, m_toFilter;
    std::unique_ptr<GsConstantBuffer> m_constants;
};

// Uploads the crop rectangle of a decoded frame into `texture`, without copying the
// frame on the CPU (the upload reads the frame's rows from the crop's first pixel).
// The texture is reused when the size is unchanged, else made anew; it is reset
// when there is nothing to show.
void uploadCrop(const VFrameInfo &slot, std::unique_ptr<GsTexture> &texture);
