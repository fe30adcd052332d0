#pragma once
// The transport: whether the timeline plays or records a voice-over, and the
// playhead frame, held once. The preview's buttons, the keys, the timeline and the
// recorder ask it to play, pause, seek or record; the render manager makes the
// player and the recorder follow it; widgets show its state.
// Lives on: main thread.

#include <QObject>

#include <cstdint>

class Transport : public QObject {
    Q_OBJECT
public:
    explicit Transport(QObject *parent = nullptr) : QObject(parent) {}

    bool isPlaying() const { return m_playing; }
    bool isRecording() const { return m_recording; }
    int64_t playhead() const { return m_playhead; }

    // Plays from the playhead (not while a take is recorded: the take owns the
    // timeline); pause() stops there.
    void play();
    void pause();
    // The play key and button: pauses or plays; while recording, ends the take.
    void togglePlay();
    // The playhead goes to `frame` (not before 0); playback, when on, goes on from
    // there.
    void seek(int64_t frame);
    // Playback has reached `frame`: the playhead follows (the player is asked nothing).
    void played(int64_t frame);
    // Starts a take (playback stops first) or ends it.
    void setRecording(bool on);
    // Before a user action that changes the timeline: stops playback and, or, the take.
    void stop(bool stopPlay, bool stopRecord);

signals:
    void sig_playingChanged(bool playing);
    void sig_recordingChanged(bool recording);
    // The playhead moved: by playback (`byPlayer`), or by a seek.
    void sig_playheadMoved(int64_t frame, bool byPlayer);

private:
    bool m_playing = false;
    bool m_recording = false;
    int64_t m_playhead = 0;
};
