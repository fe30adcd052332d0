#pragma once
// Starts and stops playback: the player thread reads the published timeline,
// hands the pictures to the preview's route and reports where it plays, which
// this passes on to the main thread's listeners (the playhead; the preview for
// frames the route refused).
// Lives on: main thread.

#include "render/RenderTypes.h"
#include "render/TimelineReader.h"

#include <QObject>

#include <memory>

class PlaybackClock;
class PlaybackRoute;
class PlayerThread;

class PlayerManager : public QObject {
    Q_OBJECT
public:
    explicit PlayerManager(QObject *parent = nullptr);
    ~PlayerManager() override;
    PlayerThread *thread() const { return m_thread; }
    // The frame being heard while playing; the preview shows it.
    std::shared_ptr<PlaybackClock> clock() const { return m_clock; }
    // What is played: the timeline's published state.
    void setTimeline(std::shared_ptr<TimelineFeed> timeline) { m_timeline = std::move(timeline); }
    // Where the player hands the pictures (taken by the next playback).
    void setRoute(std::shared_ptr<PlaybackRoute> route) { m_route = std::move(route); }
    bool isPlaying() const { return m_playing; }
    // Starts playing from the frame after `fromFrame`, or stops.
    void setPlaying(bool playing, int64_t fromFrame = 0);
    // The playhead was moved while playing: playback goes on from there.
    void seek(int64_t frame);

signals:
    // The frame played last (main thread): the playhead moves there.
    void sig_framePlayed(int64_t frame);
    // A frame played whose pictures the route refused: the preview places them.
    void sig_picturesToPlace(const QList<TrackFrame> &pictures);
    // The end of the timeline was reached: the playback control stops playing.
    void sig_controlPlay();

private:
    bool m_playing = false;
    PlayerThread *m_thread = nullptr;
    std::shared_ptr<PlaybackClock> m_clock;
    std::shared_ptr<TimelineFeed> m_timeline;
    std::shared_ptr<PlaybackRoute> m_route;
};
