#include "GsTexture.h"

#include "gl/GsDeviceImpl.h"
#include "gl/GsTarget.h"

#include <QMatrix4x4>

#include <algorithm>
#include <cmath>

using gsdetail::gl;

// ---- GsTexture -------------------------------------------------------------

GsTexture::GsTexture(const uint8_t *pixels, int stride, GsFormat format, int width, int height)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f || format != GS_RGBA || width <= 0 || height <= 0)
        return;
    f->glGenTextures(1, &m_name);
    f->glBindTexture(GL_TEXTURE_2D, m_name);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    Update(pixels, stride, width, height);
}

GsTexture::~GsTexture()
{
    if (m_name)
        gsdetail::release(
            [name = m_name](QOpenGLExtraFunctions *f) { f->glDeleteTextures(1, &name); });
}

bool GsTexture::Update(const uint8_t *pixels, int stride, int width, int height)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f || !m_name || width <= 0 || height <= 0)
        return false;
    f->glBindTexture(GL_TEXTURE_2D, m_name);
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, stride > 0 ? stride / 4 : 0);
    if (width == m_width && height == m_height && pixels) {
        f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                           pixels);
    } else if (width != m_width || height != m_height) {
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                        pixels);
        m_width = width;
        m_height = height;
    }
    f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    m_reducedStale = true;
    return true;
}

void GsTexture::SetSampling(Sampling sampling)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f || !m_name)
        return;
    const bool makeReduced = sampling == Sampling::Minified && m_reducedStale;
    if (!makeReduced && sampling == m_sampling)
        return;
    f->glBindTexture(GL_TEXTURE_2D, m_name);
    if (makeReduced) {
        f->glGenerateMipmap(GL_TEXTURE_2D);
        m_reducedStale = false;
    }
    if (sampling == m_sampling)
        return;
    m_sampling = sampling;
    const GLint magnify = sampling == Sampling::Exact ? GL_NEAREST : GL_LINEAR;
    const GLint minify = sampling == Sampling::Exact      ? GL_NEAREST
                         : sampling == Sampling::Minified ? GL_LINEAR_MIPMAP_LINEAR
                                                          : GL_LINEAR;
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minify);
    f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnify);
}

// ---- GsTextureBinder ---------------------------------------------------------

GsTextureBinder::GsTextureBinder(GsTexture *t0, GsTexture *t1, GsTexture *t2, GsTexture *t3)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f)
        return;
    GsTexture *all[4] = {t0, t1, t2, t3};
    for (int i = 0; i < 4; ++i) {
        if (!all[i])
            continue; // an absent texture leaves its slot empty
        f->glActiveTexture(GLenum(GL_TEXTURE0 + i));
        f->glBindTexture(GL_TEXTURE_2D, all[i]->name());
        m_count = i + 1;
    }
    f->glActiveTexture(GL_TEXTURE0);
}

GsTextureBinder::~GsTextureBinder()
{
    QOpenGLExtraFunctions *f = gl();
    if (!f)
        return;
    for (int i = m_count - 1; i >= 0; --i) {
        f->glActiveTexture(GLenum(GL_TEXTURE0 + i));
        f->glBindTexture(GL_TEXTURE_2D, 0);
    }
}

// ---- GsConstantBuffer --------------------------------------------------------

GsConstantBuffer::GsConstantBuffer(size_t bytes) : m_size(bytes)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f)
        return;
    f->glGenBuffers(1, &m_name);
    f->glBindBuffer(GL_UNIFORM_BUFFER, m_name);
    f->glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(bytes), nullptr, GL_DYNAMIC_DRAW);
    f->glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

GsConstantBuffer::~GsConstantBuffer()
{
    if (m_name)
        gsdetail::release(
            [name = m_name](QOpenGLExtraFunctions *f) { f->glDeleteBuffers(1, &name); });
}

void GsConstantBuffer::Update(const void *data, size_t bytes)
{
    QOpenGLExtraFunctions *f = gl();
    if (!f || !m_name || !data)
        return;
    f->glBindBuffer(GL_UNIFORM_BUFFER, m_name);
    f->glBufferSubData(GL_UNIFORM_BUFFER, 0, GLsizeiptr(std::min(bytes, m_size)), data);
    f->glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

void GsConstantBuffer::Bind()
{
    if (QOpenGLExtraFunctions *f = gl())
        f->glBindBufferBase(GL_UNIFORM_BUFFER, 0, m_name);
}

// ---- GsContextDefault ----------------------------------------------------------

void GsContextDefault::SetViewport(int x, int y, int width, int height)
{
    if (QOpenGLExtraFunctions *f = gl())
        f->glViewport(x, y, width, height);
}

bool GsContextDefault::BindShader(const char *name)
{
    GsDevice::Impl *d = gsdetail::device();
    if (!d || !name)
        return false;
    auto it = d->programs.find(name);
    if (it == d->programs.end())
        return false;
    it->second->bind();
    d->bound = it->second.get();
    return true;
}

namespace {

bool wholePixel(float v)
{
    return std::abs(v - std::round(v)) < 1e-3f;
}

// How to sample a texture drawn at `t`. `units` is the drawing's coordinate size,
// `pixels` the target's (they differ when a scene is drawn smaller than its own
// size). Exact: unturned, texel for pixel, with its corner on a pixel corner.
GsTexture::Sampling samplingFor(const gs_transform &t, const gs_vec2 &units, const gs_vec2 &pixels,
                                const GsTexture &texture, bool softwareRaster)
{
    const float sx = pixels.x / units.x, sy = pixels.y / units.y;
    const float w = t.width * sx, h = t.height * sy;
    if (t.rotation == 0 && std::abs(w - float(texture.width())) < 1e-3f &&
        std::abs(h - float(texture.height())) < 1e-3f &&
        wholePixel(pixels.x / 2 + t.x * sx - w / 2) && wholePixel(pixels.y / 2 + t.y * sy - h / 2))
        return GsTexture::Sampling::Exact;
    // More than two texels to a pixel: smooth sampling would skip texels and show
    // their detail as noise (up to two it still averages every texel). A software
    // rasteriser would spend more on the reduced copies than the preview gains,
    // so it samples smoothly, as a view scaling the scene down always did.
    const float across = std::max(float(texture.width()) / std::max(w, 1e-3f),
                                  float(texture.height()) / std::max(h, 1e-3f));
    return across > 2.05f && !softwareRaster ? GsTexture::Sampling::Minified
                                             : GsTexture::Sampling::Smooth;
}

} // namespace

void GsContextDefault::DrawRect(const gs_transform &t, const gs_vec2 &viewport, GsTexture *sampled)
{
    GsDevice::Impl *d = gsdetail::device();
    QOpenGLExtraFunctions *f = gl();
    if (!d || !f || !d->bound || viewport.x <= 0 || viewport.y <= 0)
        return;
    if (sampled) {
        GLint box[4] = {0, 0, 0, 0};
        f->glGetIntegerv(GL_VIEWPORT, box);
        sampled->SetSampling(box[2] > 0 && box[3] > 0
                                 ? samplingFor(t, viewport, {float(box[2]), float(box[3])},
                                               *sampled, d->softwareRaster)
                                 : GsTexture::Sampling::Smooth);
    }
    // Unit quad → scaled → rotated about its centre → moved → normalised device
    // coordinates. Off-screen targets keep row 0 at the top; windows at the bottom.
    const float c = std::cos(t.rotation), s = std::sin(t.rotation);
    const float sx = 2.0f / viewport.x;
    const float sy = (d->targetIsWindow ? -2.0f : 2.0f) / viewport.y;
    const QMatrix4x4 mvp(sx * t.width * c, -sx * t.height * s, 0, sx * t.x, //
                         sy * t.width * s, sy * t.height * c, 0, sy * t.y,  //
                         0, 0, 1, 0,                                        //
                         0, 0, 0, 1);
    d->bound->setUniformValue("mvp", mvp);
    f->glBindVertexArray(d->quadArray());
    f->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    f->glBindVertexArray(0);
}

void GsContextDefault::UnbindShader()
{
    GsDevice::Impl *d = gsdetail::device();
    if (d && d->bound) {
        d->bound->release();
        d->bound = nullptr;
    }
}

void GsContextDefault::Clear(float r, float g, float b, float a)
{
    if (QOpenGLExtraFunctions *f = gl()) {
        f->glClearColor(r, g, b, a);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
}

void GsContextDefault::SetBlending(bool on)
{
    if (QOpenGLExtraFunctions *f = gl()) {
        if (on)
            f->glEnable(GL_BLEND);
        else
            f->glDisable(GL_BLEND);
    }
}

// ---- Target ----------------------------------------------------------------

namespace gsdetail {

Target::Target(int width, int height)
    : m_width(width), m_height(height),
      m_texture(std::make_unique<GsTexture>(nullptr, 0, GS_RGBA, width, height))
{
    QOpenGLExtraFunctions *f = gl();
    if (!f || !m_texture->isValid())
        return;
    GLint previous = 0;
    f->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    f->glGenFramebuffers(1, &m_framebuffer);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                              m_texture->name(), 0);
    if (f->glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        f->glDeleteFramebuffers(1, &m_framebuffer);
        m_framebuffer = 0;
    }
    f->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
}

Target::~Target()
{
    if (m_framebuffer)
        release([name = m_framebuffer](QOpenGLExtraFunctions *f) {
            f->glDeleteFramebuffers(1, &name);
        });
}

int Target::bind()
{
    QOpenGLExtraFunctions *f = gl();
    GLint previous = 0;
    f->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    f->glViewport(0, 0, m_width, m_height);
    return previous;
}

void Target::restore(int previous)
{
    gl()->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
}

} // namespace gsdetail
