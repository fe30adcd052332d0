#pragma once
// Internal to the graphics library: the device's OpenGL state shared by its classes.

#include "../GsDevice.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class GsFilter;
class GsOutputRaw;
class GsScene;
class GsView;

struct GsDevice::Impl {
    QOpenGLContext *context = nullptr;
    QOffscreenSurface *surface = nullptr;
    QThread *thread = nullptr;
    bool debug = false;
    // Mesa's llvmpipe/softpipe: every draw and copy costs processor time, so the
    // cheaper paths (synchronous read-back, no pixel-pack buffers) pay off.
    bool softwareRaster = false;

    std::map<std::string, std::unique_ptr<QOpenGLShaderProgram>> programs;
    QOpenGLShaderProgram *bound = nullptr;
    unsigned int quadBuffer = 0;
    std::map<QOpenGLContext *, unsigned int> quadArrays; // vertex arrays are per context
    bool targetIsWindow = false;                         // windows keep row 0 at the bottom
    std::atomic<bool> composeAtViewSize{true};

    std::recursive_mutex registry;
    std::vector<GsScene *> scenes;
    std::vector<GsFilter *> filters;
    std::vector<GsOutputRaw *> outputs;
    std::vector<GsView *> views;
    // Every view's present context: they follow the device from thread to thread.
    std::vector<QOpenGLContext *> presentContexts;

    // Objects released where the device was not current, freed at the next pass.
    std::mutex graveMutex;
    std::vector<std::function<void(QOpenGLExtraFunctions *)>> graves;
    std::vector<QOpenGLContext *> deadContexts;

    QOpenGLExtraFunctions *gl() const { return context->extraFunctions(); }
    void buryPending();
    unsigned int quadArray();
};

namespace gsdetail {
GsDevice::Impl *device();
// The current context's functions (device or a view's present context).
QOpenGLExtraFunctions *gl();
// Frees a GPU object now when the device is current here, else at the next pass.
void release(std::function<void(QOpenGLExtraFunctions *)> free);

template <typename T> void addTo(std::vector<T *> &list, T *item)
{
    std::lock_guard<std::recursive_mutex> lock(device()->registry);
    list.push_back(item);
}
template <typename T> void removeFrom(std::vector<T *> &list, T *item)
{
    GsDevice::Impl *d = device();
    if (!d)
        return;
    std::lock_guard<std::recursive_mutex> lock(d->registry);
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
} // namespace gsdetail
