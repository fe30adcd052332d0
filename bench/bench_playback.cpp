// Playback benchmark: plays 60 s of a timeline (a video with its sound, 1080p
// H.264 unless told otherwise, a picture overlay and a subtitle) through the editor's own wiring
// into a shown 960 x 540 preview window, twice in one run: as the editor used to (each picture
// shown once decoded, ahead of the sound by the output's queue; the scene composed at the project
// size; each render tick 40 ms after the last one ended) and as it does now (each picture shown
// when its sound is heard; the scene composed at the size it is shown; ticks every 40 ms), and then
// as it does now while the main thread is busy 30 ms of every 50 ms (a timer that spins, as a drag
// or a heavy repaint would): the player and the preview must not need it; and once more while
// another program keeps one core busy; then the same three from the footage's proxy (made first,
// its making time printed against the clip's length), and once from the original while a proxy
// is made in the background. Arguments: [work folder] [seconds] [footage
// "WxH[:encoder[:rate[:bit rate]]]"]. For each it reports
//  - how often a render tick shows a new picture when the heard frame has changed,
//  - how far apart new pictures come,
//  - the picture shown against the sound heard, and how that drifts over the run,
//  - the play position against the sink clock (drift),
//  - resident memory at 10 s and at the end.
// References: the sound heard is the sink's position as the output reports it at
// each tick (the end of the sound queued minus what it has not played yet); the
// sink clock for drift is the null sink's own pace (it consumes in real time),
// i.e. wall time since the first sound was handed to it.
// Run under Xvfb next to a PulseAudio server (scripts/bench.sh does both).
#include "common/ValueQt.h"
#include "main/TimelineWiring.h"
#include "preview/ZueDisplayWindow.h"
#include "render/RefCountedObject.h"
#include "render/RenderManager.h"
#include "render/RenderThread.h"
#include "render/Transport.h"
#include "render/compose/PreviewLayers.h"
#include "render/compose/VideoPreviewItem.h"
#include "render/player/AudioMixerPlayer.h"
#include "render/player/PlaybackClock.h"
#include "render/player/PlayerManager.h"
#include "render/proxy/ProxyMaker.h"
#include "render/proxy/ProxyStore.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineEvaluator.h"
#include "undo/UndoController.h"

#include "bridge/SystemServices.h"
#include "graphics/GsDevice.h"
#include "graphics/GsItem.h"

#include <QApplication>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr double kFrameMs = 1000.0 / 30.0;
int kPlayMs = 60000;

std::atomic<int64_t> g_firstFrame{-1};
std::atomic<int64_t> g_firstAnswerMs{-1};

int64_t nowMs()
{
    static QElapsedTimer clock;
    static std::once_flag started;
    std::call_once(started, [] { clock.start(); });
    return clock.elapsed();
}

struct TickSample {
    int64_t atMs;
    int64_t playFrame;
    int64_t shownPtsUs;
    int64_t heardFrame; // by the player's clock
    int64_t sinkUs;     // timeline time the sink plays now, by the output's own report
};

// Held while the output may be closed: the probe asks it only while playing.
QMutex g_outputMutex;
bool g_outputOpen = false;

// Ticked by the render thread after every other item of the scene: notes what the
// video layer shows at each tick.
class TickProbe : public GsItem {
public:
    TickProbe(VideoPreviewItem *layer, std::shared_ptr<PlaybackClock> clock)
        : m_layer(layer), m_clock(std::move(clock))
    {}
    void Tick() override
    {
        const int64_t heard = m_clock->heardFrame(bg::SystemServices::monotonicMicros());
        // The sink's position: the end of the sound queued minus what the output
        // reports as not yet played, asked now (not extrapolated).
        int64_t sinkUs = -1;
        {
            QMutexLocker open(&g_outputMutex);
            const int64_t end = m_clock->writtenEnd();
            if (g_outputOpen && end >= 0)
                sinkUs = end * 1000000 / 30 - AudioMixerPlayer::instance().queuedUs();
        }
        // The frame whose sound was handed to the output last.
        const int64_t written = m_clock->writtenEnd();
        QMutexLocker lock(&m_mutex);
        m_samples.push_back({nowMs(), written - 1, m_layer->shownPtsUs(), heard, sinkUs});
    }
    std::vector<TickSample> samples()
    {
        QMutexLocker lock(&m_mutex);
        return m_samples;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_samples.clear();
    }

private:
    VideoPreviewItem *m_layer;
    std::shared_ptr<PlaybackClock> m_clock;
    QMutex m_mutex;
    std::vector<TickSample> m_samples;
};

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The footage played: "WxH[:encoder[:rate[:bit rate]]]" from the command line, e.g.
// "3840x2160:libx265:30:30M" for a phone's 4K HEVC; by default 1080p H.264 at 30 fps.
struct Footage {
    QString size = "1920x1080", encoder = "libx264", rate = "30", bitRate;
    static Footage parse(const QString &text)
    {
        Footage f;
        const QStringList parts = text.split(':');
        if (!parts.value(0).isEmpty())
            f.size = parts[0];
        if (!parts.value(1).isEmpty())
            f.encoder = parts[1];
        if (!parts.value(2).isEmpty())
            f.rate = parts[2];
        f.bitRate = parts.value(3);
        return f;
    }
    QString name() const
    {
        return QStringList{size, encoder, rate, bitRate.isEmpty() ? "q" : bitRate}.join('-');
    }
    QString label() const
    {
        return size + " " + encoder + " " + rate + " fps" +
               (bitRate.isEmpty() ? QString() : " " + bitRate + "bit/s");
    }
};

// The clip lasts the run and 2 s more.
QString clipSeconds()
{
    return QString::number(kPlayMs / 1000 + 2);
}

bool makeMedia(const Footage &footage, const QString &video, const QString &picture)
{
    const QString seconds = clipSeconds();
    auto run = [](const QStringList &args) {
        return QProcess::execute("ffmpeg", QStringList{"-loglevel", "error", "-y"} + args) == 0;
    };
    // x265 at its fastest preset: its "veryfast" takes some 20 minutes here for a
    // minute of 4K; phones' own encoders are no more elaborate.
    QStringList encode{"-c:v",     footage.encoder,
                       "-preset",  footage.encoder == "libx265" ? "ultrafast" : "veryfast",
                       "-g",       QString::number(footage.rate.toInt() * 2),
                       "-pix_fmt", "yuv420p"};
    if (!footage.bitRate.isEmpty())
        encode << "-b:v" << footage.bitRate;
    if (!QFile::exists(video) &&
        !run(QStringList{"-f", "lavfi", "-i",
                         "testsrc2=s=" + footage.size + ":r=" + footage.rate + ":d=" + seconds,
                         "-f", "lavfi", "-i", "sine=f=440:d=" + seconds} +
             encode + QStringList{"-c:a", "aac", "-shortest", video}))
        return false;
    return QFile::exists(picture) ||
           run({"-f", "lavfi", "-i", "color=c=orange:s=480x270", "-frames:v", "1", picture});
}

struct Result {
    int ticks = 0, heardChanged = 0, newWhenChanged = 0, withinFrame = 0, measured = 0;
    double pictureGapMedian = 0, pictureGapP95 = 0, tickMedian = 0;
    double offsetMedian = 0, offsetP5 = 0, offsetP95 = 0, offsetDrift = 0;
    double leadDrift = 0, leadMedian = 0, clockLeadMedian = 0;
    int decoded = 0;
    long rss10 = -1, rssEnd = -1;
    std::vector<long> rssSeries; // every 10 s from 10 s on
    int dropped = 0;             // pictures dropped before conversion, late
    QString name;
};

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1)))];
}

// Notes when the first sound was handed to the output (the clock learns of it at
// once), polling every millisecond on a thread of its own.
class FirstSoundWatch {
public:
    explicit FirstSoundWatch(std::shared_ptr<PlaybackClock> clock)
        : m_thread([this, clock] {
              while (!m_stop) {
                  const int64_t end = clock->writtenEnd();
                  if (end >= 0 && g_firstAnswerMs < 0) {
                      g_firstFrame = end - 1;
                      g_firstAnswerMs = nowMs();
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {}
    ~FirstSoundWatch()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Plays kPlayMs from the start, the old way or the new one, and measures it; with
// `busy` the main thread spins 30 ms of every 50 ms meanwhile.
Result play(RenderManager &rm, PreviewLayers &layers, TimeLineGraphicsView &view, TickProbe &probe,
            VideoPreviewItem &layer, bool now, bool busy = false, bool coreTaken = false)
{
    // Another program keeping one core busy for the whole run, at normal priority.
    QProcess spinner;
    if (coreTaken) {
        spinner.start("sh", {"-c", "while :; do :; done"});
        spinner.waitForStarted();
    }
    struct StopSpinner {
        QProcess &p;
        ~StopSpinner()
        {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished();
            }
        }
    } stopSpinner{spinner};
    layers.setFollowHeardSound(now);
    GsDevice::DefaultDevice()->SetComposeAtViewSize(now);
    RenderThread::setSteadyCadence(now);
    view.slot_resetFrame(0, EDIT_NONE, true);
    Result r;
    const int decodedBefore = layer.decodedRequests();
    const int droppedBefore = layer.droppedLate();
    QEventLoop loop;
    QTimer load;
    QObject::connect(&load, &QTimer::timeout, [] {
        QElapsedTimer spin;
        spin.start();
        while (spin.elapsed() < 30) {
        }
    });
    std::unique_ptr<FirstSoundWatch> watch;
    QTimer::singleShot(1000, [&] {
        probe.clear();
        g_firstAnswerMs = -1;
        watch = std::make_unique<FirstSoundWatch>(rm.playerManager()->clock());
        if (busy)
            load.start(50);
        rm.transport()->play();
        QMutexLocker open(&g_outputMutex);
        g_outputOpen = true;
    });
    QTimer::singleShot(1000 + 10000, [&] { r.rss10 = residentKb(); });
    for (int at = 10000; at < kPlayMs; at += 10000)
        QTimer::singleShot(1000 + at, [&] { r.rssSeries.push_back(residentKb() / 1024); });
    QTimer::singleShot(1000 + kPlayMs, [&] {
        r.rssEnd = residentKb();
        QMutexLocker open(&g_outputMutex);
        g_outputOpen = false;
        load.stop();
        rm.transport()->pause();
        loop.quit();
    });
    loop.exec();
    watch.reset();
    r.decoded = layer.decodedRequests() - decodedBefore;
    r.dropped = layer.droppedLate() - droppedBefore;

    // The sink clock: the first answer's sound started when it was handed over,
    // and the sink consumes it in real time from then on.
    const int64_t t0 = g_firstAnswerMs.load(), f0 = g_firstFrame.load();
    auto heardMs = [&](int64_t atMs) { return f0 * kFrameMs + double(atMs - t0); };
    std::vector<double> offsets, pictureGaps, tickGaps, leads, clockLeads;
    double early = 0, late = 0;
    int nEarly = 0, nLate = 0;
    double lead5 = 0, leadEnd = 0;
    int n5 = 0, nEnd = 0;
    const TickSample *last = nullptr;
    int64_t lastNewAt = -1;
    for (const TickSample &s : probe.samples()) {
        if (t0 < 0 || s.atMs < t0 + 1000 || s.atMs > t0 + kPlayMs - 1000 || s.shownPtsUs < 0 ||
            s.sinkUs < 0)
            continue;
        const double offset = (s.shownPtsUs - s.sinkUs) / 1000.0;
        const int64_t shownFrame = (s.shownPtsUs * 30 + 500000) / 1000000;
        const int64_t sinkFrame = s.sinkUs * 30 / 1000000;
        r.withinFrame += std::abs(shownFrame - sinkFrame) <= 1;
        offsets.push_back(offset);
        ++r.measured;
        const double lead = (s.playFrame + 1) * kFrameMs - heardMs(s.atMs);
        leads.push_back(lead);
        if (s.heardFrame >= 0)
            clockLeads.push_back(double(s.playFrame - s.heardFrame) * kFrameMs);
        if (s.atMs < t0 + 7000) {
            early += offset;
            ++nEarly;
            lead5 += lead;
            ++n5;
        } else if (s.atMs >= t0 + kPlayMs - 3000) {
            late += offset;
            ++nLate;
            leadEnd += lead;
            ++nEnd;
        }
        if (last) {
            ++r.ticks;
            tickGaps.push_back(double(s.atMs - last->atMs));
            const bool isNew = s.shownPtsUs != last->shownPtsUs;
            const bool changed = s.sinkUs * 30 / 1000000 != last->sinkUs * 30 / 1000000;
            r.heardChanged += changed;
            r.newWhenChanged += changed && isNew;
            if (isNew) {
                if (lastNewAt >= 0)
                    pictureGaps.push_back(double(s.atMs - lastNewAt));
                lastNewAt = s.atMs;
            }
        }
        last = &s;
    }
    r.pictureGapMedian = quantile(pictureGaps, 0.5);
    r.pictureGapP95 = quantile(pictureGaps, 0.95);
    r.tickMedian = quantile(tickGaps, 0.5);
    r.offsetMedian = quantile(offsets, 0.5);
    r.leadMedian = quantile(leads, 0.5);
    r.clockLeadMedian = quantile(clockLeads, 0.5);
    r.offsetP5 = quantile(offsets, 0.05);
    r.offsetP95 = quantile(offsets, 0.95);
    r.offsetDrift = (nLate ? late / nLate : 0) - (nEarly ? early / nEarly : 0);
    r.leadDrift = (nEnd ? leadEnd / nEnd : 0) - (n5 ? lead5 / n5 : 0);
    return r;
}

void report(const std::vector<const Result *> &runs, const Footage &footage)
{
    auto share = [](const Result &r) {
        return r.heardChanged ? 100.0 * r.newWhenChanged / r.heardChanged : 0.0;
    };
    auto row = [&](const char *name, const std::function<QString(const Result &)> &cell) {
        std::printf("%-58s", name);
        for (const Result *r : runs)
            std::printf(" %15s", qPrintable(cell(*r)));
        std::printf("\n");
    };
    auto num = [](double v, int decimals, const char *unit) {
        return QString::number(v, 'f', decimals) + unit;
    };
    std::printf("playback %d s, %s + picture + subtitle, preview 960x540\n", kPlayMs / 1000,
                qPrintable(footage.label()));
    std::printf("%-58s", "");
    for (const Result *r : runs)
        std::printf(" %15s", qPrintable(r->name));
    std::printf("\n");
    row("render ticks", [](const Result &r) { return QString::number(r.ticks); });
    row("new picture when the heard frame changed (>= 98 %)",
        [&](const Result &r) { return num(share(r), 1, " %"); });
    row("render tick period, median", [&](const Result &r) { return num(r.tickMedian, 0, " ms"); });
    row("between new pictures, median (<= 45 ms)",
        [&](const Result &r) { return num(r.pictureGapMedian, 0, " ms"); });
    row("between new pictures, p95",
        [&](const Result &r) { return num(r.pictureGapP95, 0, " ms"); });
    row("picture - heard sound, median (within 1 frame = 33 ms)",
        [&](const Result &r) { return num(r.offsetMedian, 1, " ms"); });
    row("picture - heard sound, p5..p95", [](const Result &r) {
        return QString("%1..%2 ms").arg(r.offsetP5, 0, 'f', 0).arg(r.offsetP95, 0, 'f', 0);
    });
    row("ticks whose picture is within 1 frame of the sound (>= 98 %)", [&](const Result &r) {
        return num(r.measured ? 100.0 * r.withinFrame / r.measured : 0.0, 1, " %");
    });
    row("picture against sound, drift first 6 s -> last 2 s (<= 1)",
        [&](const Result &r) { return num(r.offsetDrift / kFrameMs, 2, " frames"); });
    row("play position against sink clock, drift",
        [&](const Result &r) { return num(r.leadDrift / kFrameMs, 2, " frames"); });
    row("play position ahead of the heard frame (player's clock)",
        [&](const Result &r) { return num(r.clockLeadMedian, 1, " ms"); });
    row("video requests decoded", [](const Result &r) { return QString::number(r.decoded); });
    row("pictures dropped late, before conversion",
        [](const Result &r) { return QString::number(r.dropped); });
    row("resident memory, 10 s -> end", [&](const Result &r) {
        return num(r.rss10 > 0 ? 100.0 * (r.rssEnd - r.rss10) / r.rss10 : 0.0, 1, " %");
    });
    row("resident memory at the end",
        [](const Result &r) { return QString::number(r.rssEnd / 1024) + " MiB"; });
    for (size_t i = 0; i < runs.size(); ++i) {
        std::printf("  resident memory every 10 s (%s), MiB:", qPrintable(runs[i]->name));
        for (long v : runs[i]->rssSeries)
            std::printf(" %ld", v);
        std::printf(" %ld\n", runs[i]->rssEnd / 1024);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const QString work = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    // Settings and proxies of the bench's own, in its work folder.
    qputenv("XDG_CONFIG_HOME", (work + "/xdg-config").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (work + "/xdg-cache").toLocal8Bit());
    QApplication app(argc, argv);
    registerRenderMetaTypes();
    if (argc > 2) // a shorter run for a quick look
        kPlayMs = QString::fromLocal8Bit(argv[2]).toInt() * 1000;
    const Footage footage = Footage::parse(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    const QString video = work + "/play-" + footage.name() + "-" + clipSeconds() + "s.mp4",
                  picture = work + "/overlay.png";
    if (!makeMedia(footage, video, picture)) {
        std::fprintf(stderr, "bench_playback: could not make the media with ffmpeg\n");
        return 1;
    }

    RenderManager rm;
    if (!rm.init()) {
        std::fprintf(stderr, "bench_playback: no OpenGL device (run under Xvfb)\n");
        return 1;
    }
    rm.setSceneSize(1920, 1080, true);
    TimeLineGraphicsScene scene;
    TimelineDocument model;
    model.buildGroups();
    TimeLineGraphicsView view(&scene, &model);
    PreviewLayers &layers = *rm.layers();
    // The same connections the main window makes.
    wireTimeline(&rm, &view, &model);
    QObject::connect(&view, &TimeLineGraphicsView::sig_trackFrames, &layers,
                     &PreviewLayers::slot_trackFrames);

    const int64_t playFrames = kPlayMs / 1000 * 30;
    SourceItem *clip = model.createClip(model.group(CT_VIDEO), CT_VIDEO, video, 0);
    SourceItem *logo = model.createClip(model.group(CT_PICTURE), CT_PICTURE, picture, 0);
    SourceItem *words = model.createClip(model.group(CT_SUBTITLE), CT_SUBTITLE, QString(), 0,
                                         QColor(255, 230, 0), QFont("DejaVu Sans", 48));
    if (!clip || !logo || !words) {
        std::fprintf(stderr, "bench_playback: the clips could not be made\n");
        return 1;
    }
    for (SourceItem *still : {logo, words})
        still->setValue("source", SourceData::sourceValue(still->track, 0, playFrames + 60, 0),
                        false, true);
    logo->setValue("previewRect", bg::ValueQt(QRectF(560, -400, 480, 270)), false, true);
    words->setValue("previewRect", bg::ValueQt(QRectF(0, 400, 1200, 120)), false, true);
    layers.slot_trackFrames(TimelineEvaluator(&model).frameAt(0));
    auto *videoLayer =
        dynamic_cast<VideoPreviewItem *>(layers.layerOf(model.group(CT_VIDEO)->uuid));
    if (!videoLayer) {
        std::fprintf(stderr, "bench_playback: no video layer\n");
        return 1;
    }
    auto *probe = new RefCountedObject<TickProbe>(videoLayer, rm.playerManager()->clock());
    probe->AddRef();
    probe->SetOrder(1 << 30); // ticks after the layers
    rm.addItem(probe);

    // The preview as the editor shows it: a 960 × 540 window presenting the scene.
    QWidget window;
    auto *display = new ZueDisplayWindow(&rm);
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(QWidget::createWindowContainer(display, &window));
    window.resize(960, 540);
    window.show();
    view.slot_resetFrame(0, EDIT_NONE, true);

    // From the original first (no proxy), then from its proxy.
    ProxyStore::setEnabled(false);
    std::vector<Result> runs;
    auto run = [&](const char *name, bool now, bool busy, bool coreTaken) {
        runs.push_back(play(rm, layers, view, *probe, *videoLayer, now, busy, coreTaken));
        runs.back().name = name;
    };
    run("before", false, false, false);
    run("now", true, false, false);
    run("now, main busy", true, true, false);
    run("now, core taken", true, false, true);
    // The original again while a proxy of it is made in the background, as the editor
    // makes it (lowest priority).
    double backgroundMaking = -1;
    std::atomic<int> backgroundPercent{0};
    {
        std::atomic<bool> stop{false};
        std::thread maker([&] {
            bg::SystemServices::lowerThreadPriority();
            backgroundMaking = ProxyMaker::make(
                video, work + "/proxy-while-playing.mp4",
                [&](int percent) { backgroundPercent = percent; }, [&] { return stop.load(); });
        });
        run("now, proxy made", true, false, false);
        stop = true;
        maker.join();
        QFile::remove(work + "/proxy-while-playing.mp4");
    }
    ProxyStore::setEnabled(true);
    const double making = ProxyMaker::make(
        video, ProxyStore::proxyPathFor(video), [](int) {}, [] { return false; });
    ProxyStore::changed(); // the layer's decoder opens the proxy
    run("proxy", true, false, false);
    run("proxy, main busy", true, true, false);
    run("proxy, core taken", true, false, true);
    std::vector<const Result *> shown;
    for (const Result &r : runs)
        shown.push_back(&r);
    report(shown, footage);
    const double clipLength = clipSeconds().toDouble();
    std::printf("proxy making, quiet machine, lowest priority: %.1f s for a %.0f s clip "
                "(%.2f of its length; <= 1)\n",
                making, clipLength, making / clipLength);
    if (backgroundMaking < 0)
        std::printf("proxy making while playing: %d %% of the clip in the %d s run "
                    "(%.2f s of clip a second)\n",
                    backgroundPercent.load(), kPlayMs / 1000,
                    clipLength * backgroundPercent / 100.0 / (kPlayMs / 1000.0));
    else
        std::printf("proxy making while playing: %.1f s\n", backgroundMaking);
    ProxyStore::setEnabled(false);

    rm.stopRenderThread();
    delete display;
    model.clearAll();
    zua::UndoController::instance()->reset();
    probe->Release();
    return 0;
}
