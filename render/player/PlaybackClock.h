#pragma once
// The timeline frame being heard during playback: the end of the sound handed to
// the output, minus what the output still holds, moved on by the time passed since
// that was measured. The preview shows this frame, so the picture keeps step with
// the sound instead of running ahead by the output's queue.
// Lives on: published by the player thread, read by the render thread and the
// preview items' decode threads; one mutex guards the published values.

#include "common/FrameRate.h"

#include <cstdint>
#include <mutex>

class PlaybackClock {
public:
    // Playback starts or ends: nothing is known until the next publish.
    void reset();
    // After the sound of a frame was queued: `endFrame` is the frame after it,
    // `queuedUs` the sound not yet heard, measured at `atUs` (monotonic clock).
    void publish(int64_t endFrame, int64_t fps, int64_t queuedUs, int64_t atUs);
    // The frame heard at `nowUs`, or -1 while nothing plays.
    int64_t heardFrame(int64_t nowUs) const;
    // The frame after the last one whose sound was queued, or -1 while nothing plays.
    int64_t writtenEnd() const;

    // The frame heard `sinceUs` after `queuedUs` of sound was still waiting in front
    // of `endFrame`; never the frame at `endFrame` or later, whose sound is not out yet.
    static int64_t heardFrameFor(int64_t endFrame, int64_t fps, int64_t queuedUs, int64_t sinceUs);

private:
    mutable std::mutex m_mutex;
    bool m_known = false;
    int64_t m_endFrame = 0;
    int64_t m_fps = timebase::kFps;
    int64_t m_queuedUs = 0;
    int64_t m_atUs = 0;
};
