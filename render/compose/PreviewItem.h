#pragma once
// Base of the items a visual track owns in a composed scene (the preview's or an export's):
// rotation, order value, visibility and selection, and the operations the timeline and the export
// call. The item knows its track and the clip it shows by id only; edits made in the
// preview leave it as values (clipGeometry) that the timeline applies.
// Lives on: geometry and ids on the main thread; prepare/draw on the render thread.

#include "render/RenderTypes.h"

#include "graphics/GsItem.h"

#include <QRectF>
#include <QString>

#include <atomic>
#include <mutex>

// A clip's placement as the preview leaves it after a gesture.
struct ClipGeometry {
    QString clip;   // the clip's uuid
    QRectF rect;    // "previewRect": centre x, y and size in scene pixels
    int rotate = 0; // "rotate": whole degrees
};

class PreviewItem : public GsItem {
public:
    std::atomic<bool> visible{false};
    std::atomic<bool> selected{false};
    std::atomic<bool> hovered{false}; // the pointer is over it in the preview
    QString trackId;                  // uuid of the track that owns the item
    // The uuid of the clip shown now (empty when none): set by whoever places the
    // item (the main thread, or the player thread while playing), read anywhere.
    QString clipId() const;
    void setClipId(const QString &clip);

    // The device's per-tick and draw calls.
    void Tick() override { prepare(); }
    void Draw() override { draw(); }

    virtual void prepare() {}
    virtual void draw() {}
    virtual void setFrameData(const VideoFrameData &) {}

    void setVisible(bool on);
    // The item's rectangle and rotation (whole degrees) for its clip's "previewRect"
    // and "rotate"; the timeline stores them as one undoable step.
    ClipGeometry clipGeometry() const;
    // Whole degrees of a rotation in radians, as the clip stores it.
    static int toDegrees(double radians);

protected:
    PreviewItem() = default;

private:
    mutable std::mutex m_clipMutex;
    QString m_clipId;
};
