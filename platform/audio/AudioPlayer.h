#pragma once
// Audio output: plays interleaved PCM on the default output device through the
// desktop's sound server (PulseAudio on Linux, the role Windows Core Audio plays there).
// Lives on: the thread that plays (the player thread); the server's own thread
// delivers callbacks and is synchronised internally.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zua {

class AudioPlayer {
public:
    AudioPlayer();
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    // Opens the default output for `channels` × `rate` Hz of `format` (2 = signed
    // 16-bit). False, without waiting long, when there is no server or device.
    bool play(int channels, int rate, int format);
    // Queues PCM; false when nothing is open or the server refused it.
    bool write_pcm(const uint8_t *data, size_t bytes, bool block = false);
    // Milliseconds of written sound that have not been heard yet.
    int64_t cached_millisec();
    // The same in microseconds, for clocks that need finer steps than a frame.
    int64_t cached_microsec();
    // Stops and drops what is queued.
    void stop();
    bool isPlaying() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zua
