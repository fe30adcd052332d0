#pragma once
// Starts and stops playback and passes the timeline's sound answers to the player
// thread. Lives on: main thread.

#include "render/RenderTypes.h"

#include <QObject>

#include <memory>

class PlaybackClock;
class PlayerThread;

class PlayerManager : public QObject {
    Q_OBJECT
public:
    explicit PlayerManager(QObject *parent = nullptr);
    ~PlayerManager() override;
    PlayerThread *thread() const { return m_thread; }
    // The frame being heard while playing; the preview shows it.
    std::shared_ptr<PlaybackClock> clock() const { return m_clock; }
    bool isPlaying() const { return m_playing; }
    void setPlaying(bool playing);
    // The sound at a frame, from the timeline; dropped while nothing plays.
    void onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t fps,
                       int64_t lastFrame);

signals:
    void sig_frontFrameRequest(MoveType type, EditType edit, int64_t times, int64_t fps);
    // The end of the timeline was reached: the playback control stops playing.
    void sig_controlPlay();

private:
    bool m_playing = false;
    PlayerThread *m_thread = nullptr;
    std::shared_ptr<PlaybackClock> m_clock;
};
