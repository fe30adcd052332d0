#include "AudioMixer.h"

#include <algorithm>

namespace ff {

void MixBuffer::add(const AFrameCtx &frame, int volume, int64_t at)
{
    const AudioMixer &mixer = *m_mixer;
    if (volume <= 0 || frame.sampleRate != mixer.getFormat().sampleRate)
        return;
    const int channels = mixer.getFormat().channels;
    const int64_t from = std::max(at, mixer.firstSample());
    const int64_t to = std::min(at + frame.frameCount(), mixer.firstSample() + mixer.frameCount());
    const int shared = std::min(channels, frame.channels);
    for (int64_t i = from; i < to; ++i) {
        const int16_t *src = frame.samples.data() + (i - at) * frame.channels;
        int32_t *dst = m_acc.data() + (i - mixer.firstSample()) * channels;
        for (int c = 0; c < shared; ++c)
            dst[c] += src[c] * volume / 128;
    }
}

AudioMixer::AudioMixer(int sampleRate, int channels, int format)
    : m_rate(sampleRate > 0 ? sampleRate : 44100), m_channels(channels > 0 ? channels : 2),
      m_format(format)
{}

void AudioMixer::begin(const Rational &from, const Rational &to)
{
    m_first = from.toSamples(m_rate);
    m_frames = std::max<int64_t>(0, to.toSamples(m_rate) - m_first);
    m_buffers.clear();
    m_begun = true;
}

MixBuffer *AudioMixer::getBuffer(const void *owner)
{
    MixBuffer &b = m_buffers[owner];
    if (!b.m_mixer) {
        b.m_mixer = this;
        b.m_acc.assign(size_t(m_frames * m_channels), 0);
    }
    return &b;
}

PcmPtr AudioMixer::end()
{
    if (!m_begun || m_format != SAMPLE_S16)
        return nullptr;
    auto out = std::make_shared<PcmBuffer>();
    out->sampleRate = m_rate;
    out->channels = m_channels;
    out->format = m_format;
    const size_t n = size_t(m_frames * m_channels);
    std::vector<int32_t> sum(n, 0);
    for (const auto &entry : m_buffers)
        for (size_t i = 0; i < n; ++i)
            sum[i] += entry.second.m_acc[i];
    out->samples.resize(n);
    for (size_t i = 0; i < n; ++i)
        out->samples[i] = int16_t(std::clamp<int32_t>(sum[i], INT16_MIN, INT16_MAX));
    m_buffers.clear();
    m_begun = false;
    return out;
}

} // namespace ff
