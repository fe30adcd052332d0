#include "ExportClipItem.h"

#include "render/compose/TransPreviewItem.h"

#include "graphics/GsScene.h"
#include "media/MovieInfo.h"

#include <cmath>

ExportClipItem::ExportClipItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : ClipItem(sceneWidth, sceneHeight)
{}

QSize ExportClipItem::shownSize(const QString &path)
{
    auto it = m_shownSizes.constFind(path);
    if (it != m_shownSizes.constEnd())
        return it.value();
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    const ff::StreamCtx *video = movie ? movie->videoStream() : nullptr;
    const QSize shown = video && video->width > 0 && video->height > 0
                            ? QSize(video->width, video->height)
                            : QSize();
    m_shownSizes.insert(path, shown);
    return shown;
}

bool ExportClipItem::fillsScene(const FrameSource &source)
{
    const GsScene *s = scene();
    if (!s || source.path.isEmpty() || source.rotation != 0 || source.x != 0 || source.y != 0)
        return false;
    const QRect whole(QPoint(0, 0), shownSize(source.path));
    const QRect part = source.crop.isEmpty() ? whole : source.crop.intersected(whole);
    if (part.isEmpty())
        return false;
    VFrameInfo slot;
    slot.fitMode = source.fitMode;
    const QSizeF drawn = drawnSize(slot, {0, 0, source.width, source.height, 0}, part.size());
    return std::abs(drawn.width() - s->width()) <= 0.5 &&
           std::abs(drawn.height() - s->height()) <= 0.5;
}

QSize ExportClipItem::fillingSize(const FrameSource &source)
{
    // A clip that covers the whole scene, upright and uncropped, is decoded at the
    // size the scene is drawn at: the decoder's conversion scales it in the same
    // pass, and the picture is then copied into the scene instead of being drawn
    // scaled (which a software rasteriser does slowly).
    const QSize shown = shownSize(source.path);
    if ((!source.crop.isEmpty() && source.crop != QRect(QPoint(0, 0), shown)) ||
        !fillsScene(source))
        return QSize();
    const QSize pixels(int(scene()->renderWidth()), int(scene()->renderHeight()));
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
