#include "WASAPISource.h"

#include "WavEncoder.h"
#include "bridge/Logger.h"
#include "pulse/PulseContext.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kServerMs = 2000;
constexpr int kFragmentMs = 20;
constexpr int kDrainMs = 1500;

const char *typeName(int type)
{
    switch (type) {
    case WASAPISource::Input:
        return "wasapi mi";
    case WASAPISource::SystemOutput:
        return "wasapi sys";
    case WASAPISource::ProcessOutput:
        return "wasapi process";
    default:
        return "unknow";
    }
}

// The device's own sample format when a WAV file can carry it, else 16-bit.
pa_sample_spec storable(pa_sample_spec sampleFormat)
{
    switch (sampleFormat.format) {
    case PA_SAMPLE_U8:
    case PA_SAMPLE_S16LE:
    case PA_SAMPLE_S24LE:
    case PA_SAMPLE_S32LE:
    case PA_SAMPLE_FLOAT32LE:
        break;
    default:
        sampleFormat.format = PA_SAMPLE_S16LE;
    }
    return sampleFormat;
}

wav::WaveFormat waveFormatOf(const pa_sample_spec &sampleFormat)
{
    const int bits = int(pa_sample_size(&sampleFormat) * 8);
    return wav::WaveFormat::interleaved(sampleFormat.channels, int(sampleFormat.rate), bits,
                                        sampleFormat.format == PA_SAMPLE_FLOAT32LE);
}

} // namespace

struct WASAPISource::Impl {
    WASAPISource *q;
    int type;
    wav::WavEncoder *encoder;
    std::string deviceId;
    // The device the default microphone was when the take began: the take stays with
    // it (a default that changes to another source mid-take would record the wrong
    // sound, or silence from a monitor, without a word).
    std::string bound;

    std::unique_ptr<zua::pulse::Context> server;
    pa_stream *stream = nullptr;   // touched under the server's lock
    pa_sample_spec sampleFormat{}; // of the header once written
    bool haveSpec = false;
    // The current opening (under the server's lock): when, and the data before it.
    bool capturing = false;
    std::chrono::steady_clock::time_point openedAt;
    int64_t bytesAtOpen = 0;
    std::atomic<int> rate{0};             // of the opened format, for any thread
    std::atomic<bool> writeFailed{false}; // told once per source

    mutable std::mutex mutex; // guards the fields below
    std::condition_variable wake;
    bool stopping = false;
    bool reopen = true; // the reconnect thread should open the device
    bool everActive = false;
    int retryMs = 0;
    std::string name;
    std::thread reconnect;

    Impl(WASAPISource *owner, int t, wav::WavEncoder *e, std::string id)
        : q(owner), type(t), encoder(e), deviceId(std::move(id))
    {}

    bool connectServer()
    {
        server = std::make_unique<zua::pulse::Context>("ZuAEdit capture");
        return server->connect(kServerMs);
    }

    // Resolves the device and its format (locked). False when it is missing or is
    // only another device's monitor asked for as the default microphone.
    bool resolve(pa_sample_spec *native, pa_channel_map *map, std::string *friendly)
    {
        struct Answer {
            zua::pulse::Context *server;
            bool found = false, monitor = false;
            pa_sample_spec sampleFormat{};
            pa_channel_map map{};
            std::string name, description;
        } answer{server.get()};
        const bool byDefault = (deviceId.empty() || deviceId == "default") && bound.empty();
        const std::string wanted = !bound.empty() ? bound
                                   : byDefault    ? "@DEFAULT_SOURCE@"
                                                  : deviceId;
        pa_operation *op = pa_context_get_source_info_by_name(
            server->context(), wanted.c_str(),
            [](pa_context *, const pa_source_info *info, int eol, void *self) {
                auto *a = static_cast<Answer *>(self);
                if (!eol && info) {
                    a->found = true;
                    a->monitor = info->monitor_of_sink != PA_INVALID_INDEX;
                    a->sampleFormat = info->sample_spec;
                    a->map = info->channel_map;
                    a->name = info->name ? info->name : "";
                    a->description = info->description ? info->description : a->name;
                }
                a->server->signal();
            },
            &answer);
        if (!server->finish(op, kServerMs) || !answer.found || (byDefault && answer.monitor))
            return false;
        *native = answer.sampleFormat;
        *map = answer.map;
        *friendly = answer.description;
        if (byDefault)
            bound = answer.name;
        return true;
    }

    static void onRead(pa_stream *s, size_t, void *self)
    {
        auto *d = static_cast<Impl *>(self);
        const void *data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
                return;
            int code = wav::kOk;
            if (data) {
                code = d->encoder->writeData(data, bytes);
            } else { // a hole in the stream: silence keeps the time
                const std::vector<uint8_t> silence(
                    bytes, d->sampleFormat.format == PA_SAMPLE_U8 ? 0x80 : 0);
                code = d->encoder->writeData(silence.data(), bytes);
            }
            if (code != wav::kOk && !d->writeFailed.exchange(true))
                emit d->q->sig_writeFailed(code);
            pa_stream_drop(s);
        }
    }

    static void onState(pa_stream *s, void *self)
    {
        auto *d = static_cast<Impl *>(self);
        d->server->signal();
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state != PA_STREAM_FAILED && state != PA_STREAM_TERMINATED)
            return;
        d->capturing = false;
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            if (d->stopping || !d->everActive || d->reopen)
                return;
            d->reopen = true;
            d->retryMs = kRetryMs;
            BG_LOG_W("Device '%s' invalidated.  Retrying (source: %s)", d->name.c_str(),
                     typeName(d->type));
        }
        d->wake.notify_all();
        emit d->q->sig_inActivated();
    }

    // Sound recorded up to now may still be on its way from the server (a device
    // delivers in fragments, some in large ones): waits for it, a moment at most.
    void drain()
    {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        for (int waited = 0; waited < kDrainMs; waited += 10) {
            {
                zua::pulse::Context::Lock lock(*server);
                if (!capturing || !stream || pa_stream_get_state(stream) != PA_STREAM_READY)
                    return;
                const double seconds = duration<double>(now - openedAt).count();
                const auto expected = int64_t(seconds * double(pa_bytes_per_second(&sampleFormat)));
                if (encoder->dataBytes() - bytesAtOpen >=
                    expected - int64_t(pa_usec_to_bytes(kFragmentMs * 1000, &sampleFormat)))
                    return;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
    }

    void closeStream()
    {
        if (!stream)
            return;
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }

    // Opens the device and starts capturing; the header is written once, at the
    // first opening, and later openings ask the server for that same format.
    bool open()
    {
        if (!server || !server->good()) {
            if (server) {
                zua::pulse::Context::Lock lock(*server);
                closeStream();
            }
            if (!connectServer())
                return false;
        }
        zua::pulse::Context::Lock lock(*server);
        closeStream();
        pa_sample_spec native{};
        pa_channel_map map{};
        std::string friendly;
        if (!resolve(&native, &map, &friendly))
            return false;
        const bool first = !haveSpec;
        if (first)
            sampleFormat = storable(native);
        BG_LOG_D("capture format: %d channels, %u Hz", int(sampleFormat.channels),
                 sampleFormat.rate);
        const bool sameLayout = sampleFormat.channels == native.channels;
        stream = pa_stream_new(server->context(), "voice-over", &sampleFormat,
                               sameLayout ? &map : nullptr);
        if (!stream)
            return false;
        pa_stream_set_state_callback(stream, &Impl::onState, this);
        pa_stream_set_read_callback(stream, &Impl::onRead, this);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.fragsize = uint32_t(pa_usec_to_bytes(pa_usec_t(kFragmentMs) * 1000, &sampleFormat));
        attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
        // The device by its name, never moved: one that goes away fails the stream, and
        // the take pauses until it is back (the default microphone included).
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        const char *device = !bound.empty() ? bound.c_str() : deviceId.c_str();
        // The header goes out before the first packet can arrive.
        if (first) {
            const wav::WaveFormat format = waveFormatOf(sampleFormat);
            if (encoder->writeHeader(&format) != wav::kOk) {
                BG_LOG_E("Init WAVENC Error");
                closeStream();
                return false;
            }
            haveSpec = true;
            rate = int(sampleFormat.rate);
        }
        if (pa_stream_connect_record(stream, device, &attr, flags) < 0 ||
            !server->waitFor([&] { return pa_stream_get_state(stream) == PA_STREAM_READY; },
                             [&] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); },
                             kServerMs)) {
            closeStream();
            return false;
        }
        capturing = true;
        openedAt = std::chrono::steady_clock::now();
        bytesAtOpen = encoder->dataBytes();
        std::lock_guard<std::mutex> guard(mutex);
        name = friendly;
        BG_LOG_D("WASAPI: Device '%s' [%u Hz] initialized", name.c_str(), sampleFormat.rate);
        return true;
    }

    // Opens the device at once, and again kRetryMs after each failure or loss.
    void reconnectLoop()
    {
        bool reported = false; // a first failure is reported once
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            if (!reopen) {
                wake.wait(lock, [this] { return stopping || reopen; });
                continue;
            }
            if (retryMs > 0 && wake.wait_for(lock, std::chrono::milliseconds(retryMs),
                                             [this] { return stopping; }))
                break;
            lock.unlock();
            const bool ok = open();
            lock.lock();
            if (stopping)
                break;
            retryMs = ok ? 0 : kRetryMs;
            if (ok) {
                reopen = false;
                everActive = true;
                lock.unlock();
                emit q->sig_activated();
                lock.lock();
            } else {
                BG_LOG_W("WASAPI: Device '%s' failed to start (source: %s)", deviceId.c_str(),
                         typeName(type));
                if (!everActive && !reported) {
                    reported = true;
                    lock.unlock();
                    emit q->sig_inActivated();
                    lock.lock();
                }
            }
        }
    }
};

WASAPISource::WASAPISource(SourceType type, wav::WavEncoder *encoder, const std::string &deviceId)
    : d(std::make_unique<Impl>(this, type, encoder, deviceId))
{
    if (!encoder)
        throw WASAPIError("no encoder given", 0);
    if (!d->connectServer()) {
        const int code = d->server->context() ? pa_context_errno(d->server->context()) : 0;
        d->server.reset();
        throw WASAPIError("Failed to create enumerator", code);
    }
}

void WASAPISource::start()
{
    if (!d->reconnect.joinable())
        d->reconnect = std::thread([this] { d->reconnectLoop(); });
}

WASAPISource::~WASAPISource()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    if (d->reconnect.joinable())
        d->reconnect.join();
    if (d->server) {
        d->drain();
        {
            zua::pulse::Context::Lock lock(*d->server);
            d->closeStream();
        }
        d->server.reset(); // stops the loop thread: no packet arrives after this
    }
}

std::string WASAPISource::deviceName() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->name;
}

int WASAPISource::sampleRate() const
{
    return d->rate;
}
