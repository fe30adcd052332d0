#pragma once
// Plays the timeline: one frame at a time it takes the newest published timeline
// state, evaluates the frame's pictures and sound itself, hands the pictures to the
// preview items' queues (PlaybackRoute), tells the main thread which frame it plays
// (the playhead follows), mixes the frame's 1/30 s of sound, writes it to the
// output and sleeps while enough is queued, so the sound card's pace sets the play
// position. Nothing waits for the main thread, and a busy one delays only the
// playhead's red line.
// Lives on: its own thread; the constructor and destructor run on the main thread
// and meet the loop only through its stop signal.

#include "common/StopSignal.h"
#include "render/RenderTypes.h"
#include "render/TimelineReader.h"

#include <QThread>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

class PlaybackClock;
class PlaybackRoute;

class PlayerThread : public QThread {
    Q_OBJECT
public:
    // Plays from the frame after `fromFrame`. `clock` learns after each frame's
    // sound how much of it is still to be heard.
    // `route` takes the pictures (without one they all go to the main thread).
    PlayerThread(std::shared_ptr<TimelineFeed> timeline, int64_t fromFrame,
                 std::shared_ptr<PlaybackClock> clock = nullptr,
                 std::shared_ptr<PlaybackRoute> route = nullptr, QObject *parent = nullptr);
    // Stops the thread promptly.
    ~PlayerThread() override;

    // The user moved the playhead while playing: play on from the frame after it.
    void seek(int64_t frame) { m_seek = frame; }

    // A frame played whose pictures the route refused: what every visual track
    // shows there, for the main thread to place.
    struct Played {
        int64_t frame = 0;
        QList<TrackFrame> pictures;
    };
    // Those frames since the last call, oldest first (main thread).
    std::deque<Played> takePlayed();
    // The frame played last (-1 before the first).
    int64_t lastPlayed() const { return m_lastPlayed.load(); }

signals:
    // Emitted on the player thread after a frame was played, once until the main
    // thread calls takePlayed() (a busy main thread is not flooded).
    void sig_framesPlayed();
    // The last frame of the timeline was reached (or there is nothing to play).
    void sig_exit();

protected:
    void run() override;

private:
    const std::shared_ptr<TimelineFeed> m_timeline;
    const int64_t m_from;
    StopSignal m_stop;
    // Standard primitives: the thread tools see their ordering (Qt 5's do not).
    std::mutex m_playedMutex; // the one way across for played frames
    std::deque<Played> m_playedFrames;
    std::atomic<int64_t> m_seek{-1};
    std::atomic<int64_t> m_lastPlayed{-1};
    std::atomic<bool> m_notified{false}; // sig_framesPlayed sent, not yet taken
    std::shared_ptr<PlaybackClock> m_clock;
    std::shared_ptr<PlaybackRoute> m_route;
};
