#include "ClipPictures.h"

#include "render/pictures/Filmstrip.h"
#include "render/pictures/WaveformPeaks.h"

#include <QLineF>
#include <QPainter>
#include <QVector>

#include <algorithm>
#include <array>
#include <cmath>

namespace clippictures {

void drawWaveform(QPainter *painter, const WaveformPeaks &peaks, const Span &span)
{
    if (peaks.isEmpty() || span.secondsPerPixel <= 0 || span.toX <= span.fromX)
        return;
    const double middle = span.top + span.height / 2.0;
    const double reach = span.height * 0.45;
    const int first = int(std::floor(span.fromX));
    const int last = int(std::ceil(span.toX));
    // In decibels over the last 48 dB, as ears hear it: quiet music still shows. At
    // least a hairline, so that silence still shows where the sound is.
    static const std::array<double, 256> height = [] {
        std::array<double, 256> h{};
        for (int i = 1; i < 256; ++i)
            h[size_t(i)] = std::clamp(1.0 + 20.0 * std::log10(i / 255.0) / 48.0, 0.0, 1.0);
        return h;
    }();
    QVector<QLineF> lines;
    lines.reserve(last - first);
    for (int x = first; x < last; ++x) {
        const double from = span.firstSecond + x * span.secondsPerPixel;
        if (from >= peaks.seconds())
            break;
        const uint8_t peak = peaks.peakByte(from, from + span.secondsPerPixel);
        const double h = std::max(0.5, height[peak] * reach);
        lines.append(QLineF(x + 0.5, middle - h, x + 0.5, middle + h));
    }
    painter->save();
    // Whole-pixel columns in one opaque colour: smoothing or blending would only cost.
    painter->setOpacity(1.0);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(QColor(0xd8, 0xd4, 0xf0), 1.0));
    painter->drawLines(lines);
    painter->restore();
}

void drawFilmstrip(QPainter *painter, const Filmstrip &strip, const Span &span)
{
    if (strip.isEmpty() || span.secondsPerPixel <= 0 || span.toX <= span.fromX || span.height <= 0)
        return;
    // Drawn from a copy at the band's height, so every picture is a plain copy.
    const int h = int(span.height);
    const QImage &pictures = strip.scaledTo(h);
    const int w = strip.pictureWidthAt(h);
    const int first = std::max(0, int(std::floor(span.fromX / w)));
    const int last = int(std::ceil(span.toX / w));
    for (int k = first; k < last; ++k) {
        const double x = double(k) * w;
        const int index =
            strip.pictureAt(span.firstSecond + x * span.secondsPerPixel).x() / strip.pictureWidth();
        // The last picture is cut at the clip's end, never drawn past it.
        const int shown = std::min(w, int(std::ceil(span.toX - x)));
        if (shown > 0)
            painter->drawImage(QPointF(x, span.top), pictures, QRect(index * w, 0, shown, h));
    }
}

} // namespace clippictures
