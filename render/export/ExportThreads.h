#pragma once
// The three workers of an export, each reading the timeline state the export took
// when it started: the frame thread evaluates what each output frame shows, the
// picture thread decodes and composes it in its own graph (ExportGraph) and hands it
// to the encoder in order, the sound thread evaluates, mixes and encodes each 1/30 s
// of sound.
// Lives on: each its own thread while one export runs; built, stopped and deleted
// by the export manager on the main thread.

#include "common/FrameRate.h"
#include "render/BoundedQueue.h"
#include "render/TimelineReader.h"

#include "media/MediaTypes.h"
#include "movie/MovieWriter.h"

#include <QList>
#include <QSize>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class GsDevice;

// What the three threads share.
struct ExportContext {
    mv::MovieHandle movie = nullptr;
    int frameRate = int(timebase::kFps); // output frames per second
    double speed = 1.0;
    // Timeline frames per output frame: the timeline's rate ÷ the frame rate, times the speed when
    // the result plays faster (the writer then places every picture at pts ÷ speed).
    double step = 1;
    // The timeline frame the k-th output picture shows (the nearest one).
    int64_t frameOf(int64_t k) const { return int64_t(double(k) * step + 0.5); }
    // A push the writer refused (a full disk, a broken encoder): the export stops.
    std::atomic<bool> writeFailed{false};

    // In a movie the sound keeps within a second of the pictures, so that the
    // writer never holds much of one waiting for the other.
    void picturesReached(int64_t frame);
    // False when the pictures ended first (`stop` set, or no more pictures come).
    bool waitForPictures(int64_t frame, const std::atomic<bool> &stop);
    void picturesEnded();

private:
    std::mutex m_pictureMutex;
    std::condition_variable m_pictureMoved;
    int64_t m_pictureFrame = -1;
    bool m_picturesEnded = false;
};

// One evaluated output frame: what each visual track shows at it.
struct ExportFrame {
    int64_t frame = 0;
    int64_t lastFrame = 0;
    QList<TrackFrame> tracks;
};

// The evaluated frames between the frame thread and the picture thread, at most
// `capacity` waiting.
using ExportFrameQueue = BoundedQueue<ExportFrame>;

class ExportFetchFrame : public QThread {
    Q_OBJECT
public:
    ExportFetchFrame(ExportContext &context, ExportFrameQueue &queue, TimelineState timeline);
    ~ExportFetchFrame() override;
    void stop();

protected:
    void run() override;

private:
    ExportContext &m_context;
    ExportFrameQueue &m_queue;
    const TimelineState m_timeline;
    std::atomic<bool> m_stop{false};
};

// Hands composed pictures to the movie writer on a thread of its own, so that the
// colour conversion and the encoder's intake overlap the drawing of the next frame.
// At most two pictures wait; their buffers are reused. Lives on: the picture thread
// (hand), its own thread (push).
class PictureEncoder {
public:
    explicit PictureEncoder(ExportContext &context);
    ~PictureEncoder(); // writes what waits, then ends
    // A buffer of at least `bytes` (aligned and padded as the converter wants) to draw
    // the next picture into. Picture thread.
    uint8_t *next(size_t bytes);
    // Hands a picture over (waits while two pictures wait): the buffer from next()
    // without a copy, any other copied.
    void hand(const uint8_t *pixels, size_t bytes, int stride, int64_t ptsUs);
    // Hands a YUV picture of the encoder's matrix and size over (held, not copied).
    void handYuv(ff::VFramePtr picture, int64_t ptsUs);

private:
    using Buffer = ff::PixelBuffer;
    struct Picture {
        Buffer pixels;
        size_t bytes = 0;
        int stride = 0;
        int64_t ptsUs = 0;
        ff::VFramePtr yuv; // instead of the pixels
    };
    void run();
    Buffer spareBuffer(size_t bytes);
    ExportContext &m_context;
    BoundedQueue<Picture> m_waiting{2};
    std::mutex m_spareMutex;
    std::vector<Buffer> m_spare; // under m_spareMutex
    Buffer m_next;               // handed out by next(), picture thread only
    std::thread m_thread;
};

class ExportImage : public QThread {
    Q_OBJECT
public:
    // Composes a scene of `sceneSize` into pictures of `outputSize` on `device` (the
    // export's own, made on the main thread), which it takes to its thread.
    ExportImage(ExportContext &context, ExportFrameQueue &queue, std::unique_ptr<GsDevice> device,
                const QSize &sceneSize, const QSize &outputSize, bool shortWay = true);
    ~ExportImage() override;
    void stop();
    // Frames made by the short YUV way and by the graph (read after the thread ended).
    int64_t plainFrames() const { return m_plainFrames; }
    int64_t composedFrames() const { return m_composedFrames; }

signals:
    void sig_processUpdate(int done, int total);

protected:
    void run() override;

private:
    ExportContext &m_context;
    ExportFrameQueue &m_queue;
    std::unique_ptr<GsDevice> m_device; // used and destroyed on this thread
    const QSize m_sceneSize, m_outputSize;
    const bool m_shortWay;  // plain frames are made in YUV
    int64_t m_encodeUs = 0; // time spent handing pictures to the encoder thread
    int64_t m_plainFrames = 0, m_composedFrames = 0;
    std::unique_ptr<PictureEncoder> m_encoder;
};

class ExportAudio : public QThread {
    Q_OBJECT
public:
    ExportAudio(ExportContext &context, bool audioOnly, TimelineState timeline);
    ~ExportAudio() override;
    void stop();

signals:
    // Audio-only exports show their progress by the sound written.
    void sig_processUpdate(int done, int total);

protected:
    void run() override;

private:
    ExportContext &m_context;
    const bool m_audioOnly;
    const TimelineState m_timeline;
    std::atomic<bool> m_stop{false};
};
