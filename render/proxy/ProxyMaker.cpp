#include "ProxyMaker.h"

#include "ProxyStore.h"

#include "common/FrameRate.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"
#include "media/FFDecoder.h"
#include "media/MovieInfo.h"
#include "movie/MovieWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSize>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
ProxyMaker *g_instance = nullptr;
constexpr int kProxyWidth = 960;
constexpr int kKeyInterval = 15; // half a second at 30 fps: seeks stay short

const ff::StreamCtx *videoOf(const QString &source)
{
    const ff::MovieCtx *movie = ff::getMovieInfo(source.toUtf8().constData());
    const ff::StreamCtx *video = movie ? movie->videoStream() : nullptr;
    return video && video->width > 0 && video->height > 0 ? video : nullptr;
}

// The proxy's size: at most kProxyWidth wide (or high, for a portrait picture),
// even sides, the picture's aspect.
QSize proxySize(const ff::StreamCtx &video)
{
    const int longest = std::max(video.width, video.height);
    const double scale = std::min(1.0, double(kProxyWidth) / longest);
    return QSize(std::max(2, int(std::lround(video.width * scale)) & ~1),
                 std::max(2, int(std::lround(video.height * scale)) & ~1));
}
} // namespace

ProxyMaker::ProxyMaker(QObject *parent) : QObject(parent)
{
    if (!g_instance)
        g_instance = this;
    m_worker.onTaken([this](const Job &) { m_cancelCurrent = false; });
    // Every few seconds without work, the files that have proxies are looked at: one
    // that changed (or was replaced) gets its proxy made again.
    m_worker.onIdle(std::chrono::seconds(2),
                    [this](std::deque<Job> &queue) { requeueChanged(queue); });
    m_worker.start();
}

ProxyMaker::~ProxyMaker()
{
    m_cancelCurrent = true;
    m_worker.stop();
    if (g_instance == this)
        g_instance = nullptr;
}

ProxyMaker *ProxyMaker::instance()
{
    return g_instance;
}

void ProxyMaker::request(const QString &source, Want want)
{
    if (!ProxyStore::enabled() || source.isEmpty())
        return;
    if (!ProxyStore::readyProxy(source).isEmpty()) {
        m_progress.insert(source, 100);
        return;
    }
    const bool queued = m_worker.withQueue([&](JobWorker<Job>::Queue queue) {
        if (queue.running && queue.running->source == source)
            return false;
        for (Job &job : queue.queued)
            if (job.source == source) {
                if (want == Want::Always)
                    job.want = want;
                return false;
            }
        queue.queued.push_back({source, want});
        return true;
    });
    if (queued && want == Want::Always)
        m_progress.insert(source, 0); // shown as waiting at once
}

void ProxyMaker::drop(const QString &source)
{
    m_worker.withQueue([&](JobWorker<Job>::Queue queue) {
        queue.queued.erase(std::remove_if(queue.queued.begin(), queue.queued.end(),
                                          [&](const Job &j) { return j.source == source; }),
                           queue.queued.end());
        if (queue.running && queue.running->source == source)
            m_cancelCurrent = true;
    });
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_made.remove(source);
    }
    ProxyStore::remove(source);
    m_progress.remove(source);
    emit sig_finished(source, false);
}

void ProxyMaker::setEnabled(bool on)
{
    if (!on) {
        m_worker.withQueue([this](JobWorker<Job>::Queue queue) {
            queue.queued.clear();
            m_cancelCurrent = true;
        });
        std::lock_guard<std::mutex> lock(m_mutex);
        m_made.clear();
    }
    ProxyStore::setEnabled(on);
    if (!on) {
        const QStringList sources = m_progress.keys();
        m_progress.clear();
        for (const QString &source : sources)
            emit sig_finished(source, false);
    }
}

int ProxyMaker::progressOf(const QString &source) const
{
    // Asked by every clip and tile as it paints: answered from what the maker knows
    // (every video is requested when added), never from the disk.
    return m_progress.value(source, -1);
}

bool ProxyMaker::heavyFormat(const QString &source)
{
    const ff::StreamCtx *video = videoOf(source);
    if (!video)
        return false;
    const bool uhd = int64_t(video->width) * video->height >= int64_t(3840) * 2160 * 9 / 10;
    const bool hardCodec = video->codec == "hevc" || video->codec == "vp9" || video->codec == "av1";
    return uhd && (hardCodec || video->frameRate > 35);
}

double ProxyMaker::measuredDecodeRate(const QString &source)
{
    const ff::StreamCtx *video = videoOf(source);
    ff::FFDecoder decoder;
    if (!video || !decoder.open(*video))
        return 0;
    const QSize size = proxySize(*video);
    // The stream's own pictures of its first second (at least ten), as playback
    // decodes them: each one, converted at a preview's size.
    const double rate = video->frameRate > 1 ? video->frameRate : timebase::kFps;
    const int count = std::max(10, int(std::lround(rate)));
    const int64_t t0 = bg::SystemServices::monotonicMicros();
    int decoded = 0;
    for (int i = 0; i < count; ++i) {
        ff::VideoRequest request;
        request.time = ff::Rational(int64_t(std::lround(i * 1000.0 / rate)), 1000);
        request.width = size.width();
        request.height = size.height();
        if (decoder.getVideoFrame(request))
            ++decoded;
    }
    const double seconds = (bg::SystemServices::monotonicMicros() - t0) / 1e6;
    return decoded > 0 && seconds > 0 ? decoded / seconds : 0;
}

double ProxyMaker::make(const QString &source, const QString &target,
                        const std::function<void(int)> &progress,
                        const std::function<bool()> &cancelled)
{
    const int64_t t0 = bg::SystemServices::monotonicMicros();
    const ff::StreamCtx *video = videoOf(source);
    ff::FFDecoder decoder;
    if (!video || !video->movie || !decoder.open(*video))
        return -1;
    const QSize size = proxySize(*video);
    const int64_t frames =
        std::max<int64_t>(1, timebase::msToFrames(double(video->movie->durationUs) / 1000.0));
    // Written beside its final place (one file system: the rename is atomic), under a
    // name of this process's own.
    const QString making = QFileInfo(target).path() + QStringLiteral("/making");
    if (!QDir().mkpath(making))
        return -1;
    const QString temp = making + QLatin1Char('/') + QFileInfo(target).completeBaseName() +
                         QLatin1Char('-') + QString::number(QCoreApplication::applicationPid()) +
                         QStringLiteral(".mp4");
    mv::MVSettings settings;
    settings.width = size.width();
    settings.height = size.height();
    settings.frameRate = int(timebase::kFps);
    settings.keyInterval = kKeyInterval;
    mv::MovieHandle movie = mv::create_movie(settings, temp.toUtf8().constData());
    if (!movie)
        return -1;
    bool ok = true;
    int shown = -1;
    for (int64_t k = 0; k < frames && ok; ++k) {
        if (cancelled()) {
            ok = false;
            break;
        }
        ff::VideoRequest request;
        request.time = ff::Rational(k, timebase::kFps);
        request.width = size.width();
        request.height = size.height();
        const ff::VFramePtr frame = decoder.getVideoFrame(request);
        if (!frame)
            continue; // an unreadable picture: the proxy holds the previous one
        ok = mv::push_image_frame(movie, frame->data(), size_t(frame->stride) * frame->height,
                                  frame->stride, k * timebase::kFrameUs, mv::PTS_MICROSECONDS);
        const int percent = int(k * 100 / frames);
        if (percent != shown)
            progress(shown = percent);
    }
    ok = mv::stop_movie(&movie) && ok;
    if (ok) {
        QFile::remove(target); // another session made it meanwhile: the same pictures
        ok = QFile::rename(temp, target);
    }
    if (!ok) {
        QFile::remove(temp);
        return -1;
    }
    return (bg::SystemServices::monotonicMicros() - t0) / 1e6;
}

void ProxyMaker::report(const QString &source, int percent, bool finished, bool made)
{
    // Worker thread: the report waits under the lock; the main thread is asked to
    // take them (a queued call to this object, which outlives the worker).
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back({source, percent, finished, made});
    }
    QMetaObject::invokeMethod(this, &ProxyMaker::deliverReports, Qt::QueuedConnection);
}

void ProxyMaker::deliverReports()
{
    std::deque<Report> reports;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reports.swap(m_reports);
    }
    for (const Report &r : reports) {
        if (r.finished && r.made)
            m_progress.insert(r.source, 100);
        else if (r.finished)
            m_progress.remove(r.source);
        else
            m_progress.insert(r.source, r.percent);
        if (r.finished)
            emit sig_finished(r.source, r.made);
        else
            emit sig_progress(r.source, r.percent);
    }
}

void ProxyMaker::requeueChanged(std::deque<Job> &queue)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_made.begin(); it != m_made.end(); ++it) {
        const QString now = ProxyStore::proxyPathFor(it.key());
        if (!now.isEmpty() && now != it.value() && ProxyStore::enabled())
            queue.push_back({it.key(), Want::Always});
    }
}

void ProxyMaker::makeOne(const Job &job)
{
    bg::SystemServices::lowerThreadPriority(); // the decoder's threads inherit it
    const QString target = ProxyStore::proxyPathFor(job.source);
    if (target.isEmpty() || !videoOf(job.source) || QFileInfo::exists(target)) {
        const bool ready = QFileInfo::exists(target);
        if (ready) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_made.insert(job.source, target);
        }
        report(job.source, 0, true, ready);
        return;
    }
    if (job.want == Want::IfHeavy && !heavyFormat(job.source)) {
        // Every picture of a second must decode in two thirds of it, or playback
        // has no room left for anything else.
        const ff::StreamCtx *video = videoOf(job.source);
        const double needed = std::max<double>(video->frameRate, timebase::kFps) * 1.5;
        if (measuredDecodeRate(job.source) >= needed) {
            report(job.source, 0, true, false);
            return;
        }
    }
    report(job.source, 0, false, false);
    const double seconds = make(
        job.source, target, [&](int percent) { report(job.source, percent, false, false); },
        [this] { return m_cancelCurrent.load(); });
    const bool made = seconds >= 0 && !m_cancelCurrent;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (made)
            m_made.insert(job.source, target);
        else
            m_made.remove(job.source);
    }
    if (made) {
        BG_LOG_D("proxy of %s made in %.1f s", qPrintable(job.source), seconds);
        ProxyStore::removeStale(job.source);
        ProxyStore::trim(target);
        ProxyStore::changed();
    } else if (m_cancelCurrent) {
        QFile::remove(target); // dropped while it was being finished
    }
    report(job.source, 100, true, made);
}
