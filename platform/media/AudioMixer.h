#pragma once
// Mixes the sound of several sources over one interval into interleaved 16-bit PCM.
// Each source adds into its own buffer; end() sums them and saturates.
// Lives on: the one thread that mixes (player or audio export).

#include "MediaTypes.h"

#include <map>
#include <vector>

namespace ff {

class AudioMixer;

// Writer into one source's buffer for the current interval.
class MixBuffer {
public:
    // Adds `frame`'s samples at `volume` (0..128 is 0..100 %), its first sample
    // played at sample `at` of the mix's clock (the interval's own sample indices,
    // not the source's): a clip's sound lands where the clip sits on the timeline,
    // whatever part of its file it plays. Samples outside the interval are ignored.
    void add(const AFrameCtx &frame, int volume, int64_t at);

private:
    friend class AudioMixer;
    const AudioMixer *m_mixer = nullptr;
    std::vector<int32_t> m_acc;
};

class AudioMixer {
public:
    // `format` must be SAMPLE_S16 (2); other codes produce no output.
    AudioMixer(int sampleRate, int channels, int format);

    // Starts an interval [from, to) in seconds; earlier buffers are dropped.
    void begin(const Rational &from, const Rational &to);
    MixBuffer *getBuffer(const void *owner);
    // The mixed interval (silence when nothing was added); null before begin().
    PcmPtr end();

    struct Format {
        int sampleRate;
        int channels;
        int format;
    };
    Format getFormat() const { return {m_rate, m_channels, m_format}; }

    int64_t firstSample() const { return m_first; }
    int64_t frameCount() const { return m_frames; }

private:
    int m_rate;
    int m_channels;
    int m_format;
    int64_t m_first = 0;
    int64_t m_frames = 0;
    bool m_begun = false;
    std::map<const void *, MixBuffer> m_buffers;
};

} // namespace ff
