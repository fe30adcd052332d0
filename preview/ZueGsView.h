#pragma once
// The preview's view: the scene picture fitted into the window, the snap lines,
// and for the selected item a frame, eight resize handles and the rotate handle.
// Lives on: constructed on the main thread; Draw runs on the render thread.

#include "graphics/GsTexture.h"
#include "graphics/GsView.h"

#include <memory>

class ZueGsView : public GsViewImpl {
public:
    using GsViewImpl::GsViewImpl;
    ~ZueGsView() override;

protected:
    void Draw() override;

private:
    std::unique_ptr<GsTexture> m_frameColour;
    std::unique_ptr<GsTexture> m_handleColour;
    std::unique_ptr<GsTexture> m_rotateColour;
};
