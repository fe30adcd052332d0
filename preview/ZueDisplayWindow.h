#pragma once
// The native window the render thread presents the preview scene into. The GUI
// thread only publishes its size and exposure to the view; it never draws.
// Lives on: main thread (the view's drawing runs on the render thread).

#include <QWindow>

#include <memory>

class GsScene;
class PreviewInteraction;
class GsViewImpl;
class RenderManager;

class ZueDisplayWindow : public QWindow {
    Q_OBJECT
public:
    explicit ZueDisplayWindow(RenderManager *render);
    ~ZueDisplayWindow() override;
    GsViewImpl *view() const { return m_view.get(); }
    // Scene coordinates of a window position (origin at the picture's centre).
    QPointF toScene(const QPointF &windowPos) const;

signals:
    void ViewCreated();
    void ViewResized();

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void ensureView();
    RenderManager *m_render;
    std::unique_ptr<GsViewImpl> m_view;
    std::unique_ptr<PreviewInteraction> m_interaction;
    double viewScale() const;
};
