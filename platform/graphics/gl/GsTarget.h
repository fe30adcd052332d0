#pragma once
// Internal: an off-screen colour target (texture + framebuffer) of a fixed size.

#include "../GsTexture.h"

#include <memory>

namespace gsdetail {

class Target {
public:
    Target(int width, int height);
    ~Target();
    bool isValid() const { return m_framebuffer != 0 && m_texture && m_texture->isValid(); }
    // Binds it for drawing with the viewport covering it; returns the previous binding.
    int bind();
    static void restore(int previous);
    unsigned int framebuffer() const { return m_framebuffer; }
    GsTexture *texture() const { return m_texture.get(); }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width;
    int m_height;
    std::unique_ptr<GsTexture> m_texture;
    unsigned int m_framebuffer = 0;
};

} // namespace gsdetail
