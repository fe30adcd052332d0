#pragma once
// Small pictures along a video material, for the clips on the timeline: one every
// `interval()` seconds (at least one a second, at most 240 for the whole file),
// each `kHeight` pixels high, side by side in one image. Decoded once from the
// nearest key frames; kept as one PNG with the interval in its text.
// Lives on: made on a worker thread, then read-only on the main thread.

#include <QImage>
#include <QString>

#include <atomic>

class Filmstrip {
public:
    static constexpr int kHeight = 48;
    static constexpr int kMaxPictures = 240;

    static Filmstrip compute(const QString &materialPath, const std::atomic<bool> *cancel);
    Filmstrip() = default;
    Filmstrip(QImage strip, int pictureWidth, double interval);

    bool isEmpty() const { return m_strip.isNull() || m_count == 0; }
    int pictureWidth() const { return m_width; }
    double interval() const { return m_interval; }
    int count() const { return m_count; }
    const QImage &strip() const { return m_strip; }
    // Where the picture nearest before `seconds` lies in strip().
    QRect pictureAt(double seconds) const;
    // The strip scaled to `height` (kept for the next call: the timeline draws at
    // one height). Main thread only.
    const QImage &scaledTo(int height) const;
    // The width of one picture in scaledTo(height).
    int pictureWidthAt(int height) const;

    bool save(const QString &file) const;
    static Filmstrip load(const QString &file);

private:
    QImage m_strip;
    int m_width = 0;
    int m_count = 0;
    double m_interval = 1.0;
    mutable QImage m_scaled; // main thread
};
