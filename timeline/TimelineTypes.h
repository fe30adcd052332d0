#pragma once
// Kinds of tracks and clips, and the timeline's units: frames at 30 per second,
// 50 scene units per frame before zoom.

#include "common/FrameRate.h"

#include <cmath>
#include <cstdint>

// One bit per kind; shared with materials.
enum ClassifyType : uint32_t {
    CT_NONE = 0,
    CT_PICTURE = 1,
    CT_VIDEO = 2,
    CT_DUB = 4,
    CT_SUBTITLE = 8,
    CT_AUDIO = 16,
};

namespace timeline {

constexpr uint32_t kVisualMask = CT_PICTURE | CT_VIDEO | CT_SUBTITLE; // 11
constexpr uint32_t kColourMask = CT_PICTURE | CT_VIDEO;               // 3
constexpr uint32_t kAudibleMask = CT_VIDEO | CT_DUB | CT_AUDIO;       // 22
constexpr uint32_t kAllMask = 31;

constexpr double kFrameWidth = 50.0;
constexpr int64_t kUnboundedFrames = 10000000; // pictures and subtitles
constexpr int64_t kDefaultStillFrames = 500;

inline bool hasMask(uint32_t kind, uint32_t mask)
{
    return (kind & mask) != 0;
}

// The nearest whole frame, half upwards (2.5 → 3, −2.5 → −2): the one rounding rule
// for every time on the timeline (clips, drops, the playhead, the ruler, a file's
// fractional frames).
inline int64_t nearestFrame(double frames)
{
    return int64_t(std::floor(frames + 0.5));
}

// Scene units to frames, by the rule above.
inline int64_t toFrames(double x)
{
    return nearestFrame(x / kFrameWidth);
}

inline double toScene(int64_t frames)
{
    return double(frames) * kFrameWidth;
}

// Row heights at 96 dots per inch: video rows are taller (their filmstrips), the
// rest share one height; rows of no kind (the root) are the smallest.
constexpr int kVideoRowHeight = 48;
constexpr int kClipRowHeight = 36;
constexpr int kOtherRowHeight = 30;

// Row height of a kind at 96 dots per inch.
inline int rowHeight(uint32_t kind)
{
    switch (kind) {
    case CT_VIDEO:
        return kVideoRowHeight;
    case CT_PICTURE:
    case CT_DUB:
    case CT_SUBTITLE:
    case CT_AUDIO:
        return kClipRowHeight;
    default:
        return kOtherRowHeight;
    }
}

// Fixed row of a kind's group under the root; -1 for kinds without a group.
inline int groupRow(uint32_t kind)
{
    switch (kind) {
    case CT_VIDEO:
        return 0;
    case CT_PICTURE:
        return 1;
    case CT_AUDIO:
        return 2;
    case CT_DUB:
        return 3;
    case CT_SUBTITLE:
        return 4;
    default:
        return -1;
    }
}

} // namespace timeline
