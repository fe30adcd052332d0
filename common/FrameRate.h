#pragma once
// The timeline's one frame rate, and the length of its frame in each unit the
// code counts in. Every timeline, preview, recording and export frame is one of
// these; exports at a lower rate take every n-th.
// Lives on: any thread (constants).

#include <cstdint>

namespace timebase {

constexpr int64_t kFps = 30;
constexpr int64_t kFrameNs = 1000000000 / kFps; // 33,333,333
constexpr int64_t kFrameUs = 1000000 / kFps;    // 33,333
constexpr double kFrameMs = 1000.0 / kFps;      // 33.333...

} // namespace timebase
