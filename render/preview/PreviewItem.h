#pragma once
// Base of the items a visual track owns in the preview scene: rotation, order
// value, visibility and selection, and the operations the timeline and the export
// call. Lives on: geometry on the main thread; prepare/draw on the render thread.

#include "render/RenderTypes.h"

#include "graphics/GsItem.h"

#include <atomic>

class ClassifyItem;

class PreviewItem : public GsItem {
public:
    std::atomic<bool> visible{false};
    std::atomic<bool> selected{false};
    ClassifyItem *track = nullptr;

    // The device's per-tick and draw calls.
    void Tick() override { prepare(); }
    void Draw() override { draw(); }

    virtual void prepare() {}
    virtual void draw() {}
    virtual void setFrameData(const VideoFrameData &) {}
    virtual RenderParam decodeNow(const VideoFrameData &) { return RenderParam(); }
    virtual void apply(const RenderParam &result);
    virtual void beginExport() {}
    virtual void endExport() {}

    void setVisible(bool on);
    // Writes the item's rectangle to its clip's "previewRect" and its rotation to
    // "rotate" (whole degrees), as undoable changes.
    void commitGeometry();
    // Selects or deselects the clip's item on the timeline to match `selected`.
    void syncSelection();
    // Whole degrees of a rotation in radians, as the clip stores it.
    static int toDegrees(double radians);

protected:
    PreviewItem() = default;
};
