#include "PlaybackClock.h"

#include <algorithm>

void PlaybackClock::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_known = false;
}

void PlaybackClock::publish(int64_t endFrame, int64_t fps, int64_t queuedUs, int64_t atUs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_known = fps > 0;
    m_endFrame = endFrame;
    m_fps = fps;
    m_queuedUs = std::max<int64_t>(0, queuedUs);
    m_atUs = atUs;
}

int64_t PlaybackClock::heardFrame(int64_t nowUs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_known)
        return -1;
    // Sound from before the timeline's start counts as its first frame.
    return std::max<int64_t>(
        0, heardFrameFor(m_endFrame, m_fps, m_queuedUs, std::max<int64_t>(0, nowUs - m_atUs)));
}

int64_t PlaybackClock::writtenEnd() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_known ? m_endFrame : -1;
}

int64_t PlaybackClock::heardFrameFor(int64_t endFrame, int64_t fps, int64_t queuedUs,
                                     int64_t sinceUs)
{
    if (fps <= 0)
        return -1;
    // Timeline time in microseconds of the sound at the output's ear now.
    const int64_t endUs = endFrame * 1000000 / fps;
    const int64_t heardUs = std::min(endUs - queuedUs + sinceUs, endUs - 1);
    // Floor division: a time before the timeline's start is frame -1 or less.
    const int64_t scaled = heardUs * fps;
    return scaled >= 0 ? scaled / 1000000 : -((-scaled + 999999) / 1000000);
}
