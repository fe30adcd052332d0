#pragma once
// The preview item of a picture or video track: decodes the newest request on its
// own thread (at most every 40 ms) and draws the clip (ClipItem). While playing, requests are
// decoded ahead in order and each one is shown when the playback clock says its
// frame is being heard. Pictures are decoded at the size they are drawn at (from a
// proxy when one is ready), and while playing only the crop's part is converted;
// a picture that would be shown late is dropped before it is converted.
// Lives on: the main thread owns it and calls setFrameData; the player thread calls
// scheduleFrameData; its decode thread (a member) runs decodeLoop; prepare/draw run on the render
// thread. Decoded results cross to the render thread under m_itemMutex. Always held in a
// RefCountedObject.

#include "ClipItem.h"
#include "VideoDecoding.h"

#include <QList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class PlaybackClock;

class VideoPreviewItem : public ClipItem {
public:
    VideoPreviewItem(uint32_t sceneWidth, uint32_t sceneHeight);
    ~VideoPreviewItem() override;

    void setFrameData(const VideoFrameData &request) override;
    // Playback: the request for timeline frame `frame`, shown when it is heard.
    void scheduleFrameData(const VideoFrameData &request, int64_t frame);
    // The clock that says which frame is heard; without one, scheduled requests
    // are shown as soon as they are decoded.
    void setClock(std::shared_ptr<PlaybackClock> clock);
    void prepare() override;

    // Called on the decoding thread with the three frames of each decoded request
    // (current, from, to), for the crop editor.
    using FramesListener = std::function<void(const QList<VFrameInfo> &)>;
    void setFramesListener(FramesListener listener);

    // Requests decoded so far (newest only).
    int decodedRequests() const { return m_decoded.loadRelaxed(); }
    // Playback pictures dropped before conversion because they would be shown late.
    int droppedLate() const { return m_droppedLate.load(); }

private:
    // A request and, once decoded, what it shows.
    struct Timed {
        int64_t frame = -1; // -1: shown at once (not playing)
        uint64_t generation = 0;
        VideoFrameData request;
        RenderParam clip, transition;
        bool hasClip = false, hasTransition = false;
    };
    void decodeLoop();
    Timed decode(VideoTaskManager &tasks, const Timed &wanted, bool *dropped);
    int64_t heardFrame() const;
    void show(const Timed &timed); // render thread, under m_itemMutex

    std::mutex m_queueMutex;
    std::condition_variable m_wake;
    QList<Timed> m_queue;
    bool m_wakeFlag = false;
    bool m_stop = false;

    mutable std::mutex m_itemMutex;
    FramesListener m_framesListener; // under m_itemMutex
    RenderParam m_pending;
    bool m_hasPending = false;
    QList<Timed> m_decodedAhead; // decoded while playing, oldest first
    // Counts still requests: a frame decoded for playback before one is dropped.
    std::atomic<uint64_t> m_generation{0};
    std::shared_ptr<PlaybackClock> m_clock; // set before playing (main thread)

    QAtomicInt m_decoded;
    std::atomic<int> m_droppedLate{0};
    int64_t m_lastConverted = -1; // the last playback picture converted (decode thread)
    // Pixels the scene is drawn at per scene unit (render thread; 0 before the first
    // draw): pictures are decoded at the size they are drawn at.
    std::atomic<double> m_pixelsPerUnit{0};
    std::thread m_decodeThread; // last: started when all else is built
};
