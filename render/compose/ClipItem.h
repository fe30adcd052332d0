#pragma once
// Draws one visual track's clip: the decoded picture it is handed, placed, turned
// and coloured by the clip program, or copied straight into the scene when it covers
// it texel for pixel. Its companion draws the track's transitions over the scene.
// Where pictures come from is the subclass's business: the preview's decode thread
// (VideoPreviewItem) or the export's picture thread (ExportClipItem).
// Lives on: setCurrent, prepare and draw run on the thread that ticks and draws the
// item's scene (the preview's render thread, or an export's picture thread).

#include "PreviewItem.h"

#include <QAtomicInteger>
#include <QSize>
#include <QSizeF>

#include <memory>

class GsConstantBuffer;
class GsTexture;
class TransPreviewItem;

class ClipItem : public PreviewItem {
public:
    ~ClipItem() override;

    TransPreviewItem *companion() const { return m_companion; }

    void draw() override;
    bool FillTarget(GsTexture *target) override;

    // Media time of the picture the item draws now (-1 before the first one).
    int64_t shownPtsUs() const { return m_shownPts.loadRelaxed(); }
    // The texture size the item draws from (0 before the first frame).
    QSize textureSize() const;
    // The part of the slot's frame that is shown (empty without a frame).
    static QRect cropOf(const VFrameInfo &slot);
    // The size a picture of `picture` pixels is drawn at in the item's box.
    static QSizeF drawnSize(const VFrameInfo &slot, const gs_transform &placed,
                            const QSize &picture);
    // Fits a picture of aspect `a` into (w, h) keeping it, for fit mode 1.
    static QSizeF fitted(double w, double h, double a);
    // What the item draws now (on the thread that draws it).
    const RenderParam &current() const { return m_current; }

protected:
    // The companion is made here, sized to the scene.
    ClipItem(uint32_t sceneWidth, uint32_t sceneHeight);
    // The picture drawn from the next draw on; uploaded when drawn.
    void setCurrent(const RenderParam &param);

private:
    RenderParam m_current;
    std::unique_ptr<GsTexture> m_texture;
    bool m_uploadWanted = false; // a new picture not yet in m_texture
    std::unique_ptr<GsConstantBuffer> m_constants;
    TransPreviewItem *m_companion;
    QAtomicInteger<qint64> m_shownPts{-1};
};
