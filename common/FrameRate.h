#pragma once
// The timeline's one frame rate, and the length of its frame in each unit the
// code counts in. Every timeline, preview, recording and export frame is one of
// these; exports at a lower rate take every n-th.
// Lives on: any thread (constants).

#include <cmath>
#include <cstdint>

namespace timebase {

constexpr int64_t kFps = 30;
constexpr int64_t kFrameNs = 1000000000 / kFps; // 33,333,333
constexpr int64_t kFrameUs = 1000000 / kFps;    // 33,333
constexpr double kFrameMs = 1000.0 / kFps;      // 33.333...

// Milliseconds and frames, one rule each way, used wherever the two meet: the
// nearest frame. Truncating would lose a frame to floating-point error (a file of
// 120 frames lasts 4,000 ms, which is 119.99999 frames of 33.333 ms).
inline int64_t msToFrames(double ms)
{
    return int64_t(std::llround(ms * double(kFps) / 1000.0));
}

inline int64_t framesToMs(int64_t frames)
{
    return int64_t(std::llround(double(frames) * 1000.0 / double(kFps)));
}

} // namespace timebase
