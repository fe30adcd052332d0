#include "WaveformPeaks.h"

#include "media/FFDecoder.h"
#include "media/MovieInfo.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int kRate = 8000; // samples per second decoded for the outline
constexpr int kBin = kRate / WaveformPeaks::kPerSecond;
constexpr quint32 kMagic = 0x5a504b31; // "ZPK1"
} // namespace

WaveformPeaks::WaveformPeaks(std::vector<uint8_t> finest)
{
    if (finest.empty())
        return;
    m_levels.push_back(std::move(finest));
    while (m_levels.back().size() > 1) {
        const std::vector<uint8_t> &below = m_levels.back();
        std::vector<uint8_t> up((below.size() + 1) / 2);
        for (size_t i = 0; i < up.size(); ++i)
            up[i] =
                std::max(below[2 * i], 2 * i + 1 < below.size() ? below[2 * i + 1] : uint8_t(0));
        m_levels.push_back(std::move(up));
    }
}

WaveformPeaks WaveformPeaks::compute(const QString &materialPath, const std::atomic<bool> *cancel)
{
    const ff::MovieCtx *movie = ff::getMovieInfo(materialPath.toUtf8().constData(), cancel);
    if (!movie || !movie->audioStream())
        return WaveformPeaks();
    ff::FFDecoder decoder;
    if (!decoder.open(*movie->audioStream(), kRate, 1))
        return WaveformPeaks();
    std::vector<uint8_t> peaks;
    int level = 0; // of the bin being filled
    int filled = 0;
    // One second at a time, until the decoder has no more.
    for (int64_t second = 0;; ++second) {
        if (cancel && *cancel)
            return WaveformPeaks();
        const ff::AFramePtr slice = decoder.getAudioFrame({{second, 1}, {second + 1, 1}});
        if (!slice)
            break;
        for (int16_t s : slice->samples) {
            level = std::max(level, std::abs(int(s)));
            if (++filled == kBin) {
                peaks.push_back(uint8_t(std::min(255, (level * 255 + 16383) / 32767)));
                level = filled = 0;
            }
        }
        if (movie->durationUs > 0 && (second + 1) * 1000000 >= movie->durationUs + 1000000)
            break;
    }
    if (filled > 0)
        peaks.push_back(uint8_t(std::min(255, (level * 255 + 16383) / 32767)));
    // The end of the sound: trailing silence past the stream's length is not its outline.
    if (movie->durationUs > 0)
        peaks.resize(
            std::min(peaks.size(), size_t(std::ceil(movie->durationUs * 1e-6 * kPerSecond))));
    return WaveformPeaks(std::move(peaks));
}

uint8_t WaveformPeaks::peakByte(double from, double to) const
{
    if (isEmpty())
        return 0;
    const int64_t n = int64_t(m_levels[0].size());
    // A bin boundary given in seconds may come back a hair off: it stays a boundary.
    int64_t a = std::max<int64_t>(0, int64_t(std::floor(from * kPerSecond + 1e-6)));
    int64_t b = std::min<int64_t>(n, std::max(a + 1, int64_t(std::ceil(to * kPerSecond - 1e-6))));
    if (a >= b)
        return 0;
    // As in a segment tree: the ragged ends at each level, the rest one level up.
    uint8_t best = 0;
    for (size_t level = 0; a < b && level < m_levels.size(); ++level) {
        const std::vector<uint8_t> &values = m_levels[level];
        if (a & 1)
            best = std::max(best, values[size_t(a++)]);
        if (b & 1)
            best = std::max(best, values[size_t(--b)]);
        a >>= 1;
        b >>= 1;
    }
    return best;
}

bool WaveformPeaks::save(const QString &file) const
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QDataStream stream(&out);
    stream << kMagic << quint32(kPerSecond) << quint32(isEmpty() ? 0 : m_levels[0].size());
    if (!isEmpty())
        stream.writeRawData(reinterpret_cast<const char *>(m_levels[0].data()),
                            int(m_levels[0].size()));
    return stream.status() == QDataStream::Ok && out.flush() && out.commit();
}

WaveformPeaks WaveformPeaks::load(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return WaveformPeaks();
    QDataStream stream(&in);
    quint32 magic = 0, rate = 0, count = 0;
    stream >> magic >> rate >> count;
    if (magic != kMagic || rate != quint32(kPerSecond) || count > 200u * 3600 * 24)
        return WaveformPeaks();
    std::vector<uint8_t> peaks(count);
    if (count &&
        stream.readRawData(reinterpret_cast<char *>(peaks.data()), int(count)) != int(count))
        return WaveformPeaks();
    return WaveformPeaks(std::move(peaks));
}
