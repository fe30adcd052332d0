#include "RecordThread.h"

#include "common/FrameRate.h"

#include "audio/WASAPISource.h"
#include "audio/WavEncoder.h"
#include "bridge/Logger.h"
#include "bridge/UserSettings.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace {
constexpr int kStartWaitMs = 3000;
} // namespace

RecordThread::RecordThread(const QString &path, QObject *parent) : QThread(parent), m_path(path) {}

RecordThread::~RecordThread()
{
    m_stop = true;
    wait();
}

void RecordThread::awaitCapture()
{
    QElapsedTimer waited;
    waited.start();
    while (!m_stop && m_capture == 0 && waited.elapsed() < kStartWaitMs)
        QThread::usleep(2000);
}

void RecordThread::run()
{
    FILE *file = std::fopen(m_path.toLocal8Bit().constData(), "wb");
    if (!file) {
        BG_LOG_E("fopen [%s] fail", qPrintable(m_path));
        emit sig_recordError();
        return;
    }
    auto encoder = std::make_unique<wav::WavEncoder>(file);
    const std::string device = bg::UserSettings::instance().get("DeviceId", "default");
    std::unique_ptr<WASAPISource> source;
    try {
        source = std::make_unique<WASAPISource>(WASAPISource::Input, encoder.get(), device);
    } catch (const WASAPIError &e) {
        BG_LOG_E("wasApi init fail: %s (%d)", e.what(), e.code);
        emit sig_recordError();
        return;
    }
    connect(
        source.get(), &WASAPISource::sig_activated, this,
        [this] {
            BG_LOG_D("sig_activated");
            m_capture = 1;
            if (m_everCaptured.exchange(true))
                emit sig_devicePaused(false); // back: the same take goes on
        },
        Qt::DirectConnection);
    connect(
        source.get(), &WASAPISource::sig_inActivated, this,
        [this] {
            BG_LOG_D("sig_inActivated");
            m_capture = -1;
            // Gone during the take: it waits for the device (the source opens it
            // again when it returns); never opened: there is no take.
            if (m_everCaptured)
                emit sig_devicePaused(true);
            else
                emit sig_recordStop();
        },
        Qt::DirectConnection);
    connect(
        source.get(), &WASAPISource::sig_initError, this,
        [this] {
            BG_LOG_E("sig_initError");
            emit sig_recordError();
        },
        Qt::DirectConnection);

    connect(
        source.get(), &WASAPISource::sig_writeFailed, this,
        [this](int code) {
            BG_LOG_E("the take's file refused sound (%d)", code);
            m_writeProblem = code;
        },
        Qt::DirectConnection);

    source->start();
    // The clock starts with the sound, so the voice lines up with the timeline.
    awaitCapture();
    int64_t late = 0;
    QElapsedTimer clock;
    clock.start();
    int64_t previous = 0;
    while (!m_stop) {
        QThread::usleep(timebase::kFrameUs);
        if (m_stop)
            break;
        if (const int problem = m_writeProblem.load()) {
            emit sig_writeFailed(problem);
            break;
        }
        if (m_capture != 1) {
            // No sound comes while the device is away: the timeline waits with it.
            previous = clock.nsecsElapsed() / 1000;
            late = 0;
            continue;
        }
        const bool behind = late >= timebase::kFrameUs + 1;
        emit sig_advance(behind ? 2 : 1);
        const int64_t now = clock.nsecsElapsed() / 1000;
        late = (behind ? late - timebase::kFrameUs : late) + (now - previous - timebase::kFrameUs);
        previous = now;
    }
    source.reset();  // capture stops
    encoder.reset(); // sizes patched, file closed
}
