#pragma once
// Off-screen passes and raw frame outputs.
// Lives on: created and attached anywhere; passes run on the device's thread.

#include "GsTypes.h"

#include <cstddef>

class GsScene;
class GsTexture;

// An off-screen render target of a fixed size whose result is a texture. While
// attached, the device's filter pass binds it and calls Render().
class GsFilter {
public:
    GsFilter(int width, int height);
    virtual ~GsFilter();
    void Attach();
    void Detach();
    GsTexture *texture() const;
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Runs the pass now (the device does this for attached filters) when it is
    // wanted; otherwise the texture keeps the last result.
    void RunPass();

protected:
    // Whether the pass has something new to draw; every pass by default.
    virtual bool Wanted() const { return true; }
    // Draws into the target; the viewport covers it and it starts cleared.
    virtual void Render() = 0;

private:
    int m_width;
    int m_height;
    struct Target;
    Target *m_target = nullptr;
};

// Hands each rendered frame of a scene to OnFrame as pixels, in order: on a GPU
// read back asynchronously (a frame arrives one pass after it was drawn; Flush()
// delivers the one still in flight), on a software rasteriser at once. Holds a
// reference on its scene, so the scene outlives a reader such as an export.
class GsOutputRaw {
public:
    GsOutputRaw(GsScene *scene, int width, int height, GsFormat format);
    virtual ~GsOutputRaw();
    void Attach();
    void Detach();
    void Flush();
    GsScene *scene() const { return m_scene; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Called by the device after the scene rendered.
    void Capture(int64_t timestampNs);

protected:
    // Rows are top first, `stride` bytes apart; `bytes` = stride × height.
    virtual void OnFrame(const uint8_t *pixels, size_t bytes, int stride, int64_t timestampNs) = 0;
    // Where a frame read straight into memory (software rasteriser) goes: a buffer of
    // at least `bytes` the subclass hands to OnFrame's receiver without copying it;
    // null reads into a buffer of the output's own.
    virtual uint8_t *FrameBuffer(size_t bytes)
    {
        (void)bytes;
        return nullptr;
    }

private:
    GsScene *m_scene;
    int m_width;
    int m_height;
    struct Readback;
    Readback *m_readback = nullptr;
};
