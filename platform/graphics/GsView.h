#pragma once
// On-screen views: the render thread presents a scene's last image into a native
// window (a QWindow with an OpenGL surface), then the view's own overlay drawing.
// Lives on: constructed, resized and destroyed on the GUI thread; Present runs on
// the device's thread. The GUI thread publishes size and exposure under the view's
// mutex and never draws.

#include "GsTypes.h"

class GsScene;
class QWindow;

class GsView {
public:
    virtual ~GsView() = default;
    virtual void Attch() = 0;
    virtual void Detach() = 0;
    // Device thread: draws and shows one frame.
    virtual void Present() = 0;
    // The scene this view shows and the size in device pixels it shows it at
    // (zero when hidden or showing nothing).
    virtual GsScene *ShownScene(int *width, int *height) = 0;
};

class GsViewImpl : public GsView {
public:
    // `window` must already have its native window (create() was called).
    GsViewImpl(QWindow *window, int width, int height, GsScene *scene);
    ~GsViewImpl() override;

    void Attch() override;
    void Detach() override;
    void Present() override;
    GsScene *ShownScene(int *width, int *height) override;

    void SetBackgroundColor(float r, float g, float b, float a);
    // Device thread (while presenting, under the view's mutex) or GUI thread.
    GsScene *scene() const { return m_scene; }
    // Shows another scene; the view keeps a reference on the one it shows.
    void SetScene(GsScene *scene);
    // Snap guide lines, in view pixels from the centre; not-a-number hides them.
    void SetClampX(float x);
    void SetClampY(float y);
    // Added to a widget position before scaling it into scene units.
    gs_vec2 preview_offset() const;

    // GUI thread: size in device pixels, device pixel ratio, exposure, end of life.
    void Resize(int width, int height, float devicePixelRatio = 1.0f);
    void SetExposed(bool exposed);
    void MarkDead();
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Device pixels per logical pixel (under the view's mutex, like the size).
    float devicePixelRatio() const { return m_dpr > 0 ? m_dpr : 1.0f; }
    MCMutex &mutex() { return m_mutex; }

protected:
    // Draws the view; by default the scene image fitted into the view.
    virtual void Draw();
    // How large the scene's picture is drawn: fitted into the view by default.
    // Called under the view's mutex.
    virtual double SceneScale() const;
    // The scene's last image at `width` × `height` device pixels, centred.
    void DrawSceneTexture(int width, int height);
    // The guide lines set by SetClampX/SetClampY.
    void DrawClampLines();

private:
    QWindow *m_window;
    GsScene *m_scene;
    MCMutex m_mutex;
    int m_width;
    int m_height;
    float m_dpr = 1.0f;
    bool m_exposed = true;
    bool m_dead = false;
    bool m_attached = false;
    float m_bg[4] = {0, 0, 0, 1};
    float m_clampX;
    float m_clampY;
    struct PresentState;
    PresentState *m_present = nullptr;
};
