#include "ExportClipItem.h"

#include "render/preview/TransPreviewItem.h"

#include "graphics/GsScene.h"
#include "media/MovieInfo.h"

#include <cmath>

ExportClipItem::ExportClipItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : ClipItem(sceneWidth, sceneHeight)
{}

QSize ExportClipItem::fillingSize(const FrameSource &source) const
{
    // A clip that covers the whole scene, upright and uncropped, is decoded at the
    // size the scene is drawn at: the decoder's conversion scales it in the same
    // pass, and the picture is then copied into the scene instead of being drawn
    // scaled (which a software rasteriser does slowly).
    const GsScene *s = scene();
    if (!s || source.path.isEmpty() || source.rotation != 0 || source.x != 0 || source.y != 0)
        return QSize();
    const ff::MovieCtx *movie = ff::getMovieInfo(source.path.toUtf8().constData());
    const ff::StreamCtx *video = movie ? movie->videoStream() : nullptr;
    if (!video || video->width <= 0 || video->height <= 0)
        return QSize();
    const QSize shown(video->width, video->height);
    if (!source.crop.isEmpty() && source.crop != QRect(QPoint(0, 0), shown))
        return QSize();
    VFrameInfo slot;
    slot.fitMode = source.fitMode;
    const QSizeF drawn = drawnSize(slot, {0, 0, source.width, source.height, 0}, shown);
    if (std::abs(drawn.width() - s->width()) > 0.5 || std::abs(drawn.height() - s->height()) > 0.5)
        return QSize();
    const QSize pixels(int(s->renderWidth()), int(s->renderHeight()));
    return pixels == shown ? QSize() : pixels;
}

void ExportClipItem::show(const VideoFrameData &original)
{
    setVisible(original.showMask & SHOW_CLIP);
    companion()->setVisible(original.showMask & SHOW_TRANSITION);
    if (original.showMask == 0)
        return;
    VideoFrameData request = original;
    if (request.showMask & SHOW_CLIP) {
        request.current.decodeSize = fillingSize(request.current);
        if (!request.current.decodeSize.isEmpty())
            request.current.crop = QRect(); // the whole of the scaled picture
    }
    const QList<VFrameInfo> frames = m_tasks.fetch(request);
    RenderParam result;
    result.showMask = request.showMask;
    if (request.showMask & SHOW_CLIP) {
        result.current = frames[0];
        MoveTo(result.current.x, result.current.y);
        Resize(result.current.width, result.current.height);
        SetRotation(result.current.rotation);
        setCurrent(result);
    }
    if (request.showMask & SHOW_TRANSITION) {
        result.shader = request.shader;
        result.progress = request.progress;
        result.from = frames[1];
        result.to = frames[2];
        companion()->setPending(result);
    }
}
