#pragma once
// Writes captured sound into a WAV file unchanged: a RIFF header carrying the
// capture format as a WAVEFORMATEX block (WAVEFORMATEXTENSIBLE when it has 22 extra
// bytes), then the sample frames. The two sizes are made true about once a second
// and when it is destroyed, so a file cut off by a crash still plays.
// Lives on: the capture side that writes it (one thread at a time).

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace wav {

enum Code {
    kOk = 0,
    kNoFile = 100,
    kHeaderFailed = 101,
    kDataFailed = 102,
    kSizeLimit = 103,
    kNoFormat = 104,
};

// A file stops growing here, the most its 32-bit RIFF size can describe (hours of
// sound: 6 h of 16-bit mono at 48 kHz); what was written stays playable.
constexpr int64_t kSizeLimitBytes = 0xFFFFFFFFLL;

struct WaveFormat {
    uint16_t formatTag = 1; // 1 integer PCM, 3 floating point, 0xFFFE extensible
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0; // 0, or 22 for the extensible fields below
    uint16_t validBitsPerSample = 0;
    uint32_t channelMask = 0;
    uint16_t subFormatTag = 0; // 1 or 3; the rest of the sub-format GUID is fixed

    // Interleaved samples of `bits` bits: extensible above two channels or when the
    // sample is wider than 16 bits, as sound devices describe such formats.
    static WaveFormat interleaved(int channels, int rate, int bits, bool floating);
};

class WavEncoder {
public:
    // Takes `file` (opened "wb"); it is closed with the encoder.
    explicit WavEncoder(FILE *file);
    ~WavEncoder();
    WavEncoder(const WavEncoder &) = delete;
    WavEncoder &operator=(const WavEncoder &) = delete;

    int writeHeader(const WaveFormat *format);
    int writeData(const void *data, size_t bytes);
    bool hasHeader() const { return m_formatSize != 0; }
    int blockAlign() const { return m_blockAlign; }
    const WaveFormat &format() const { return m_format; }
    int64_t dataBytes() const { return m_dataBytes; }

private:
    void patchSizes();

    FILE *m_file;
    int m_blockAlign = 0;
    uint32_t m_formatSize = 0; // F: the format block's size, 0 until the header is out
    WaveFormat m_format;
    int64_t m_dataBytes = 0;
    int64_t m_nextPatch = 0;
};

} // namespace wav
