#pragma once
// A graphics device over its own OpenGL 3.3 core context. It owns the shader
// programs and runs the render-loop passes over every scene, filter, raw output
// and view made while it is current. The default device serves the preview; an
// export makes one of its own, so that neither touches the other's state.
// Lives on: created on the main (GUI) thread, then used by one thread at a time
// (the render thread after MoveToThread); scenes, filters, outputs and views may
// register and unregister from any thread. Objects made on a thread belong to the
// device current there (the default device where none is).

#include "GsTypes.h"

#include <memory>
#include <string>

class GsScene;
class QThread;

class GsDevice {
public:
    // Creates the default device; false (and no device) when no OpenGL 3.3 context
    // can be made. Call on the GUI thread.
    static bool CreateDefaultDevice(bool debug);
    static GsDevice *DefaultDevice();
    // Frees every GPU object and the device; call on the thread that uses it.
    static void DestroyDefaultDevice();
    // A device of its own, not shared with the default one (null when no context can
    // be made). Call on the GUI thread; destroy it on the thread that used it last.
    static std::unique_ptr<GsDevice> Create(bool debug);

    // Hands the device to `thread`; call on the thread that currently uses it.
    void MoveToThread(QThread *thread);
    // Makes the device current on the calling thread.
    bool MakeCurrent();
    void DoneCurrent();
    // True when the device's context is current on the calling thread.
    bool IsCurrent() const;

    // Compiles and links a program; the pixel stage reads its constants from a
    // std140 uniform block (bound to slot 0) and its textures from the samplers
    // "texture_from" (slot 0) and "texture_to" (slot 1).
    bool AddShader(const char *name, const char *vertexSource, const char *pixelSource);
    bool HasShader(const char *name) const;
    // The vertex stage every program shares: uniform mat4 "mvp", inputs position
    // (location 0, vec3) and texcoord (location 1, vec2), output "uv".
    static const char *SharedVertexSource();

    // Render-loop passes, in this order once per tick. TickSource first chooses
    // each scene's image size: the largest size a view shows it at or a raw output
    // reads it at, never above the scene's own size.
    void TickSource();
    void HandleFilter();
    void OutputFrame(int64_t timestampNs, int count);
    void DrawDisplay();

    std::string RendererName() const;

    // Whether scenes shown only in views are drawn at the size they are shown
    // (default) or always at their own size.
    void SetComposeAtViewSize(bool on);

    struct Impl;
    Impl *impl() const { return d.get(); }
    ~GsDevice();

private:
    GsDevice();
    static std::unique_ptr<GsDevice> make(bool debug);
    void teardown();
    void chooseRenderSize(GsScene *scene);
    std::unique_ptr<Impl> d;
};
