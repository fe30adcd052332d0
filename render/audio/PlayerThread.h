#pragma once
// Plays the timeline: asks for one frame at a time, mixes its 1/30 s of sound,
// writes it to the output and sleeps while enough is queued, so the sound card's
// pace sets the play position.
// Lives on: its own thread; onAudioFrames and the destructor run on the main thread
// and meet the loop only through m_mutex (the answer, the stop flag).

#include "render/RenderTypes.h"

#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

class PlaybackClock;

class PlayerThread : public QThread {
    Q_OBJECT
public:
    // `clock` learns after each frame's sound how much of it is still to be heard.
    explicit PlayerThread(std::shared_ptr<PlaybackClock> clock = nullptr,
                          QObject *parent = nullptr);
    // Stops the thread promptly, also while it waits for an answer.
    ~PlayerThread() override;

    // The sound at the requested frame; at the last frame playback ends instead.
    void onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                       int64_t lastFrame);
    int64_t framesPlayed() const { return m_played.loadRelaxed(); }

signals:
    void sig_frontFrameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);
    void sig_exit();

protected:
    void run() override;

private:
    bool m_stop = false;
    // Standard primitives: the thread tools see their ordering (Qt 5's do not).
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ready = false;
    QList<AudioFrameData> m_pending;
    int64_t m_frame = 0;
    int64_t m_fps = 30;
    QAtomicInteger<qint64> m_played;
    std::shared_ptr<PlaybackClock> m_clock;
};
