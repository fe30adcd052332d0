#pragma once
// The preview's view: the scene picture fitted into the window, the snap lines,
// and for the selected item a frame, eight resize handles and the rotate handle.
// Lives on: constructed on the main thread; Draw runs on the render thread.

#include "graphics/GsTexture.h"
#include "graphics/GsView.h"

#include <QImage>

#include <atomic>
#include <memory>

class ZueGsView : public GsViewImpl {
public:
    ZueGsView(QWindow *window, int width, int height, GsScene *scene);
    ~ZueGsView() override;
    // Multiplies the fitted picture size (1.0 = the scene fits the view).
    void setZoom(double zoom) { m_zoom = zoom; }
    double zoom() const { return m_zoom; }

protected:
    void Draw() override;
    double SceneScale() const override;

private:
    std::atomic<double> m_zoom{1.0};
    std::unique_ptr<GsTexture> m_frameColour;
    std::unique_ptr<GsTexture> m_hoverColour;
    std::unique_ptr<GsTexture> m_handleColour;
    QImage m_rotateImage; // uploaded on the render thread at the first draw
    std::unique_ptr<GsTexture> m_rotateTexture;
};
