#pragma once
// Plain types of the decoder library: rational times, media descriptions and
// shared decoded frames. No FFmpeg type appears here.
// Lives on: any thread (values and immutable shared frames).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace ff {

struct Rational {
    int64_t num = 0;
    int64_t den = 1;

    Rational() = default;
    Rational(int64_t n, int64_t d) : num(n), den(d == 0 ? 1 : d) {}
    double toDouble() const { return double(num) / double(den); }
    Rational operator+(const Rational &o) const;
    Rational operator-(const Rational &o) const;
    bool operator==(const Rational &o) const { return num * o.den == o.num * den; }
    // Index of the sample at this time at `rate` samples per second, rounded to nearest.
    int64_t toSamples(int rate) const;
};

enum class StreamKind { Video, Audio, Other };

struct MovieCtx;

struct StreamCtx {
    int index = -1;
    StreamKind kind = StreamKind::Other;
    int64_t duration = 0; // in time-base units
    Rational timeBase;
    int width = 0, height = 0;           // video, as shown: square pixels, turned upright
    int codedWidth = 0, codedHeight = 0; // video, as stored
    int quarterTurns = 0;                // video: clockwise turns applied when shown
    int sampleRate = 0, channels = 0;    // audio
    double frameRate = 0;                // video, average
    std::string codec;                   // video: the codec's short name ("h264", "hevc")
    const MovieCtx *movie = nullptr;
};

struct MovieCtx {
    std::string path;
    std::string formatName;
    int64_t durationUs = 0;
    std::vector<StreamCtx> streams;
    int videoIndex = -1; // selected streams, negative when absent
    int audioIndex = -1;

    const StreamCtx *videoStream() const
    {
        return videoIndex >= 0 ? &streams[size_t(videoIndex)] : nullptr;
    }
    const StreamCtx *audioStream() const
    {
        return audioIndex >= 0 ? &streams[size_t(audioIndex)] : nullptr;
    }
};

// FFmpeg's converters read and write whole SIMD blocks: buffers handed to them start
// on a 64-byte boundary, rows are a multiple of 64 bytes apart, and 64 bytes of slack
// follow the last row.
constexpr size_t kBufferAlign = 64;
constexpr size_t kBufferPadding = 64;

template <class T> struct AlignedAllocator {
    using value_type = T;
    AlignedAllocator() = default;
    template <class U> AlignedAllocator(const AlignedAllocator<U> &) {}
    T *allocate(size_t n)
    {
        return static_cast<T *>(::operator new(n * sizeof(T), std::align_val_t(kBufferAlign)));
    }
    void deallocate(T *p, size_t) { ::operator delete(p, std::align_val_t(kBufferAlign)); }
    template <class U> bool operator==(const AlignedAllocator<U> &) const { return true; }
    template <class U> bool operator!=(const AlignedAllocator<U> &) const { return false; }
};
using PixelBuffer = std::vector<uint8_t, AlignedAllocator<uint8_t>>;

// A decoded picture: 32-bit RGBA pixels, rows `stride` bytes apart (stride may exceed
// width × 4). `pixels` holds stride × height bytes plus the converters' slack.
// Or, when `yuv`, 8-bit YUV 4:2:0: the Y rows `stride` apart, then the U and the V
// rows (half as many, half as wide, rounded up) `chromaStride` apart.
struct VFrameCtx {
    int width = 0;
    int height = 0;
    int stride = 0;
    int64_t ptsUs = 0;  // presentation time from the start of the media
    bool opaque = true; // the source has no alpha channel: every pixel's alpha is 255
    bool yuv = false;
    int chromaStride = 0;
    PixelBuffer pixels;

    // Sizes the buffer for a w × h picture with an aligned stride and the slack.
    void allocate(int w, int h)
    {
        width = w;
        height = h;
        stride = int((size_t(w) * 4 + kBufferAlign - 1) / kBufferAlign * kBufferAlign);
        pixels.resize(size_t(stride) * size_t(h) + kBufferPadding);
    }

    void allocateYuv(int w, int h)
    {
        width = w;
        height = h;
        yuv = true;
        stride = int((size_t(w) + kBufferAlign - 1) / kBufferAlign * kBufferAlign);
        chromaStride = int((size_t(w + 1) / 2 + kBufferAlign - 1) / kBufferAlign * kBufferAlign);
        pixels.resize(size_t(stride) * size_t(h) + 2 * size_t(chromaStride) * size_t((h + 1) / 2) +
                      kBufferPadding);
    }
    // A YUV picture's plane: 0 Y, 1 U, 2 V.
    uint8_t *plane(int i)
    {
        const size_t luma = size_t(stride) * size_t(height);
        const size_t chroma = size_t(chromaStride) * size_t((height + 1) / 2);
        return pixels.data() + (i == 0 ? 0 : luma + size_t(i - 1) * chroma);
    }
    const uint8_t *plane(int i) const { return const_cast<VFrameCtx *>(this)->plane(i); }
    int planeStride(int i) const { return i == 0 ? stride : chromaStride; }
    const uint8_t *data() const { return pixels.data(); }
    uint8_t *data() { return pixels.data(); }
    const uint8_t *pixel(int x, int y) const
    {
        return pixels.data() + size_t(y) * size_t(stride) + size_t(x) * 4;
    }
};
using VFramePtr = std::shared_ptr<const VFrameCtx>;

// Sample formats; code 2 is interleaved signed 16-bit.
enum SampleFormat : int { SAMPLE_S16 = 2 };

// A decoded slice of sound: interleaved signed 16-bit samples.
struct AFrameCtx {
    int sampleRate = 44100;
    int channels = 2;
    int64_t firstSample = 0;      // index of the first sample at sampleRate
    std::vector<int16_t> samples; // frames × channels

    int64_t frameCount() const { return channels ? int64_t(samples.size()) / channels : 0; }
};
using AFramePtr = std::shared_ptr<const AFrameCtx>;

// Mixed PCM ready for an output or a writer.
struct PcmBuffer {
    int sampleRate = 44100;
    int channels = 2;
    int format = SAMPLE_S16;
    std::vector<int16_t> samples;

    const uint8_t *bytes() const { return reinterpret_cast<const uint8_t *>(samples.data()); }
    size_t byteCount() const { return samples.size() * sizeof(int16_t); }
};
using PcmPtr = std::shared_ptr<const PcmBuffer>;

} // namespace ff
