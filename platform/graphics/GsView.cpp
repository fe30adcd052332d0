#include "GsView.h"

#include "GsScene.h"
#include "GsTexture.h"
#include "gl/GsDeviceImpl.h"

#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>

struct GsViewImpl::PresentState {
    QOpenGLContext *context = nullptr;
    std::unique_ptr<GsTexture> white; // for guide lines
};

GsViewImpl::GsViewImpl(QWindow *window, int width, int height, GsScene *scene)
    : m_window(window), m_scene(scene), m_width(width), m_height(height),
      m_clampX(std::numeric_limits<float>::quiet_NaN()),
      m_clampY(std::numeric_limits<float>::quiet_NaN())
{
    if (m_scene)
        m_scene->AddRef();
    GsDevice::Impl *d = gsdetail::device();
    if (!d || !window)
        return;
    // A second context on the window, sharing textures and programs with the
    // device's, made here and handed to the thread that presents.
    auto *context = new QOpenGLContext;
    context->setFormat(d->context->format());
    context->setShareContext(d->context);
    if (!context->create()) {
        delete context;
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    if (d->thread && d->thread != QThread::currentThread())
        context->moveToThread(d->thread);
    d->presentContexts.push_back(context);
    m_present = new PresentState;
    m_present->context = context;
}

GsViewImpl::~GsViewImpl()
{
    Detach();
    MarkDead();
    SetScene(nullptr);
    if (!m_present)
        return;
    GsDevice::Impl *d = gsdetail::device();
    QOpenGLContext *context = m_present->context;
    if (!d) {
        delete context;
        delete m_present;
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    d->presentContexts.erase(
        std::remove(d->presentContexts.begin(), d->presentContexts.end(), context),
        d->presentContexts.end());
    if (context->thread() == QThread::currentThread()) {
        if (QOpenGLContext::currentContext() == context)
            context->doneCurrent();
        d->quadArrays.erase(context);
        delete context;
    } else {
        // The render thread holds it: it is freed there, at the next pass.
        std::lock_guard<std::mutex> grave(d->graveMutex);
        d->deadContexts.push_back(context);
    }
    delete m_present;
}

void GsViewImpl::Attch()
{
    GsDevice::Impl *d = gsdetail::device();
    if (!d || m_attached)
        return;
    gsdetail::addTo<GsView>(d->views, this);
    m_attached = true;
}

void GsViewImpl::Detach()
{
    GsDevice::Impl *d = gsdetail::device();
    if (!d || !m_attached)
        return;
    gsdetail::removeFrom<GsView>(d->views, this);
    m_attached = false;
}

void GsViewImpl::SetBackgroundColor(float r, float g, float b, float a)
{
    MCLocker lock(m_mutex);
    m_bg[0] = r;
    m_bg[1] = g;
    m_bg[2] = b;
    m_bg[3] = a;
}

void GsViewImpl::SetScene(GsScene *scene)
{
    // The view holds a reference: the scene it presents lives while it is shown.
    if (scene)
        scene->AddRef();
    GsScene *old = nullptr;
    {
        MCLocker lock(m_mutex);
        old = m_scene;
        m_scene = scene;
    }
    if (old)
        old->Release();
}

void GsViewImpl::SetClampX(float x)
{
    MCLocker lock(m_mutex);
    m_clampX = x;
}

void GsViewImpl::SetClampY(float y)
{
    MCLocker lock(m_mutex);
    m_clampY = y;
}

gs_vec2 GsViewImpl::preview_offset() const
{
    const float dpr = m_dpr > 0 ? m_dpr : 1.0f;
    return {-m_width / 2.0f / dpr, -m_height / 2.0f / dpr};
}

void GsViewImpl::Resize(int width, int height, float devicePixelRatio)
{
    MCLocker lock(m_mutex);
    m_width = width;
    m_height = height;
    m_dpr = devicePixelRatio;
}

void GsViewImpl::SetExposed(bool exposed)
{
    MCLocker lock(m_mutex);
    m_exposed = exposed;
}

void GsViewImpl::MarkDead()
{
    MCLocker lock(m_mutex);
    m_dead = true;
}

void GsViewImpl::Present()
{
    MCLocker lock(m_mutex);
    GsDevice::Impl *d = gsdetail::device();
    if (!d || !m_present || m_dead || !m_exposed || m_width <= 0 || m_height <= 0)
        return;
    QOpenGLContext *context = m_present->context;
    if (!context->makeCurrent(m_window))
        return;
    QOpenGLExtraFunctions *f = context->extraFunctions();
    f->glBindFramebuffer(GL_FRAMEBUFFER, context->defaultFramebufferObject());
    f->glViewport(0, 0, m_width, m_height);
    f->glClearColor(m_bg[0], m_bg[1], m_bg[2], m_bg[3]);
    f->glClear(GL_COLOR_BUFFER_BIT);
    f->glEnable(GL_BLEND);
    f->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    d->targetIsWindow = true;
    Draw();
    d->targetIsWindow = false;
    f->glDisable(GL_BLEND);
    context->swapBuffers(m_window);
}

double GsViewImpl::SceneScale() const
{
    return std::min(double(m_width) / double(m_scene->width()),
                    double(m_height) / double(m_scene->height()));
}

GsScene *GsViewImpl::ShownScene(int *width, int *height)
{
    MCLocker lock(m_mutex);
    *width = *height = 0;
    if (!m_scene || m_dead || !m_exposed || m_width <= 0 || m_height <= 0 ||
        m_scene->width() == 0 || m_scene->height() == 0)
        return m_scene;
    const double scale = SceneScale();
    *width = int(std::lround(m_scene->width() * scale));
    *height = int(std::lround(m_scene->height() * scale));
    return m_scene;
}

void GsViewImpl::Draw()
{
    if (!m_scene || m_scene->width() == 0 || m_scene->height() == 0)
        return;
    const double scale = SceneScale();
    DrawSceneTexture(int(std::lround(m_scene->width() * scale)),
                     int(std::lround(m_scene->height() * scale)));
    DrawClampLines();
}

void GsViewImpl::DrawSceneTexture(int width, int height)
{
    GsTexture *image = m_scene ? m_scene->texture() : nullptr;
    if (!image || !GsContextDefault::BindShader("rgba"))
        return;
    {
        GsTextureBinder bind(image);
        GsContextDefault::DrawRect({0, 0, float(width), float(height), 0},
                                   {float(m_width), float(m_height)});
    }
    GsContextDefault::UnbindShader();
}

void GsViewImpl::DrawClampLines()
{
    if (std::isnan(m_clampX) && std::isnan(m_clampY))
        return;
    if (!m_present->white) {
        const uint8_t white[4] = {0x3a, 0xa0, 0xff, 0xff};
        m_present->white = std::make_unique<GsTexture>(white, 4, GS_RGBA, 1, 1);
    }
    if (!GsContextDefault::BindShader("rgba"))
        return;
    {
        GsTextureBinder bind(m_present->white.get());
        const gs_vec2 size{float(m_width), float(m_height)};
        if (!std::isnan(m_clampX))
            GsContextDefault::DrawRect({m_clampX, 0, 1, float(m_height), 0}, size);
        if (!std::isnan(m_clampY))
            GsContextDefault::DrawRect({0, m_clampY, float(m_width), 1, 0}, size);
    }
    GsContextDefault::UnbindShader();
}
