#pragma once
// The native window the render thread presents the preview scene into. The GUI
// thread only publishes its size and exposure to the view; it never draws.
// Lives on: main thread (the view's drawing runs on the render thread).

#include <QWindow>

#include <memory>

class GsScene;
class GsViewImpl;
class RenderManager;

class ZueDisplayWindow : public QWindow {
    Q_OBJECT
public:
    explicit ZueDisplayWindow(RenderManager *render);
    ~ZueDisplayWindow() override;
    GsViewImpl *view() const { return m_view.get(); }

signals:
    void ViewCreated();
    void ViewResized();

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void ensureView();
    RenderManager *m_render;
    std::unique_ptr<GsViewImpl> m_view;
};
