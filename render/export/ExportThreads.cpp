#include "ExportThreads.h"

#include "common/FrameRate.h"
#include "common/SoundFormat.h"

#include "ExportGraph.h"
#include "PlainFrames.h"
#include "render/player/AudioDecoding.h"
#include "render/player/AudioMixerPlayer.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "graphics/GsDevice.h"
#include "graphics/GsScene.h"

#include <cstring>

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

// ---- frames ------------------------------------------------------------------------

ExportFetchFrame::ExportFetchFrame(ExportContext &context, ExportFrameQueue &queue,
                                   TimelineState timeline)
    : m_context(context), m_queue(queue), m_timeline(std::move(timeline))
{}

ExportFetchFrame::~ExportFetchFrame()
{
    stop();
    wait();
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
        ExportFrame evaluated{frame, last, m_timeline->frameAt(frame)};
        if (!m_queue.push(evaluated))
            break; // stopped
    }
}

// ---- pictures ----------------------------------------------------------------------

ExportImage::ExportImage(ExportContext &context, ExportFrameQueue &queue,
                         std::unique_ptr<GsDevice> device, const QSize &sceneSize,
                         const QSize &outputSize, bool shortWay)
    : m_context(context), m_queue(queue), m_device(std::move(device)), m_sceneSize(sceneSize),
      m_outputSize(outputSize), m_shortWay(shortWay)
{
    if (m_device)
        m_device->MoveToThread(this);
}

ExportImage::~ExportImage()
{
    stop();
    wait();
}

void ExportImage::stop()
{
    m_queue.close();
}

void ExportImage::run()
{
    if (!m_device || !m_device->MakeCurrent()) {
        BG_LOG_E("---> the export has no graphics device");
        m_context.writeFailed = true;
        m_context.picturesEnded();
        return;
    }
    m_encoder = std::make_unique<PictureEncoder>(m_context);
    ExportGraph::Receiver receiver;
    receiver.next = [this](size_t bytes) { return m_encoder->next(bytes); };
    receiver.hand = [this](const uint8_t *pixels, size_t bytes, int stride, int64_t timestampNs) {
        const int64_t start = bg::SystemServices::monotonicMicros();
        m_encoder->hand(pixels, bytes, stride, timestampNs / 1000);
        m_encodeUs += bg::SystemServices::monotonicMicros() - start;
    };
    auto graph = std::make_unique<ExportGraph>(*m_device, m_sceneSize, m_outputSize, receiver);
    if (!graph->isValid()) {
        BG_LOG_E("---> the export's programs could not be built");
        m_context.writeFailed = true;
    }
    auto plain =
        std::make_unique<PlainFrames>(*graph, m_shortWay ? mv::picture_matrix(m_context.movie) : 0);
    int64_t drawn = 0;
    ExportFrame evaluated;
    using bg::SystemServices;
    int64_t waited = 0, decoded = 0, composed = 0;
    int64_t t = SystemServices::monotonicMicros();
    auto lap = [&t](int64_t &into) {
        const int64_t now = SystemServices::monotonicMicros();
        into += now - t;
        t = now;
    };
    while (!m_context.writeFailed && m_queue.pop(evaluated)) {
        lap(waited);
        const int64_t ns = evaluated.frame * timebase::kFrameNs;
        if (const ff::VFramePtr picture = plain->make(evaluated.tracks)) {
            graph->flush(); // a composed picture still being read back goes first
            lap(decoded);
            m_encoder->handYuv(picture, ns / 1000);
            ++m_plainFrames;
            lap(composed);
        } else {
            graph->place(evaluated.tracks);
            lap(decoded);
            graph->compose(ns); // and the encoding of the one before
            ++m_composedFrames;
            lap(composed);
        }
        ++drawn;
        m_context.picturesReached(evaluated.frame);
        emit sig_processUpdate(int(evaluated.frame), int(evaluated.lastFrame));
    }
    graph->flush();    // the frame still being read back
    m_encoder.reset(); // and everything handed on is written
    const int64_t overlayRenders = plain->overlayRenders();
    plain.reset();
    graph.reset();
    m_context.picturesEnded();
    BG_LOG_D("---> export pictures: %lld frames (%lld plain, %lld composed, overlays drawn %lld "
             "times); ms waiting %lld, decoding %lld, "
             "drawing and reading back %lld, of which converting and encoding %lld",
             static_cast<long long>(drawn), static_cast<long long>(m_plainFrames),
             static_cast<long long>(m_composedFrames), static_cast<long long>(overlayRenders),
             static_cast<long long>(waited / 1000), static_cast<long long>(decoded / 1000),
             static_cast<long long>(composed / 1000), static_cast<long long>(m_encodeUs / 1000));
    m_device.reset(); // its context and everything made on it go on this thread
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

void PictureEncoder::handYuv(ff::VFramePtr yuv, int64_t ptsUs)
{
    Picture picture;
    picture.yuv = std::move(yuv);
    picture.ptsUs = ptsUs;
    m_waiting.push(picture);
}

void PictureEncoder::run()
{
    Picture picture;
    while (m_waiting.pop(picture)) { // closed and empty: everything handed is written
        bool pushed = true;
        if (m_context.writeFailed) {
            pushed = true; // given up: the rest is dropped
        } else if (const ff::VFramePtr &yuv = picture.yuv) {
            const uint8_t *const planes[3] = {yuv->plane(0), yuv->plane(1), yuv->plane(2)};
            const int strides[3] = {yuv->planeStride(0), yuv->planeStride(1), yuv->planeStride(2)};
            pushed = mv::push_yuv_frame(m_context.movie, planes, strides, yuv->width, yuv->height,
                                        picture.ptsUs, mv::PTS_MICROSECONDS);
        } else {
            pushed =
                mv::push_padded_image_frame(m_context.movie, picture.pixels.data(), picture.bytes,
                                            picture.stride, picture.ptsUs, mv::PTS_MICROSECONDS);
        }
        picture.yuv.reset();
        if (!pushed) {
            BG_LOG_E("---> the encoder refused a picture at %lld us",
                     static_cast<long long>(picture.ptsUs));
            m_context.writeFailed = true;
        }
        if (picture.pixels.empty())
            continue;
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
    // A mixer of its own: the player may go on using the process-wide one.
    AudioMixerPlayer mixer;
    auto tasks = std::make_unique<AudioTaskManager>(mixer);
    mixer.open(soundformat::kChannels, soundformat::kSampleRate, ff::SAMPLE_S16, false);
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
