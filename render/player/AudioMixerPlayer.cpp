#include "AudioMixerPlayer.h"

#include "audio/AudioPlayer.h"
#include "bridge/SystemServices.h"
#include "common/FrameRate.h"
#include "common/SoundFormat.h"

AudioMixerPlayer &AudioMixerPlayer::instance()
{
    // Created on first use and never destroyed, like the sound device it holds.
    static AudioMixerPlayer *player = new AudioMixerPlayer;
    return *player;
}

AudioMixerPlayer::AudioMixerPlayer() = default;
AudioMixerPlayer::~AudioMixerPlayer() = default;

bool AudioMixerPlayer::open(int channels, int sampleRate, int format, bool withOutput)
{
    if (!m_mixer)
        m_mixer = std::make_unique<ff::AudioMixer>(sampleRate, channels, format);
    if (withOutput && !m_output) {
        m_output = std::make_unique<zua::AudioPlayer>();
        m_opened = m_output->play(channels, sampleRate, format);
    }
    return m_opened;
}

ff::AudioMixer::Format AudioMixerPlayer::format() const
{
    return m_mixer ? m_mixer->getFormat()
                   : ff::AudioMixer::Format{soundformat::kSampleRate, soundformat::kChannels,
                                            ff::SAMPLE_S16};
}

void AudioMixerPlayer::begin(int64_t startFrame, int frameCount, int64_t fps)
{
    if (!m_mixer || fps <= 0)
        return;
    m_frameCount = frameCount;
    m_mixer->begin(ff::Rational(startFrame, fps), ff::Rational(startFrame + frameCount, fps));
}

void AudioMixerPlayer::add(const void *key, const ff::AFrameCtx &frame, int volume)
{
    if (m_mixer)
        m_mixer->getBuffer(key)->add(frame, volume, m_mixer->firstSample());
}

ff::PcmPtr AudioMixerPlayer::finish(const Consumer &consumer, const std::function<void()> &queued)
{
    if (!m_mixer)
        return nullptr;
    ff::PcmPtr pcm = m_mixer->end();
    if (!pcm)
        return nullptr;
    if (consumer)
        consumer(pcm->byteCount(), pcm->bytes());
    if (m_output) {
        if (m_output->write_pcm(pcm->bytes(), pcm->byteCount(), false)) {
            if (queued)
                queued();
            const int64_t threshold = timebase::framesToMs(int64_t(m_frameCount));
            const int64_t cached = m_output->cached_millisec();
            if (cached > threshold * 3)
                bg::SystemServices::sleepMs(cached - threshold);
        } else {
            bg::SystemServices::sleepMs(30); // no device: keep the pace by the clock
        }
    }
    return pcm;
}

int64_t AudioMixerPlayer::queuedMs() const
{
    return m_output ? m_output->cached_millisec() : 0;
}

int64_t AudioMixerPlayer::queuedUs() const
{
    return m_output ? m_output->cached_microsec() : 0;
}

void AudioMixerPlayer::close()
{
    if (m_output)
        m_output->stop();
    m_output.reset();
    m_mixer.reset();
    m_opened = false;
}
