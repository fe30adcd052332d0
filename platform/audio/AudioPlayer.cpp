#include "AudioPlayer.h"

#include "pulse/PulseContext.h"

namespace zua {

namespace {
constexpr int kConnectTimeoutMs = 3000;
// The player keeps roughly 33 to 99 ms queued. The total latency asked for (device
// plus stream buffer) stays below that, so the device's own read-ahead never drains
// the stream buffer: after an underrun the server skips the sound written late,
// and the play position would run ahead of what is heard (150 ms gave ~20
// underruns a second on a busy machine, 60 ms none). Playback (re)starts as soon
// as 10 ms are there, so an underrun costs a short gap, not a stall.
constexpr int kTargetBufferMs = 60;
constexpr int kPrebufferMs = 10;
} // namespace

struct AudioPlayer::Impl {
    pulse::Context server{"ZuAEdit"};
    pa_stream *stream = nullptr;
    int bytesPerMs = 0;
    uint64_t writtenBytes = 0;

    static void onStreamState(pa_stream *, void *self)
    {
        static_cast<Impl *>(self)->server.signal();
    }

    bool open(int channels, int rate)
    {
        if (!server.connect(kConnectTimeoutMs))
            return false;
        pulse::Context::Lock lock(server);
        pa_sample_spec sampleFormat;
        sampleFormat.format = PA_SAMPLE_S16LE;
        sampleFormat.rate = uint32_t(rate);
        sampleFormat.channels = uint8_t(channels);
        bytesPerMs = rate * channels * 2 / 1000;
        stream = pa_stream_new(server.context(), "playback", &sampleFormat, nullptr);
        if (!stream)
            return false;
        pa_stream_set_state_callback(stream, &Impl::onStreamState, this);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(bytesPerMs * kTargetBufferMs);
        attr.prebuf = uint32_t(bytesPerMs * kPrebufferMs);
        attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(-1);
        // Asks the device for a latency near our buffer, so that what is queued
        // tracks what is heard (the player paces itself by it).
        const auto flags = pa_stream_flags_t(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        return pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0 &&
               server.waitFor([&] { return pa_stream_get_state(stream) == PA_STREAM_READY; },
                              [&] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); },
                              kConnectTimeoutMs);
    }

    ~Impl()
    {
        if (!stream)
            return;
        pulse::Context::Lock lock(server);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};

AudioPlayer::AudioPlayer() = default;

AudioPlayer::~AudioPlayer()
{
    stop();
}

bool AudioPlayer::play(int channels, int rate, int format)
{
    stop();
    if (format != 2 || channels < 1 || channels > 8 || rate <= 0)
        return false;
    auto impl = std::make_unique<Impl>();
    if (!impl->open(channels, rate))
        return false;
    d = std::move(impl);
    return true;
}

bool AudioPlayer::isPlaying() const
{
    return d != nullptr;
}

bool AudioPlayer::write_pcm(const uint8_t *data, size_t bytes, bool)
{
    if (!d || !data || bytes == 0)
        return false;
    pulse::Context::Lock lock(d->server);
    const bool ok = pa_stream_get_state(d->stream) == PA_STREAM_READY &&
                    pa_stream_write(d->stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) >= 0;
    if (ok)
        d->writtenBytes += bytes;
    return ok;
}

int64_t AudioPlayer::cached_millisec()
{
    return cached_microsec() / 1000;
}

int64_t AudioPlayer::cached_microsec()
{
    if (!d)
        return 0;
    pulse::Context::Lock lock(d->server);
    pa_usec_t latency = 0;
    int negative = 0;
    // Queued in our stream plus what the device holds: everything not yet heard.
    if (pa_stream_get_latency(d->stream, &latency, &negative) == 0)
        return negative ? 0 : int64_t(latency);
    // No timing report yet: nothing has been heard.
    return int64_t(d->writtenBytes) * 1000 / d->bytesPerMs;
}

void AudioPlayer::stop()
{
    if (!d)
        return;
    {
        pulse::Context::Lock lock(d->server);
        if (d->stream && pa_stream_get_state(d->stream) == PA_STREAM_READY)
            if (pa_operation *op = pa_stream_flush(d->stream, nullptr, nullptr))
                pa_operation_unref(op);
    }
    d.reset();
}

} // namespace zua
