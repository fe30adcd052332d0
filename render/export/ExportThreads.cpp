#include "ExportThreads.h"

#include "common/FrameRate.h"

#include "render/audio/AudioDecoding.h"
#include "render/audio/AudioMixerPlayer.h"
#include "render/preview/PreviewItem.h"
#include "render/preview/VideoDecoding.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsDevice.h"
#include "graphics/GsScene.h"

#include <cstring>

namespace {
constexpr int kPreviewEvery = 100; // the preview shows every 100th exported frame
} // namespace

// ---- context -----------------------------------------------------------------------

void ExportContext::picturesReached(int64_t frame)
{
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    m_pictureFrame = frame;
    m_pictureMoved.notify_all();
}

void ExportContext::picturesEnded()
{
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    m_picturesEnded = true;
    m_pictureMoved.notify_all();
}

bool ExportContext::waitForPictures(int64_t frame, const std::atomic<bool> &stop)
{
    constexpr int64_t kLead = timebase::kFps; // one second of sound ahead of the pictures
    std::unique_lock<std::mutex> lock(m_pictureMutex);
    while (!m_picturesEnded && !stop && frame > m_pictureFrame + kLead)
        m_pictureMoved.wait_for(lock, std::chrono::milliseconds(50));
    return !stop;
}

// ---- evaluated frames --------------------------------------------------------------

void ExportFrame::release()
{
    for (ExportLayer &layer : layers)
        layer.release();
    layers.clear();
}

ExportFrameQueue::~ExportFrameQueue()
{
    for (ExportFrame &frame : drain())
        frame.release();
}

// ---- frames ------------------------------------------------------------------------

ExportFetchFrame::ExportFetchFrame(ExportContext &context, ExportFrameQueue &queue,
                                   TimelineState timeline, const ExportItems &items)
    : m_context(context), m_queue(queue), m_timeline(std::move(timeline)), m_items(items)
{}

ExportFetchFrame::~ExportFetchFrame()
{
    stop();
    wait();
    for (PreviewItem *item : m_items)
        item->Release();
}

void ExportFetchFrame::stop()
{
    m_stop = true;
}

void ExportFetchFrame::run()
{
    const int64_t last = m_timeline->lastFrame();
    for (int64_t k = 0; !m_stop; ++k) {
        const int64_t frame = m_context.frameOf(k);
        if (frame > last) {
            // Past the end: the frames before this one are all queued; the picture
            // thread finishes them and stops.
            m_queue.close();
            break;
        }
        ExportFrame evaluated{frame, last, {}};
        for (const TrackFrame &track : m_timeline->frameAt(frame))
            if (PreviewItem *item = m_items.value(track.track)) {
                item->AddRef();
                evaluated.layers << ExportLayer{item, track};
            }
        if (!m_queue.push(evaluated)) { // stopped
            evaluated.release();
            break;
        }
    }
}

// ---- pictures ----------------------------------------------------------------------

ExportImage::ExportImage(ExportContext &context, ExportFrameQueue &queue, GsScene *scene, int width,
                         int height)
    : GsOutputRaw(scene, width, height, GS_RGBA), m_context(context), m_queue(queue)
{
    if (GsDevice *device = GsDevice::DefaultDevice())
        device->MoveToThread(this);
    Attach();
}

ExportImage::~ExportImage()
{
    stop();
    wait();
    Detach();
}

void ExportImage::stop()
{
    m_queue.close();
}

void ExportImage::run()
{
    GsDevice *device = GsDevice::DefaultDevice();
    if (!device)
        return;
    int64_t drawn = 0;
    m_encoder = std::make_unique<PictureEncoder>(m_context);
    ExportFrame evaluated;
    using bg::SystemServices;
    int64_t waited = 0, decoded = 0, uploaded = 0, composed = 0;
    int64_t t = SystemServices::monotonicMicros();
    auto lap = [&t](int64_t &into) {
        const int64_t now = SystemServices::monotonicMicros();
        into += now - t;
        t = now;
    };
    while (m_queue.pop(evaluated)) {
        lap(waited);
        bool reorder = false;
        for (ExportLayer &layer : evaluated.layers) {
            reorder = PreviewLayers::place(layer.item, layer.frame) || reorder;
            if (!layer.frame.subtitleTrack)
                layer.item->apply(layer.item->decodeNow(layer.frame.request));
            layer.release();
        }
        if (reorder && scene())
            scene()->OrderItem();
        lap(decoded);
        device->TickSource();
        lap(uploaded);
        device->HandleFilter();
        device->OutputFrame(evaluated.frame * timebase::kFrameNs,
                            1); // the encoding of the frame before, too
        if (drawn++ % kPreviewEvery == 0)
            device->DrawDisplay();
        lap(composed);
        m_context.picturesReached(evaluated.frame);
        emit sig_processUpdate(int(evaluated.frame), int(evaluated.lastFrame));
        if (m_context.writeFailed)
            break;
    }
    Flush();           // the frame still being read back
    m_encoder.reset(); // and everything handed on is written
    m_context.picturesEnded();
    BG_LOG_D("---> export pictures: %lld frames; ms waiting %lld, decoding %lld, uploading %lld, "
             "drawing and reading back %lld, of which converting and encoding %lld",
             static_cast<long long>(drawn), static_cast<long long>(waited / 1000),
             static_cast<long long>(decoded / 1000), static_cast<long long>(uploaded / 1000),
             static_cast<long long>(composed / 1000), static_cast<long long>(m_encodeUs / 1000));
    device->DoneCurrent();
    device->MoveToThread(thread()); // back to the main thread, which owns it between runs
}

uint8_t *ExportImage::FrameBuffer(size_t bytes)
{
    const int64_t start = bg::SystemServices::monotonicMicros();
    uint8_t *buffer = m_encoder ? m_encoder->next(bytes) : nullptr;
    m_encodeUs += bg::SystemServices::monotonicMicros() - start;
    return buffer;
}

void ExportImage::OnFrame(const uint8_t *pixels, size_t bytes, int stride, int64_t timestampNs)
{
    const int64_t start = bg::SystemServices::monotonicMicros();
    m_encoder->hand(pixels, bytes, stride, timestampNs / 1000);
    m_encodeUs += bg::SystemServices::monotonicMicros() - start;
}

// ---- encoder hand-off --------------------------------------------------------------

PictureEncoder::PictureEncoder(ExportContext &context)
    : m_context(context), m_thread([this] { run(); })
{}

PictureEncoder::~PictureEncoder()
{
    m_waiting.close(); // what waits is still written
    m_thread.join();
}

PictureEncoder::Buffer PictureEncoder::spareBuffer(size_t bytes)
{
    Buffer buffer;
    {
        std::lock_guard<std::mutex> lock(m_spareMutex);
        if (!m_spare.empty()) {
            buffer.swap(m_spare.back());
            m_spare.pop_back();
        }
    }
    buffer.resize(bytes + ff::kBufferPadding);
    return buffer;
}

uint8_t *PictureEncoder::next(size_t bytes)
{
    if (m_next.size() < bytes + ff::kBufferPadding)
        m_next = spareBuffer(bytes);
    return m_next.data();
}

void PictureEncoder::hand(const uint8_t *pixels, size_t bytes, int stride, int64_t ptsUs)
{
    Picture picture;
    picture.bytes = bytes;
    picture.stride = stride;
    picture.ptsUs = ptsUs;
    if (!m_next.empty() && pixels == m_next.data()) {
        picture.pixels.swap(m_next); // drawn into our own buffer: no copy
    } else {
        picture.pixels = spareBuffer(bytes);
        std::memcpy(picture.pixels.data(), pixels, bytes);
    }
    m_waiting.push(picture); // closed only by the destructor, on this same thread
}

void PictureEncoder::run()
{
    Picture picture;
    while (m_waiting.pop(picture)) { // closed and empty: everything handed is written
        if (!m_context.writeFailed &&
            !mv::push_padded_image_frame(m_context.movie, picture.pixels.data(), picture.bytes,
                                         picture.stride, picture.ptsUs, mv::PTS_MICROSECONDS)) {
            BG_LOG_E("---> the encoder refused a picture at %lld us",
                     static_cast<long long>(picture.ptsUs));
            m_context.writeFailed = true;
        }
        std::lock_guard<std::mutex> lock(m_spareMutex);
        m_spare.push_back(std::move(picture.pixels));
    }
}

// ---- sound -----------------------------------------------------------------------

ExportAudio::ExportAudio(ExportContext &context, bool audioOnly, TimelineState timeline)
    : m_context(context), m_audioOnly(audioOnly), m_timeline(std::move(timeline))
{}

ExportAudio::~ExportAudio()
{
    stop();
    wait();
}

void ExportAudio::stop()
{
    m_stop = true;
}

void ExportAudio::run()
{
    auto tasks = std::make_unique<AudioTaskManager>();
    AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
    mixer.open(2, 44100, 2, false);
    const mv::MovieHandle movie = m_context.movie;
    const int64_t lastFrame = m_timeline->lastFrame();
    for (int64_t n = 0; !m_stop; ++n) {
        if (!m_audioOnly && !m_context.waitForPictures(n, m_stop))
            break;
        if (m_audioOnly)
            emit sig_processUpdate(int(n), int(lastFrame));
        if (n > lastFrame)
            break;
        // One 1/30 s slice of every audible clip, mixed at its volume.
        mixer.begin(n, 1, timebase::kFps);
        QList<AudioFrameData> sound = m_timeline->audioAt(n, timebase::kFps);
        tasks->decode(sound);
        const int64_t pts = int64_t(1000000.0 / timebase::kFps * double(n));
        mixer.finish([&](size_t bytes, const uint8_t *data) {
            if (!mv::push_pcm_frame(movie, data, bytes, pts, mv::PTS_MICROSECONDS)) {
                BG_LOG_E("---> the encoder refused the sound at %lld us",
                         static_cast<long long>(pts));
                m_context.writeFailed = true;
            }
        });
        if (m_context.writeFailed)
            break;
    }
    tasks.reset();
    mixer.close();
}
