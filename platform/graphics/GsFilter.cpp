#include "GsFilter.h"

#include "GsScene.h"
#include "gl/GsDeviceImpl.h"
#include "gl/GsTarget.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// ---- GsFilter ----------------------------------------------------------------

struct GsFilter::Target : gsdetail::Target {
    using gsdetail::Target::Target;
};

GsFilter::GsFilter(int width, int height) : m_width(width), m_height(height) {}

GsFilter::~GsFilter()
{
    Detach();
    delete m_target;
}

void GsFilter::Attach()
{
    if (GsDevice::Impl *d = gsdetail::device()) {
        gsdetail::removeFrom(d->filters, this);
        gsdetail::addTo(d->filters, this);
    }
}

void GsFilter::Detach()
{
    if (GsDevice::Impl *d = gsdetail::device())
        gsdetail::removeFrom(d->filters, this);
}

GsTexture *GsFilter::texture() const
{
    return m_target ? m_target->texture() : nullptr;
}

void GsFilter::RunPass()
{
    if (!gsdetail::gl() || m_width <= 0 || m_height <= 0 || !Wanted())
        return;
    if (!m_target)
        m_target = new Target(m_width, m_height);
    if (!m_target->isValid())
        return;
    QOpenGLExtraFunctions *f = gsdetail::gl();
    const int previous = m_target->bind();
    f->glClearColor(0, 0, 0, 0);
    f->glClear(GL_COLOR_BUFFER_BIT);
    f->glEnable(GL_BLEND);
    f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    Render();
    f->glDisable(GL_BLEND);
    gsdetail::Target::restore(previous);
}

// ---- GsOutputRaw ---------------------------------------------------------------

// Two pixel-pack buffers: a frame is read into one while the other, read a pass
// earlier, is mapped and handed over, so the copy overlaps the next frame's work.
// A software rasteriser has nothing to overlap (it draws on the processor when the
// pixels are asked for) and copies through a pixel-pack buffer with an extra pass,
// so there the frame is read straight into memory and handed over at once.
struct GsOutputRaw::Readback {
    bool direct = false;
    std::vector<uint8_t> pixels; // the direct path's frame
    unsigned int buffers[2] = {0, 0};
    int64_t stamps[2] = {0, 0};
    bool pending[2] = {false, false};
    int next = 0;
    std::unique_ptr<gsdetail::Target> scaled; // when the output size differs from the scene
    int shown[4] = {0, 0, 0, 0};              // where the scene lies in it; bars around
};

GsOutputRaw::GsOutputRaw(GsScene *scene, int width, int height, GsFormat)
    : m_scene(scene), m_width(width), m_height(height)
{
    // The scene lives as long as anything draws it into this output.
    if (m_scene)
        m_scene->AddRef();
}

GsOutputRaw::~GsOutputRaw()
{
    Detach();
    if (m_scene)
        m_scene->Release();
    if (m_readback) {
        gsdetail::release(
            [b0 = m_readback->buffers[0], b1 = m_readback->buffers[1]](QOpenGLExtraFunctions *f) {
                const GLuint names[2] = {b0, b1};
                f->glDeleteBuffers(2, names);
            });
        delete m_readback;
    }
}

void GsOutputRaw::Attach()
{
    if (GsDevice::Impl *d = gsdetail::device()) {
        gsdetail::removeFrom(d->outputs, this);
        gsdetail::addTo(d->outputs, this);
    }
}

void GsOutputRaw::Detach()
{
    if (GsDevice::Impl *d = gsdetail::device())
        gsdetail::removeFrom(d->outputs, this);
}

void GsOutputRaw::Capture(int64_t timestampNs)
{
    QOpenGLExtraFunctions *f = gsdetail::gl();
    GsTexture *image = m_scene ? m_scene->texture() : nullptr;
    if (!f || !image || m_width <= 0 || m_height <= 0)
        return;
    const GLsizeiptr bytes = GLsizeiptr(m_width) * m_height * 4;
    if (!m_readback) {
        m_readback = new Readback;
        m_readback->direct = gsdetail::device()->softwareRaster;
    }
    if (!m_readback->direct && !m_readback->buffers[0]) {
        f->glGenBuffers(2, m_readback->buffers);
        for (unsigned int b : m_readback->buffers) {
            f->glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
            f->glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
        }
        f->glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }

    // Source framebuffer: the scene's image, scaled first when sizes differ.
    GLuint source = m_scene->framebuffer();
    GLint previous = 0;
    f->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    if (image->width() != m_width || image->height() != m_height) {
        // An output of another shape shows the whole scene fitted, with black bars,
        // as the preview shows it; never stretched.
        const double scale =
            std::min(double(m_width) / image->width(), double(m_height) / image->height());
        const int w = std::clamp(int(std::lround(image->width() * scale)), 1, m_width);
        const int h = std::clamp(int(std::lround(image->height() * scale)), 1, m_height);
        const int x = (m_width - w) / 2, y = (m_height - h) / 2;
        if (!m_readback->scaled)
            m_readback->scaled = std::make_unique<gsdetail::Target>(m_width, m_height);
        f->glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
        f->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_readback->scaled->framebuffer());
        // Only the blit writes to this target: the bars are cleared once, when they
        // first appear or move (no shown rectangle is empty, so the first one clears).
        const int rect[4] = {x, y, w, h};
        if (!std::equal(rect, rect + 4, m_readback->shown)) {
            f->glClearColor(0, 0, 0, 1);
            f->glClear(GL_COLOR_BUFFER_BIT);
            std::copy(rect, rect + 4, m_readback->shown);
        }
        f->glBlitFramebuffer(0, 0, image->width(), image->height(), x, y, x + w, y + h,
                             GL_COLOR_BUFFER_BIT, GL_LINEAR);
        source = m_readback->scaled->framebuffer();
    }

    f->glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (m_readback->direct) {
        uint8_t *into = FrameBuffer(size_t(bytes));
        if (!into) {
            m_readback->pixels.resize(size_t(bytes));
            into = m_readback->pixels.data();
        }
        f->glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, into);
        f->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
        OnFrame(into, size_t(bytes), m_width * 4, timestampNs);
        return;
    }
    const int slot = m_readback->next;
    f->glBindBuffer(GL_PIXEL_PACK_BUFFER, m_readback->buffers[slot]);
    f->glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    f->glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    f->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    m_readback->stamps[slot] = timestampNs;
    m_readback->pending[slot] = true;
    m_readback->next = 1 - slot;

    // Hand over the frame read on the previous pass.
    const int other = 1 - slot;
    if (m_readback->pending[other]) {
        f->glBindBuffer(GL_PIXEL_PACK_BUFFER, m_readback->buffers[other]);
        if (const void *p = f->glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT)) {
            OnFrame(static_cast<const uint8_t *>(p), size_t(bytes), m_width * 4,
                    m_readback->stamps[other]);
            f->glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        }
        f->glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        m_readback->pending[other] = false;
    }
}

void GsOutputRaw::Flush()
{
    QOpenGLExtraFunctions *f = gsdetail::gl();
    if (!f || !m_readback)
        return;
    const GLsizeiptr bytes = GLsizeiptr(m_width) * m_height * 4;
    // Oldest first: the slot to be written next holds the older frame.
    for (int i = 0; i < 2; ++i) {
        const int slot = (m_readback->next + i) % 2;
        if (!m_readback->pending[slot])
            continue;
        f->glBindBuffer(GL_PIXEL_PACK_BUFFER, m_readback->buffers[slot]);
        if (const void *p = f->glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT)) {
            OnFrame(static_cast<const uint8_t *>(p), size_t(bytes), m_width * 4,
                    m_readback->stamps[slot]);
            f->glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        }
        m_readback->pending[slot] = false;
    }
    f->glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}
