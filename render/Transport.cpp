#include "Transport.h"

#include <algorithm>

void Transport::play()
{
    if (m_playing || m_recording)
        return;
    m_playing = true;
    emit sig_playingChanged(true);
}

void Transport::pause()
{
    if (!m_playing)
        return;
    m_playing = false;
    emit sig_playingChanged(false);
}

void Transport::togglePlay()
{
    if (m_recording)
        setRecording(false);
    else if (m_playing)
        pause();
    else
        play();
}

void Transport::seek(int64_t frame)
{
    m_playhead = std::max<int64_t>(0, frame);
    emit sig_playheadMoved(m_playhead, false);
}

void Transport::played(int64_t frame)
{
    m_playhead = std::max<int64_t>(0, frame);
    emit sig_playheadMoved(m_playhead, true);
}

void Transport::setRecording(bool on)
{
    if (on == m_recording)
        return;
    if (on)
        pause();
    m_recording = on;
    emit sig_recordingChanged(on);
}

void Transport::stop(bool stopPlay, bool stopRecord)
{
    if (stopPlay)
        pause();
    if (stopRecord)
        setRecording(false);
}
