#include "VideoPreviewItem.h"

#include "render/ShaderLibrary.h"

#include "TransPreviewItem.h"
#include "render/RefCountedObject.h"
#include "render/audio/PlaybackClock.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsScene.h"
#include "graphics/GsTexture.h"
#include "media/MovieInfo.h"

#include <cmath>

namespace {
constexpr int64_t kDecodePeriodUs = 40000;
// Playback requests decoded ahead of the heard frame, at most (the player keeps
// about 100 ms of sound queued: three frames).
constexpr int kAheadLimit = 8;
} // namespace

VideoPreviewItem::VideoPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : m_companion(new RefCountedObject<TransPreviewItem>(sceneWidth, sceneHeight))
{
    m_companion->AddRef();
    m_decodeThread = std::thread([this] { decodeLoop(); });
}

VideoPreviewItem::~VideoPreviewItem()
{
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_stop = true;
        m_wakeFlag = true;
        m_wake.notify_all();
    }
    m_decodeThread.join();
    m_companion->Release();
}

QSizeF VideoPreviewItem::fitted(double w, double h, double a)
{
    if (h <= 0 || a <= 0)
        return QSizeF(w, h);
    return w / h >= a ? QSizeF(h * a, h) : QSizeF(w, w / a);
}

void VideoPreviewItem::setFrameData(const VideoFrameData &request)
{
    BG_LOG_D("VideoFrameData: %d %d", request.decodeMask, request.showMask);
    setVisible(request.showMask & SHOW_CLIP);
    m_companion->setVisible(request.showMask & SHOW_TRANSITION);
    {
        std::lock_guard<std::mutex> lock(m_itemMutex);
        ++m_generation;
        m_decodedAhead.clear(); // what playback decoded ahead is not shown any more
    }
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_queue.clear(); // only the newest request is decoded
    m_queue << Timed{-1, m_generation, request, {}, {}, false, false};
    m_wakeFlag = true;
    m_wake.notify_all();
}

void VideoPreviewItem::scheduleFrameData(const VideoFrameData &request, int64_t frame)
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    // A still or seek request waiting is overtaken by playback.
    m_queue.erase(
        std::remove_if(m_queue.begin(), m_queue.end(), [](const Timed &t) { return t.frame < 0; }),
        m_queue.end());
    m_queue << Timed{std::max<int64_t>(0, frame), m_generation, request, {}, {}, false, false};
    while (m_queue.size() > kAheadLimit)
        m_queue.removeFirst();
    m_wakeFlag = true;
    m_wake.notify_all();
}

void VideoPreviewItem::setClock(std::shared_ptr<PlaybackClock> clock)
{
    std::lock_guard<std::mutex> lock(m_itemMutex);
    m_clock = std::move(clock);
}

int64_t VideoPreviewItem::heardFrame() const
{
    std::shared_ptr<PlaybackClock> clock;
    {
        std::lock_guard<std::mutex> lock(m_itemMutex);
        clock = m_clock;
    }
    return clock ? clock->heardFrame(bg::SystemServices::monotonicMicros()) : -1;
}

VideoPreviewItem::Timed VideoPreviewItem::decode(VideoTaskManager &tasks, const Timed &wanted,
                                                 bool *dropped)
{
    Timed done = wanted;
    *dropped = false;
    const VideoFrameData &request = wanted.request;
    if (request.decodeMask == 0)
        return done; // nothing on the track: shown as hidden
    DecodeFit fit;
    fit.pixelsPerUnit = m_pixelsPerUnit.load();
    fit.useProxies = true;
    const bool playing = wanted.frame >= 0;
    fit.partOnly = playing; // a still also feeds the crop editor, which shows it whole
    bool late = false;
    if (playing)
        fit.stillWanted = [this, &late, frame = wanted.frame] {
            // Already heard, and a newer picture waits: it would be passed over, so it
            // is not converted. But when decoding falls behind, every picture is late:
            // one is converted whenever the one on screen is older than two frames, so
            // that the picture keeps up as well as the machine can.
            const int64_t heard = heardFrame();
            if (heard < 0 || frame >= heard || heard - m_lastConverted > 2)
                return true;
            std::lock_guard<std::mutex> lock(m_queueMutex);
            late = !m_queue.isEmpty();
            return !late;
        };
    const QList<VFrameInfo> frames = tasks.fetch(request, fit);
    if (late) {
        *dropped = true;
        ++m_droppedLate;
        return done;
    }
    if (playing)
        m_lastConverted = wanted.frame;
    if ((request.showMask & SHOW_CLIP) || (request.decodeMask & DECODE_CURRENT)) {
        done.clip.current = frames[0];
        done.clip.showMask = request.showMask;
        done.hasClip = true;
    }
    if ((request.showMask & SHOW_TRANSITION) || (request.decodeMask & (DECODE_FROM | DECODE_TO))) {
        done.transition.shader = request.shader;
        done.transition.progress = request.progress;
        done.transition.from = frames[1];
        done.transition.to = frames[2];
        done.transition.showMask = request.showMask;
        done.hasTransition = true;
    }
    FramesListener listener;
    {
        std::lock_guard<std::mutex> lock(m_itemMutex);
        listener = m_framesListener;
    }
    if (listener && done.hasClip && !playing)
        listener(frames); // the crop editor shows the same frame
    m_decoded.ref();
    return done;
}

void VideoPreviewItem::decodeLoop()
{
    VideoTaskManager tasks;
    while (true) {
        const int64_t t0 = bg::SystemServices::monotonicMicros();
        Timed wanted;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_wake.wait(lock, [this] { return m_wakeFlag; });
            if (m_stop)
                break;
            if (m_queue.isEmpty()) {
                m_wakeFlag = false;
                continue;
            }
            if (m_queue.last().frame >= 0) {
                // Playing: every frame in order, but one already heard would never
                // be shown, so it is skipped (the newest is always decoded).
                const int64_t heard = heardFrame();
                while (m_queue.size() > 1 && m_queue.first().frame < heard)
                    m_queue.removeFirst();
                wanted = m_queue.takeFirst();
            } else {
                wanted = m_queue.takeLast();
                m_queue.clear();
            }
            m_wakeFlag = !m_queue.isEmpty();
        }
        bool dropped = false;
        const Timed done = decode(tasks, wanted, &dropped);
        if (dropped)
            continue;
        if (done.frame >= 0) {
            std::lock_guard<std::mutex> lock(m_itemMutex);
            if (done.generation != m_generation)
                continue; // a seek came meanwhile
            m_decodedAhead << done;
            while (m_decodedAhead.size() > kAheadLimit)
                m_decodedAhead.removeFirst();
            continue; // no pause: playback needs every frame
        }
        if (done.hasClip) {
            std::lock_guard<std::mutex> lock(m_itemMutex);
            m_pending = done.clip;
            m_hasPending = true;
        }
        if (done.hasTransition)
            m_companion->setPending(done.transition);
        const int64_t spent = bg::SystemServices::monotonicMicros() - t0;
        if (spent < kDecodePeriodUs)
            bg::SystemServices::sleepMs((kDecodePeriodUs - spent) / 1000);
    }
}

void VideoPreviewItem::show(const Timed &timed)
{
    const int32_t showMask = timed.request.showMask;
    if (timed.hasClip) {
        m_current = timed.clip;
        if (showMask & SHOW_CLIP) {
            const VFrameInfo &slot = m_current.current;
            MoveTo(slot.x, slot.y);
            Resize(slot.width, slot.height);
            SetRotation(slot.rotation);
        }
    }
    if (timed.hasTransition)
        m_companion->setPending(timed.transition);
    setVisible(showMask & SHOW_CLIP);
    m_companion->setVisible(showMask & SHOW_TRANSITION);
}

void VideoPreviewItem::prepare()
{
    if (const GsScene *s = scene(); s && s->width() > 0)
        m_pixelsPerUnit = double(s->renderWidth()) / s->width();
    if (!m_exportMode) {
        const int64_t heard = heardFrame();
        std::lock_guard<std::mutex> lock(m_itemMutex);
        bool shown = false;
        if (m_hasPending) { // a still request; anything decoded ahead came after it
            m_current = m_pending;
            m_hasPending = false;
            shown = true;
        }
        // Playing: the newest decoded frame that is being heard (all of them once
        // the clock has stopped); the ones before it are passed over.
        int pick = -1;
        for (int i = 0; i < m_decodedAhead.size(); ++i)
            if (heard < 0 || m_decodedAhead[i].frame <= heard)
                pick = i;
        if (pick >= 0) {
            show(m_decodedAhead[pick]);
            m_decodedAhead.erase(m_decodedAhead.begin(), m_decodedAhead.begin() + pick + 1);
            shown = true;
        }
        if (!shown)
            return;
    }
    if (m_current.current.frame) {
        // Uploaded when drawn: a picture written straight into the scene needs none.
        m_uploadWanted = true;
        m_shownPts.storeRelaxed(m_current.current.frame->ptsUs);
    }
}

void VideoPreviewItem::setFramesListener(FramesListener listener)
{
    std::lock_guard<std::mutex> lock(m_itemMutex);
    m_framesListener = std::move(listener);
}

QSize VideoPreviewItem::textureSize() const
{
    return cropOf(m_current.current).size();
}

QSizeF VideoPreviewItem::drawnSize(const VFrameInfo &slot, const gs_transform &placed,
                                   const QSize &picture)
{
    const QSizeF box(placed.width, placed.height);
    if (slot.fitMode != 1 || picture.isEmpty())
        return box;
    return fitted(box.width(), box.height(), double(picture.width()) / picture.height());
}

QRect VideoPreviewItem::cropOf(const VFrameInfo &slot)
{
    if (!slot.frame)
        return QRect();
    const QRect whole(0, 0, slot.frame->width, slot.frame->height);
    return slot.crop.isEmpty() ? whole : slot.crop.intersected(whole);
}

bool VideoPreviewItem::FillTarget(GsTexture *target)
{
    const VFrameInfo &slot = m_current.current;
    if (!visible || !target || !slot.frame || !slot.frame->opaque || slot.transparency < 1.0f)
        return false;
    const float colour[6] = {slot.temperature, slot.hue,        slot.brightness,
                             slot.contrast,    slot.saturation, slot.highlight};
    if (std::any_of(colour, colour + 6, [](float c) { return c != 0.0f; }))
        return false;
    // It must cover the scene exactly, with one texel for each pixel of the image
    // (which may be smaller than the scene when the views show it smaller).
    const QRect crop = cropOf(slot);
    const gs_transform placed = transform();
    const QSize pixels(target->width(), target->height());
    const QSizeF units(scene() ? scene()->width() : 0, scene() ? scene()->height() : 0);
    if (placed.rotation != 0 || placed.x != 0 || placed.y != 0 || crop.size() != pixels ||
        drawnSize(slot, placed, crop.size()) != units)
        return false;
    return target->Update(slot.frame->pixel(crop.x(), crop.y()), slot.frame->stride, crop.width(),
                          crop.height());
}

void VideoPreviewItem::draw()
{
    if (!visible || !scene())
        return;
    const VFrameInfo &slot = m_current.current;
    if (m_uploadWanted) {
        uploadCrop(slot, m_texture);
        m_uploadWanted = false;
    }
    if (!m_texture)
        return;
    const gs_transform placed = transform();
    const QSizeF size = drawnSize(slot, placed, cropOf(slot).size());
    if (!m_constants)
        m_constants = std::make_unique<GsConstantBuffer>(32);
    const float constants[8] = {slot.temperature, slot.hue,       slot.brightness,   slot.contrast,
                                slot.saturation,  slot.highlight, slot.transparency, 0.0f};
    m_constants->Update(constants, sizeof constants);
    if (!GsContextDefault::BindShader(ShaderLibrary::clipProgram(constants)))
        return;
    m_constants->Bind();
    GsTextureBinder bind(m_texture.get());
    const float w = float(scene()->width()), h = float(scene()->height());
    GsContextDefault::SetViewport(0, 0, int(scene()->renderWidth()), int(scene()->renderHeight()));
    // An opaque picture at full opacity covers what is below: no blending needed.
    const bool opaque = slot.frame && slot.frame->opaque && slot.transparency >= 1.0f;
    if (opaque)
        GsContextDefault::SetBlending(false);
    GsContextDefault::DrawRect(
        {placed.x, placed.y, float(size.width()), float(size.height()), placed.rotation}, {w, h},
        m_texture.get());
    if (opaque)
        GsContextDefault::SetBlending(true);
    GsContextDefault::UnbindShader();
}

QSize VideoPreviewItem::fillingSize(const FrameSource &source) const
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

RenderParam VideoPreviewItem::decodeNow(const VideoFrameData &original)
{
    RenderParam result;
    if (!m_exportTasks || original.showMask == 0)
        return result;
    VideoFrameData request = original;
    if (request.showMask & SHOW_CLIP) {
        request.current.decodeSize = fillingSize(request.current);
        if (!request.current.decodeSize.isEmpty())
            request.current.crop = QRect(); // the whole of the scaled picture
    }
    const QList<VFrameInfo> frames = m_exportTasks->fetch(request);
    if (request.showMask & SHOW_CLIP)
        result.current = frames[0];
    if (request.showMask & SHOW_TRANSITION) {
        result.shader = request.shader;
        result.progress = request.progress;
        result.from = frames[1];
        result.to = frames[2];
    }
    result.showMask = request.showMask;
    return result;
}

void VideoPreviewItem::apply(const RenderParam &result)
{
    if (result.showMask & SHOW_CLIP) {
        m_current.current = result.current;
        MoveTo(result.current.x, result.current.y);
        Resize(result.current.width, result.current.height);
        SetRotation(result.current.rotation);
    }
    if (result.showMask & SHOW_TRANSITION)
        m_companion->setCurrent(result);
    setVisible(result.showMask & SHOW_CLIP);
    m_companion->setVisible(result.showMask & SHOW_TRANSITION);
}

void VideoPreviewItem::beginExport()
{
    m_exportTasks = std::make_unique<VideoTaskManager>();
    m_exportMode = true;
    m_companion->setExportMode(true);
}

void VideoPreviewItem::endExport()
{
    m_exportTasks.reset();
    m_exportMode = false;
    m_companion->setExportMode(false);
}
