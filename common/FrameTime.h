#pragma once
// A frame count at 30 frames a second as "hh:mm:ss,ff" (two digits each), the
// form every time display of the editor uses. `separator` goes before the frames.
// Lives on: any thread.

#include "FrameRate.h"

#include <QString>

#include <cstdint>

inline QString frameTime(int64_t frames, const QString &separator = QStringLiteral(","))
{
    auto two = [](int64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    const int64_t t = frames / timebase::kFps;
    return two(t / 3600) + ':' + two(t / 60 % 60) + ':' + two(t % 60) + separator +
           two(frames % timebase::kFps);
}
