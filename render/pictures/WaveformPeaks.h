#pragma once
// The loudness outline of a material's sound, for drawing its waveform: the peak
// level of every 1/200 s (0..255 of full scale), with coarser levels (each the
// maximum of two of the level below) so that any zoom reads a few values per
// drawn column. Computed once from the decoded sound; kept in a small file.
// Lives on: made on a worker thread, then read-only on the main thread.

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

class WaveformPeaks {
public:
    static constexpr int kPerSecond = 200;

    // Decodes the material's sound (mono, at a low rate: peaks need no more);
    // empty when it has none or `cancel` turned true.
    static WaveformPeaks compute(const QString &materialPath, const std::atomic<bool> *cancel);
    // Made from finest-level peaks (tests and the file reader).
    explicit WaveformPeaks(std::vector<uint8_t> finest = {});

    bool isEmpty() const { return m_levels.empty() || m_levels[0].empty(); }
    double seconds() const
    {
        return m_levels.empty() ? 0.0 : double(m_levels[0].size()) / kPerSecond;
    }
    // The highest peak in [from, to) seconds, 0..1; 0 outside the sound.
    float peak(double from, double to) const { return peakByte(from, to) / 255.0f; }
    // The same as 0..255.
    uint8_t peakByte(double from, double to) const;

    bool save(const QString &file) const;
    static WaveformPeaks load(const QString &file);

private:
    std::vector<std::vector<uint8_t>> m_levels; // [0] finest, each next half as many
};
