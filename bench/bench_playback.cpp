// Playback benchmark: plays 60 s of a timeline (a 1080p H.264 video with its
// sound, a picture overlay and a subtitle) through the editor's own wiring into a
// shown preview window, and reports:
//  - the share of 40 ms render ticks whose video layer showed no new picture,
//  - the average lag between the play position and the picture shown,
//  - the drift between the sound clock and the play position over the run,
//  - resident memory at 10 s and at 60 s.
// Reference: the sound clock is the sink's own pace (the null sink consumes in real
// time), i.e. wall time since playback started; the play position is the frame
// the player last asked for.
// Run under Xvfb next to a PulseAudio server (scripts/bench.sh does both).
#include "common/ValueQt.h"
#include "preview/ZueDisplayWindow.h"
#include "render/RefCountedObject.h"
#include "render/RenderManager.h"
#include "render/audio/PlayerManager.h"
#include "render/preview/PreviewLayers.h"
#include "render/preview/VideoPreviewItem.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineTreeModel.h"
#include "timeline/TimelineEvaluator.h"
#include "undo/UndoController.h"

#include "graphics/GsItem.h"

#include <QApplication>

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

constexpr double kFrameMs = 1000.0 / 30.0;
int kPlayMs = 60000;

std::atomic<int64_t> g_playFrame{-1};

struct TickSample {
    int64_t atMs;
    int64_t playFrame;
    int64_t shownPtsUs;
};

// Ticked by the render thread after every other item of the scene: notes what the
// video layer shows at each tick.
class TickProbe : public GsItem {
public:
    explicit TickProbe(VideoPreviewItem *layer) : m_layer(layer) { m_clock.start(); }
    void Tick() override
    {
        QMutexLocker lock(&m_mutex);
        m_samples.push_back({m_clock.elapsed(), g_playFrame.load(), m_layer->shownPtsUs()});
    }
    std::vector<TickSample> samples()
    {
        QMutexLocker lock(&m_mutex);
        return m_samples;
    }
    qint64 now() const { return m_clock.elapsed(); }

private:
    VideoPreviewItem *m_layer;
    QElapsedTimer m_clock;
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

bool makeMedia(const QString &video, const QString &picture)
{
    auto run = [](const QStringList &args) {
        return QProcess::execute("ffmpeg", QStringList{"-loglevel", "error", "-y"} + args) == 0;
    };
    if (!QFile::exists(video) &&
        !run({"-f",   "lavfi",   "-i",        "testsrc2=s=1920x1080:r=30:d=62",
              "-f",   "lavfi",   "-i",        "sine=f=440:d=62",
              "-c:v", "libx264", "-preset",   "veryfast",
              "-g",   "60",      "-pix_fmt",  "yuv420p",
              "-c:a", "aac",     "-shortest", video}))
        return false;
    return QFile::exists(picture) ||
           run({"-f", "lavfi", "-i", "color=c=orange:s=480x270", "-frames:v", "1", picture});
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerRenderMetaTypes();
    if (argc > 2) // a shorter run for a quick look
        kPlayMs = QString::fromLocal8Bit(argv[2]).toInt() * 1000;
    const QString work = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QString video = work + "/play1080.mp4", picture = work + "/overlay.png";
    if (!makeMedia(video, picture)) {
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
    TimeLineTreeModel model(&scene);
    model.setProbe([&rm](const QString &p, bool) { return rm.probeMedia(p, false); });
    model.buildGroups();
    TimeLineGraphicsView view(&scene, &model);
    PreviewLayers &layers = *rm.layers();
    // The same connections the main window makes.
    QObject::connect(&rm, &RenderManager::sig_frontFrameRequest, &view,
                     &TimeLineGraphicsView::slot_frontFrameRequest);
    QObject::connect(
        &view, &TimeLineGraphicsView::sig_audioFrames,
        [](const QList<AudioFrameData> &, int64_t frame, int64_t, int64_t, EditType edit) {
            if (edit == EDIT_PLAY)
                g_playFrame = frame;
        });
    QObject::connect(&view, &TimeLineGraphicsView::sig_audioFrames, &rm,
                     &RenderManager::onAudioAnswer);
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
        still->setGeometry(0, timeline::toScene(playFrames + 60), 0);
    logo->setValue("previewRect", bg::ValueQt(QRectF(560, -400, 480, 270)), false, true);
    words->setValue("previewRect", bg::ValueQt(QRectF(0, 400, 1200, 120)), false, true);
    layers.slot_trackFrames(TimelineEvaluator(&model).frameAt(0));
    auto *videoLayer =
        dynamic_cast<VideoPreviewItem *>(layers.layerOf(model.group(CT_VIDEO)->uuid));
    if (!videoLayer) {
        std::fprintf(stderr, "bench_playback: no video layer\n");
        return 1;
    }
    auto *probe = new RefCountedObject<TickProbe>(videoLayer);
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

    long rss10 = -1, rss60 = -1;
    qint64 startMs = -1;
    QTimer::singleShot(1000, [&] {
        startMs = probe->now();
        rm.setPlaying(true);
    });
    QTimer::singleShot(1000 + 10000, [&] { rss10 = residentKb(); });
    QTimer::singleShot(1000 + kPlayMs, [&] {
        rss60 = residentKb();
        rm.setPlaying(false);
        app.quit();
    });
    app.exec();
    const qint64 endMs = probe->now();
    const int64_t endFrame = g_playFrame.load();

    // Ticks from 1 s into playback to the end: is the picture new, and how far
    // behind the play position is it?
    int ticks = 0, stale = 0, staleMoved = 0;
    double lagSum = 0;
    int64_t previous = -2, previousFrame = -1;
    for (const TickSample &s : probe->samples()) {
        if (s.atMs < startMs + 1000 || s.atMs > startMs + kPlayMs || s.shownPtsUs < 0)
            continue;
        if (previous != -2) {
            ++ticks;
            stale += s.shownPtsUs == previous;
            // Stale although the play position moved since the last tick.
            staleMoved += s.shownPtsUs == previous && s.playFrame != previousFrame;
            lagSum += s.playFrame * kFrameMs - s.shownPtsUs / 1000.0;
        }
        previous = s.shownPtsUs;
        previousFrame = s.playFrame;
    }
    // The play position should keep the sink's pace: its lead over the sink clock
    // (the queued sound) must not grow or shrink between 5 s and the end. The
    // position moves in bursts of a few frames, so each end is a 2 s average.
    double sum5 = 0, sumEnd = 0;
    int n5 = 0, nEnd = 0;
    for (const TickSample &s : probe->samples()) {
        if (s.atMs > startMs + kPlayMs || s.playFrame < 0)
            continue;
        const double lead = (s.playFrame + 1) * kFrameMs - double(s.atMs - startMs);
        if (s.atMs >= startMs + 5000 && s.atMs < startMs + 7000) {
            sum5 += lead;
            ++n5;
        } else if (s.atMs >= startMs + kPlayMs - 2000) {
            sumEnd += lead;
            ++nEnd;
        }
    }
    const double lead5 = n5 ? sum5 / n5 : 0, leadEnd = nEnd ? sumEnd / nEnd : 0;
    const double drift = leadEnd - lead5;
    // Why ticks are stale: how long a tick takes, how far apart new pictures come,
    // and how many frames the play position moves between ticks.
    std::vector<double> tickGaps, pictureGaps;
    std::vector<int64_t> steps;
    {
        const TickSample *last = nullptr;
        int64_t lastNewAt = -1, lastPts = -2;
        for (const TickSample &s : probe->samples()) {
            if (s.atMs < startMs + 1000 || s.atMs > startMs + kPlayMs || s.shownPtsUs < 0)
                continue;
            if (last) {
                tickGaps.push_back(double(s.atMs - last->atMs));
                steps.push_back(s.playFrame - last->playFrame);
            }
            if (s.shownPtsUs != lastPts) {
                if (lastNewAt >= 0)
                    pictureGaps.push_back(double(s.atMs - lastNewAt));
                lastNewAt = s.atMs;
                lastPts = s.shownPtsUs;
            }
            last = &s;
        }
    }
    auto pct = [](std::vector<double> v, double q) {
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(q * (v.size() - 1)))];
    };
    std::vector<double> stepsD(steps.begin(), steps.end());
    const double staleShare = ticks ? 100.0 * stale / ticks : 100.0;
    std::printf("playback 60 s, 1080p H.264 + picture + subtitle, preview 960x540:\n");
    std::printf("  render ticks %d, stale %d = %.2f %% (goal <= 2 %%)\n", ticks, stale, staleShare);
    std::printf("  of these, stale although the play position had moved: %d = %.2f %%\n",
                staleMoved, ticks ? 100.0 * staleMoved / ticks : 0.0);
    std::printf("  tick period median %.0f ms, p95 %.0f ms; ticks showing a new picture apart: "
                "median %.0f ms, p95 %.0f ms; play position moves per tick: median %.0f, "
                "min %.0f, max %.0f frames\n",
                pct(tickGaps, 0.5), pct(tickGaps, 0.95), pct(pictureGaps, 0.5),
                pct(pictureGaps, 0.95), pct(stepsD, 0.5), pct(stepsD, 0.0), pct(stepsD, 1.0));
    std::printf("  average lag play position -> picture shown: %.1f ms (%.2f frames)\n",
                ticks ? lagSum / ticks : 0.0, ticks ? lagSum / ticks / kFrameMs : 0.0);
    std::printf(
        "  play position ahead of the sink clock: %.1f ms at 5-7 s, %.1f ms in the last 2 s; "
        "drift %.1f ms = %.2f frames (goal <= 1); last frame %lld after %lld ms\n",
        lead5, leadEnd, drift, drift / kFrameMs, static_cast<long long>(endFrame),
        static_cast<long long>(endMs - startMs));
    std::printf("  video layer decoded %d requests\n", videoLayer->decodedRequests());
    std::printf("  resident memory at 10 s %ld KiB, at 60 s %ld KiB (%+.1f %%)\n", rss10, rss60,
                rss10 > 0 ? 100.0 * (rss60 - rss10) / rss10 : 0.0);

    rm.stopRenderThread();
    delete display;
    model.clearAll();
    zua::UndoController::instance()->reset();
    probe->Release();
    return 0;
}
