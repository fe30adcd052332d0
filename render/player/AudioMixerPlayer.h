#pragma once
// A mixer and its sound output: the player mixes each 1/30 s of its clips in the
// process-wide one and writes it to the output, pacing itself by what is still
// queued. An export mixes in one of its own, without an output, so that playback
// goes on meanwhile.
// Lives on: used by one thread at a time (the player thread, or an export's sound
// thread for its own).

#include "media/AudioMixer.h"

#include <functional>
#include <memory>

namespace zua {
class AudioPlayer;
}

class AudioMixerPlayer {
public:
    static AudioMixerPlayer &instance();
    AudioMixerPlayer();
    ~AudioMixerPlayer();
    AudioMixerPlayer(const AudioMixerPlayer &) = delete;
    AudioMixerPlayer &operator=(const AudioMixerPlayer &) = delete;

    // Creates the mixer (and, with output, opens the sound device); false when the
    // output could not be opened or was not asked for.
    bool open(int channels, int sampleRate, int format, bool withOutput);
    bool opened() const { return m_opened; }
    ff::AudioMixer::Format format() const;

    // Starts mixing `frameCount` frames from `startFrame` at `fps`.
    void begin(int64_t startFrame, int frameCount, int64_t fps);
    // Adds one source's decoded slice at its volume (0..128), played from the
    // start of the range begun last.
    void add(const void *key, const ff::AFrameCtx &frame, int volume);
    // The range begun last, in samples at the mixer's rate.
    int64_t rangeSamples() const { return m_mixer ? m_mixer->frameCount() : 0; }
    // Ends the range: the mix goes to the consumer (if any) and to the output (if
    // open), sleeping while more than three ranges of sound are queued. Returns the mix.
    using Consumer = std::function<void(size_t bytes, const uint8_t *data)>;
    // `queued`, when given, is called as soon as the output took the mix, before
    // any pacing sleep (the playback clock learns of the new sound at once).
    ff::PcmPtr finish(const Consumer &consumer = Consumer(),
                      const std::function<void()> &queued = std::function<void()>());
    // Sound written to the output and not yet played, in milliseconds (0 without one).
    int64_t queuedMs() const;
    int64_t queuedUs() const;
    void close();

private:
    std::unique_ptr<ff::AudioMixer> m_mixer;
    std::unique_ptr<zua::AudioPlayer> m_output;
    int m_frameCount = 1;
    bool m_opened = false;
};
