#pragma once
// GPU textures, their binding to slots, and constant buffers of the pixel stage.
// Lives on: the thread the device is current on; a texture or buffer destroyed
// elsewhere is freed at the device's next pass.

#include "GsTypes.h"

#include <cstddef>

class GsTexture {
public:
    // 32-bit RGBA pixels, rows `stride` bytes apart; null pixels leave it undefined.
    GsTexture(const uint8_t *pixels, int stride, GsFormat format, int width, int height);
    ~GsTexture();
    GsTexture(const GsTexture &) = delete;
    GsTexture &operator=(const GsTexture &) = delete;

    // Uploads new pixels; the storage is reused when the size is unchanged. A
    // sub-rectangle of a larger picture is uploaded by passing its first pixel and
    // the picture's stride.
    bool Update(const uint8_t *pixels, int stride, int width, int height);
    int width() const { return m_width; }
    int height() const { return m_height; }
    unsigned int name() const { return m_name; }
    // How a draw samples it, set on the texture bound on the active slot:
    // Exact takes the nearest texel, for draws that map texels 1:1 onto pixels (the
    // same picture as smooth sampling there, and much cheaper in software
    // rendering); Smooth interpolates; Minified, for pictures drawn much smaller
    // than they are, averages from reduced copies made once per upload, so that
    // fine detail does not turn into noise.
    enum class Sampling { Smooth, Exact, Minified };
    void SetSampling(Sampling sampling);
    void SetExactSampling(bool exact) { SetSampling(exact ? Sampling::Exact : Sampling::Smooth); }
    bool isValid() const { return m_name != 0; }

private:
    unsigned int m_name = 0;
    int m_width = 0;
    int m_height = 0;
    Sampling m_sampling = Sampling::Smooth;
    bool m_reducedStale = true; // the reduced copies predate the last upload
};

// Binds up to four textures to slots 0.. while it lives.
class GsTextureBinder {
public:
    explicit GsTextureBinder(GsTexture *t0, GsTexture *t1 = nullptr, GsTexture *t2 = nullptr,
                             GsTexture *t3 = nullptr);
    ~GsTextureBinder();

private:
    int m_count = 0;
};

// Constants of the pixel stage (a std140 uniform block bound to slot 0).
class GsConstantBuffer {
public:
    explicit GsConstantBuffer(size_t bytes);
    ~GsConstantBuffer();
    GsConstantBuffer(const GsConstantBuffer &) = delete;
    GsConstantBuffer &operator=(const GsConstantBuffer &) = delete;
    void Update(const void *data, size_t bytes);
    void Bind();
    size_t size() const { return m_size; }

private:
    unsigned int m_name = 0;
    size_t m_size;
};

// Drawing operations on the current target.
class GsContextDefault {
public:
    static void SetViewport(int x, int y, int width, int height);
    static bool BindShader(const char *name);
    // Draws one textured quad through the bound program. The transform is in
    // pixels with the origin at the centre of a viewport of `viewportSize`, y down.
    // With `sampled` (the texture bound on slot 0), a draw that maps its texels 1:1
    // onto whole pixels samples the nearest texel.
    static void DrawRect(const gs_transform &transform, const gs_vec2 &viewportSize,
                         GsTexture *sampled = nullptr);
    static void UnbindShader();
    // Clears the current target to a colour.
    static void Clear(float r, float g, float b, float a);
    // Alpha blending is on while a scene or filter draws; an opaque draw may switch
    // it off for itself (and must switch it back on), which saves much work in
    // software rendering.
    static void SetBlending(bool on);
};
