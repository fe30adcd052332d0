#pragma once
// Helpers for tests that read composed pictures back: a raw output keeping the
// last frame as an image, and a per-channel colour comparison.

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"

#include <QColor>
#include <QImage>

#include <cstdlib>

namespace fixtures {

class LastFrame : public GsOutputRaw {
public:
    using GsOutputRaw::GsOutputRaw;
    QImage image;

protected:
    void OnFrame(const uint8_t *pixels, size_t, int stride, int64_t) override
    {
        image = QImage(pixels, width(), height(), stride, QImage::Format_RGBA8888).copy();
    }
};

// Runs `ticks` render passes of the default device over `scene` and returns the
// last composed picture (the first tick takes decoded frames, a later one draws).
inline QImage composeScene(GsScene *scene, int width, int height, int ticks = 1)
{
    LastFrame grab(scene, width, height, GS_RGBA);
    grab.Attach();
    GsDevice *dev = GsDevice::DefaultDevice();
    for (int i = 0; i < ticks; ++i) {
        dev->TickSource();
        dev->HandleFilter();
        dev->OutputFrame(0, 1);
    }
    grab.Flush();
    grab.Detach();
    return grab.image;
}

inline bool sameColour(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace fixtures
