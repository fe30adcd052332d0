#pragma once
// The native window the render thread presents the preview scene into. The GUI
// thread only publishes its size and exposure to the view; it never draws.
// Lives on: main thread (the view's drawing runs on the render thread).

#include <QStringList>
#include <QWindow>

#include <memory>

class GsScene;
class PreviewInteraction;
class PreviewItem;
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
    // The scene shown and hit-tested (the render manager announces each new one).
    void setScene(GsScene *scene);
    // Zoom factor applied on top of fitting the scene into the window.
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }

signals:
    void ViewCreated();
    // Asks the timeline to act on the clip a preview item shows (by the clip's uuid):
    // open its panel (`clicks` 1 on release, 2 from a double click or the menu), put
    // it above or below the clips it overlaps, delete it, select or deselect it, or
    // store the placement a gesture left. Each edit is one undoable step there.
    void sig_editClip(const QString &clip, int clicks);
    void sig_restackClip(const QString &clip, bool up);
    void sig_removeClip(const QString &clip);
    void sig_selectClip(const QString &clip, bool selected);
    void sig_clipGeometryEdited(const QString &clip, const QRectF &rect, int rotate);
    // The wheel turned over the picture (its angle delta), for the zoom slider.
    void sig_wheel(int delta);
    // A release or double click on empty picture: the property panel closes.
    void sig_closeMenu();
    // A button went down in the picture (playback pauses before a gesture).
    void sig_pressed();

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool event(QEvent *event) override;

private:
    void ensureView();
    // Presses at a scene point and mirrors the selection change on the timeline.
    void press(const QPointF &scenePos);
    void showContextMenu(const QPoint &globalPos);
    // The uuid of the clip the selected item shows, or empty.
    QString selectedClip() const;
    // The clips of every visible selected item (the timeline may select several).
    QStringList selectedClips() const;
    static Qt::CursorShape handleCursor(int handle);
    // Tells the timeline the item's selection.
    void syncSelection(const PreviewItem *item);
    RenderManager *m_render;
    std::unique_ptr<GsViewImpl> m_view;
    std::unique_ptr<PreviewInteraction> m_interaction;
    double viewScale() const;
    double m_zoom = 1.0;
};
