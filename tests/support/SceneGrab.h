#pragma once
// Helpers for tests that read composed pictures back: a raw output keeping the
// last frame as an image, a per-channel colour comparison and the PSNR of two
// pictures.

#include "graphics/GsDevice.h"
#include "graphics/GsFilter.h"

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// PSNR of `a` against the reference `b`. With `skipEdges`, pixels within a pixel of
// a border between black and picture in the reference are left out: the two
// renderers anti-alias a sloped edge differently, and that band would decide the
// figure alone.
inline double psnr(const QImage &a, const QImage &b, bool skipEdges = false)
{
    if (a.isNull() || a.size() != b.size())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB888),
                 y = b.convertToFormat(QImage::Format_RGB888);
    auto black = [&y](int px, int py) {
        const uchar *q = y.constScanLine(std::clamp(py, 0, y.height() - 1)) +
                         3 * std::clamp(px, 0, y.width() - 1);
        return q[0] + q[1] + q[2] < 24;
    };
    double sum = 0;
    int64_t count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row), *q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col) {
            if (skipEdges) {
                bool edge = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        edge = edge || black(col + dx, row + dy) != black(col, row);
                if (edge)
                    continue;
            }
            for (int c = 0; c < 3; ++c) {
                const double d = double(p[col * 3 + c]) - double(q[col * 3 + c]);
                sum += d * d;
            }
            ++count;
        }
    }
    const double mse = sum / (double(count) * 3);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

inline bool sameColour(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace fixtures
