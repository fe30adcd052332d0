#include "VideoPreviewItem.h"

#include "TransPreviewItem.h"
#include "render/player/PlaybackClock.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsScene.h"

namespace {
constexpr int64_t kDecodePeriodUs = 40000;
// Playback requests decoded ahead of the heard frame, at most (the player keeps
// about 100 ms of sound queued: three frames).
constexpr int kAheadLimit = 8;
} // namespace

VideoPreviewItem::VideoPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight)
    : ClipItem(sceneWidth, sceneHeight)
{
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
}

void VideoPreviewItem::setFrameData(const VideoFrameData &request)
{
    BG_LOG_D("VideoFrameData: %d %d", request.decodeMask, request.showMask);
    setVisible(request.showMask & SHOW_CLIP);
    companion()->setVisible(request.showMask & SHOW_TRANSITION);
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
            companion()->setPending(done.transition);
        const int64_t spent = bg::SystemServices::monotonicMicros() - t0;
        if (spent < kDecodePeriodUs)
            bg::SystemServices::sleepMs((kDecodePeriodUs - spent) / 1000);
    }
}

void VideoPreviewItem::show(const Timed &timed)
{
    const int32_t showMask = timed.request.showMask;
    if (timed.hasClip) {
        setCurrent(timed.clip);
        if (showMask & SHOW_CLIP) {
            const VFrameInfo &slot = current().current;
            MoveTo(slot.x, slot.y);
            Resize(slot.width, slot.height);
            SetRotation(slot.rotation);
        }
    }
    if (timed.hasTransition)
        companion()->setPending(timed.transition);
    setVisible(showMask & SHOW_CLIP);
    companion()->setVisible(showMask & SHOW_TRANSITION);
}

void VideoPreviewItem::prepare()
{
    if (const GsScene *s = scene(); s && s->width() > 0)
        m_pixelsPerUnit = double(s->renderWidth()) / s->width();
    const int64_t heard = heardFrame();
    std::lock_guard<std::mutex> lock(m_itemMutex);
    if (m_hasPending) { // a still request; anything decoded ahead came after it
        setCurrent(m_pending);
        m_hasPending = false;
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
    }
}

void VideoPreviewItem::setFramesListener(FramesListener listener)
{
    std::lock_guard<std::mutex> lock(m_itemMutex);
    m_framesListener = std::move(listener);
}
