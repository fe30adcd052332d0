#include "GsDevice.h"

#include "GsFilter.h"
#include "GsScene.h"
#include "GsView.h"
#include "gl/GsDeviceImpl.h"

#include <QGuiApplication>
#include <QSurfaceFormat>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

GsDevice *g_device = nullptr;
// The device current on this thread: what objects made here belong to.
thread_local GsDevice *t_current = nullptr;

const char *kVertexSource = R"(#version 330 core
uniform mat4 mvp;
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord;
out vec2 uv;
void main()
{
    gl_Position = mvp * vec4(position, 1.0);
    uv = texcoord;
}
)";

// The library's plain texture program.
const char *kRgbaPixelSource = R"(#version 330 core
uniform sampler2D texture_from;
in vec2 uv;
out vec4 color;
void main()
{
    color = texture(texture_from, uv);
}
)";

// A unit quad centred on the origin; texture row 0 at the top (y down).
const float kQuad[] = {
    -0.5f, -0.5f, 0.0f, 0.0f, 0.0f, //
    0.5f,  -0.5f, 0.0f, 1.0f, 0.0f, //
    -0.5f, 0.5f,  0.0f, 0.0f, 1.0f, //
    0.5f,  0.5f,  0.0f, 1.0f, 1.0f, //
};

} // namespace

namespace gsdetail {

GsDevice::Impl *device()
{
    if (t_current)
        return t_current->impl();
    return g_device ? g_device->impl() : nullptr;
}

QOpenGLExtraFunctions *gl()
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    return ctx ? ctx->extraFunctions() : nullptr;
}

void release(std::function<void(QOpenGLExtraFunctions *)> free)
{
    GsDevice::Impl *d = device();
    if (!d)
        return; // the device and every object with it are gone
    QOpenGLContext *current = QOpenGLContext::currentContext();
    if (current && current->shareGroup() == d->context->shareGroup()) {
        free(current->extraFunctions());
        return;
    }
    std::lock_guard<std::mutex> lock(d->graveMutex);
    d->graves.push_back(std::move(free));
}

} // namespace gsdetail

void GsDevice::Impl::buryPending()
{
    std::vector<std::function<void(QOpenGLExtraFunctions *)>> pending;
    {
        std::lock_guard<std::mutex> lock(graveMutex);
        pending.swap(graves);
    }
    for (auto &free : pending)
        free(gl());
}

unsigned int GsDevice::Impl::quadArray()
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    auto it = quadArrays.find(ctx);
    if (it != quadArrays.end())
        return it->second;
    QOpenGLExtraFunctions *f = ctx->extraFunctions();
    unsigned int vao = 0;
    f->glGenVertexArrays(1, &vao);
    f->glBindVertexArray(vao);
    f->glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    f->glEnableVertexAttribArray(0);
    f->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
    f->glEnableVertexAttribArray(1);
    f->glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                             reinterpret_cast<void *>(3 * sizeof(float)));
    f->glBindVertexArray(0);
    quadArrays[ctx] = vao;
    return vao;
}

GsDevice::GsDevice() : d(std::make_unique<Impl>()) {}

GsDevice::~GsDevice()
{
    teardown();
}

std::unique_ptr<GsDevice> GsDevice::make(bool debug)
{
    if (!QGuiApplication::instance())
        return nullptr;
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setSwapInterval(0); // the render loop paces itself
    if (debug)
        format.setOption(QSurfaceFormat::DebugContext);

    // Whatever context this thread had current is current again afterwards.
    QOpenGLContext *previous = QOpenGLContext::currentContext();
    QSurface *previousSurface = previous ? previous->surface() : nullptr;
    GsDevice *previousDevice = t_current;
    auto restore = [&] {
        if (previous)
            previous->makeCurrent(previousSurface);
        t_current = previousDevice;
    };

    auto device = std::unique_ptr<GsDevice>(new GsDevice);
    Impl &d = *device->d;
    d.debug = debug;
    d.thread = QThread::currentThread();
    d.surface = new QOffscreenSurface;
    d.surface->setFormat(format);
    d.surface->create();
    d.context = new QOpenGLContext;
    d.context->setFormat(format);
    if (!d.surface->isValid() || !d.context->create() || !d.context->makeCurrent(d.surface)) {
        delete d.context;
        delete d.surface;
        d.context = nullptr;
        d.surface = nullptr;
        restore();
        return nullptr;
    }
    const QSurfaceFormat got = d.context->format();
    if (got.majorVersion() < 3 || (got.majorVersion() == 3 && got.minorVersion() < 3)) {
        d.context->doneCurrent();
        delete d.context;
        delete d.surface;
        d.context = nullptr;
        d.surface = nullptr;
        restore();
        return nullptr;
    }
    QOpenGLExtraFunctions *f = d.gl();
    const QByteArray renderer = reinterpret_cast<const char *>(f->glGetString(GL_RENDERER));
    d.softwareRaster = renderer.contains("llvmpipe") || renderer.contains("softpipe");
    f->glGenBuffers(1, &d.quadBuffer);
    f->glBindBuffer(GL_ARRAY_BUFFER, d.quadBuffer);
    f->glBufferData(GL_ARRAY_BUFFER, sizeof kQuad, kQuad, GL_STATIC_DRAW);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    t_current = device.get();
    const bool plain = device->AddShader("rgba", kVertexSource, kRgbaPixelSource);
    if (previous) {
        restore();
    } else {
        d.context->doneCurrent();
        t_current = previousDevice;
    }
    if (!plain) {
        device->teardown();
        return nullptr;
    }
    return device;
}

bool GsDevice::CreateDefaultDevice(bool debug)
{
    if (g_device)
        return true;
    std::unique_ptr<GsDevice> device = make(debug);
    if (!device)
        return false;
    g_device = device.release();
    // The GUI thread keeps the default device current until it hands it on.
    g_device->d->context->makeCurrent(g_device->d->surface);
    return true;
}

std::unique_ptr<GsDevice> GsDevice::Create(bool debug)
{
    return make(debug);
}

GsDevice *GsDevice::DefaultDevice()
{
    return g_device;
}

void GsDevice::DestroyDefaultDevice()
{
    if (!g_device)
        return;
    GsDevice *device = g_device;
    g_device = nullptr;
    delete device;
}

void GsDevice::teardown()
{
    Impl &d = *this->d;
    if (!d.context)
        return;
    GsDevice *previous = t_current;
    t_current = this; // what is freed now is this device's
    if (d.context->makeCurrent(d.surface)) {
        d.buryPending();
        QOpenGLExtraFunctions *f = d.gl();
        for (auto &entry : d.quadArrays)
            if (entry.first == d.context)
                f->glDeleteVertexArrays(1, &entry.second);
        f->glDeleteBuffers(1, &d.quadBuffer);
        d.programs.clear();
        d.context->doneCurrent();
    }
    t_current = previous == this ? nullptr : previous;
    for (QOpenGLContext *ctx : d.deadContexts)
        delete ctx;
    d.deadContexts.clear();
    delete d.context;
    d.context = nullptr;
    // The surface belongs to the GUI thread; delete it there when we are elsewhere.
    if (d.surface->thread() == QThread::currentThread())
        delete d.surface;
    else
        d.surface->deleteLater();
    d.surface = nullptr;
}

void GsDevice::MoveToThread(QThread *thread)
{
    // Called on the thread that holds the device now; the views' present contexts
    // go along, so that the next thread can make any of them current.
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    {
        // Contexts of views that went while this thread held them are freed here.
        std::lock_guard<std::mutex> grave(d->graveMutex);
        for (auto it = d->deadContexts.begin(); it != d->deadContexts.end();) {
            if ((*it)->thread() != QThread::currentThread()) {
                ++it;
                continue;
            }
            d->quadArrays.erase(*it);
            delete *it;
            it = d->deadContexts.erase(it);
        }
    }
    auto hand = [thread](QOpenGLContext *context) {
        if (context->thread() == thread)
            return;
        if (QOpenGLContext::currentContext() == context)
            context->doneCurrent();
        context->moveToThread(thread);
    };
    hand(d->context);
    for (QOpenGLContext *context : d->presentContexts)
        hand(context);
    if (t_current == this && thread != QThread::currentThread())
        t_current = nullptr;
    d->thread = thread;
}

bool GsDevice::MakeCurrent()
{
    if (QOpenGLContext::currentContext() == d->context) {
        t_current = this;
        return true;
    }
    if (!d->context->makeCurrent(d->surface))
        return false;
    t_current = this;
    return true;
}

void GsDevice::DoneCurrent()
{
    if (QOpenGLContext::currentContext() == d->context)
        d->context->doneCurrent();
    if (t_current == this)
        t_current = nullptr;
}

bool GsDevice::IsCurrent() const
{
    return QOpenGLContext::currentContext() == d->context;
}

const char *GsDevice::SharedVertexSource()
{
    return kVertexSource;
}

bool GsDevice::AddShader(const char *name, const char *vertexSource, const char *pixelSource)
{
    if (!name || !MakeCurrent())
        return false;
    auto program = std::make_unique<QOpenGLShaderProgram>();
    program->bindAttributeLocation("position", 0);
    program->bindAttributeLocation("texcoord", 1);
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertexSource) ||
        !program->addShaderFromSourceCode(QOpenGLShader::Fragment, pixelSource) ||
        !program->link()) {
        qWarning("shader %s: %s", name, qPrintable(program->log()));
        return false;
    }
    program->bind();
    program->setUniformValue("texture_from", 0);
    program->setUniformValue("texture_to", 1);
    QOpenGLExtraFunctions *f = d->gl();
    GLint blocks = 0;
    f->glGetProgramiv(program->programId(), GL_ACTIVE_UNIFORM_BLOCKS, &blocks);
    for (GLint i = 0; i < blocks; ++i)
        f->glUniformBlockBinding(program->programId(), GLuint(i), GLuint(i));
    program->release();
    d->programs[name] = std::move(program);
    return true;
}

bool GsDevice::HasShader(const char *name) const
{
    return name && d->programs.count(name) != 0;
}

void GsDevice::TickSource()
{
    if (!MakeCurrent())
        return;
    d->buryPending();
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    for (GsScene *scene : d->scenes) {
        chooseRenderSize(scene);
        scene->Tick();
    }
}

void GsDevice::SetComposeAtViewSize(bool on)
{
    d->composeAtViewSize = on;
}

void GsDevice::chooseRenderSize(GsScene *scene)
{
    // The largest size anything takes the scene's image at: a raw output at its own
    // size (an export's is the scene's), a view at the size it shows it. A scene
    // nothing takes keeps its own size.
    int width = 0, height = 0;
    for (GsOutputRaw *out : d->outputs)
        if (out->scene() == scene && scene->width() > 0 && scene->height() > 0) {
            // An output of another shape takes the scene fitted inside it (with bars).
            const double fit = std::min(double(out->width()) / scene->width(),
                                        double(out->height()) / scene->height());
            width = std::max(width, int(std::lround(scene->width() * fit)));
            height = std::max(height, int(std::lround(scene->height() * fit)));
        }
    for (GsView *view : d->views) {
        int w = 0, h = 0;
        if (view->ShownScene(&w, &h) == scene) {
            width = std::max(width, w);
            height = std::max(height, h);
        }
    }
    if (!d->composeAtViewSize || width <= 0 || height <= 0)
        scene->SetRenderSize(scene->width(), scene->height());
    else
        scene->SetRenderSize(uint32_t(width), uint32_t(height));
}

void GsDevice::HandleFilter()
{
    if (!MakeCurrent())
        return;
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    for (GsFilter *filter : d->filters)
        filter->RunPass();
}

void GsDevice::OutputFrame(int64_t timestampNs, int count)
{
    if (!MakeCurrent() || count <= 0)
        return;
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    for (GsScene *scene : d->scenes) {
        bool wanted = !d->views.empty();
        for (GsOutputRaw *out : d->outputs)
            wanted = wanted || out->scene() == scene;
        if (!wanted || !scene->Render())
            continue;
        for (GsOutputRaw *out : d->outputs)
            if (out->scene() == scene)
                out->Capture(timestampNs);
    }
    // Hand the drawing to the GPU now, so that it runs while the CPU goes on.
    d->gl()->glFlush();
}

void GsDevice::DrawDisplay()
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->registry);
        for (GsView *view : d->views)
            view->Present();
    }
    MakeCurrent();
    std::vector<QOpenGLContext *> dead;
    {
        std::lock_guard<std::mutex> lock(d->graveMutex);
        dead.swap(d->deadContexts);
    }
    for (QOpenGLContext *ctx : dead) {
        d->quadArrays.erase(ctx);
        delete ctx;
    }
}

std::string GsDevice::RendererName() const
{
    if (!const_cast<GsDevice *>(this)->MakeCurrent())
        return std::string();
    return reinterpret_cast<const char *>(d->gl()->glGetString(GL_RENDERER));
}
