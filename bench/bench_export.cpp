// Export benchmark: the reference timeline (20 s at 1920 × 1080, 30 fps: clip A,
// 1080p H.264 with a 440 Hz tone, for the first 10 s; clip B, 720p H.264 fitted to
// the frame with an 880 Hz tone, for the next 10 s; a 1000 ms "over_cross" over the
// cut; a 400 × 300 PNG logo with a soft alpha edge at (+500, −250) from the centre,
// turned 15°, at 70 % opacity for the whole 20 s; the subtitle "Hello 你好" in white
// near the bottom; music at half volume), written as a project file and read as the
// editor reads one (the template bench/reference.zua2.in, which bench_render.sh
// fills in too). In the same run, alternating:
//  - the editor's export (Exporter::startExport with this thread's loop running),
//  - zuaedit-render on the same project file, as a user runs it,
// then the same export with every frame composed by the graph, the two ways' pictures
// compared nearly lossless, and the bare encoder: as many raw RGBA frames of that
// size piped into ffmpeg's x264. The media are BT.709 and inside its gamut, as camera
// footage is. The comparison with a plain ffmpeg filter graph is bench_render.sh
// (against the performance anchors). Run under Xvfb (scripts/bench.sh).
#include "render/RenderManager.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "undo/UndoController.h"

#include "main/RenderSections.h"
#include "main/TimelineWiring.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFps = 30, kSeconds = 20;
const char *const kCrf = "20"; // the writer's "quality first"

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool ffmpeg(const QStringList &args)
{
    return run("ffmpeg", QStringList{"-v", "error", "-y"} + args);
}

long rssKb()
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Processor seconds (user + system) of this process, or of its finished children.
double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double seconds(const std::function<bool()> &work, bool *ok)
{
    QElapsedTimer t;
    t.start();
    *ok = work();
    return t.elapsed() / 1000.0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// RGB test pictures made into BT.709 limited-range video the way a camera's are, so
// that every colour lies inside the matrix's gamut.
const char *const kTo709 = "format=rgb24,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";

QStringList x264Tagged709()
{
    return {"-c:v",         "libx264", "-preset",          "veryfast", "-pix_fmt",   "yuv420p",
            "-colorspace",  "bt709",   "-color_primaries", "bt709",    "-color_trc", "bt709",
            "-color_range", "tv"};
}

// The reference timeline as a project file, from the template bench_render.sh fills in
// too; empty when the template cannot be read.
QByteArray referenceProject(const QString &a, const QString &b, const QString &logo,
                            const QString &music)
{
    QFile file(QStringLiteral(ZUA_BENCH_DIR "/reference.zua2.in"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QString::fromUtf8(file.readAll())
        .replace("@A@", a)
        .replace("@B@", b)
        .replace("@LOGO@", logo)
        .replace("@MUSIC@", music)
        .toUtf8();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    registerRenderMetaTypes();
    const QString work = argc > 1 ? argv[1] : QDir::tempPath() + "/zua-bench-export";
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QDir().mkpath(work);
    // "-709" in the names: the media of earlier runs, made without the conversion, are
    // not reused.
    const QString a = work + "/export-a-709.mp4", b = work + "/export-b-709.mp4",
                  logo = work + "/export-logo.png", music = work + "/export-music.wav";
    const bool made =
        (QFile::exists(a) ||
         ffmpeg(QStringList{"-f", "lavfi", "-i",
                            QString("testsrc2=s=1920x1080:r=30:d=10.5,") + kTo709, "-f", "lavfi",
                            "-i", "sine=frequency=440:duration=10.5"} +
                x264Tagged709() + QStringList{"-c:a", "aac", "-shortest", a})) &&
        (QFile::exists(b) ||
         ffmpeg(QStringList{"-f", "lavfi", "-i", QString("mandelbrot=s=1280x720:r=30,") + kTo709,
                            "-f", "lavfi", "-i", "sine=frequency=880:duration=10.5"} +
                x264Tagged709() + QStringList{"-c:a", "aac", "-t", "10.5", b})) &&
        (QFile::exists(logo) ||
         ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=400x300", "-frames:v", "1", "-vf",
                 "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':"
                 "a='255*min(1,min(min(X,W-X),min(Y,H-Y))/40)'",
                 logo})) &&
        (QFile::exists(music) ||
         ffmpeg({"-f", "lavfi", "-i", "sine=frequency=660:duration=20", music}));
    const QString project = work + "/reference.zua2";
    QFile projectFile(project);
    const QByteArray projectText = referenceProject(a, b, logo, music);
    if (!made || projectText.isEmpty() ||
        !projectFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        projectFile.write(projectText) < 0 || !projectFile.flush()) {
        std::fprintf(stderr, "bench_export: the media or the project could not be made\n");
        return 1;
    }
    projectFile.close();

    RenderManager rm;
    if (!rm.init()) {
        std::fprintf(stderr, "bench_export: no OpenGL device (run under Xvfb)\n");
        return 1;
    }
    Exporter exporter(rm.transport(),
                      [&rm] { return QSize(int(rm.sceneWidth()), int(rm.sceneHeight())); });
    exporter.manager()->setRevealWritten(false);
    TimeLineWidget timeline;
    wireTimeline(&rm, &timeline, &exporter);
    TimelineDocument *model = timeline.model();
    // The project read as the editor reads one.
    {
        QFile in(project);
        in.open(QIODevice::ReadOnly);
        QXmlStreamReader reader(&in);
        RenderSections sections(rm, *model);
        if (!reader.readNextStartElement() ||
            !ProjectSections::readProject(reader, sections).complete() ||
            model->clips().size() != 5) {
            std::fprintf(stderr, "bench_export: the project could not be read\n");
            return 1;
        }
    }

    MVParams params;
    params.path = work + "/export-ours.mp4";
    params.width = kWidth;
    params.height = kHeight;
    params.frameRate = kFps;
    params.keyInterval = kFps;
    params.replace = true; // the previous run's output

    // The main thread meanwhile, as the editor's: a 10 ms timer stands for the user's
    // clicks; the longest wait between its ticks is how long a click could wait.
    QElapsedTimer wall;
    wall.start();
    int64_t lastTick = -1, longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const int64_t now = wall.elapsed();
        if (lastTick >= 0)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    std::vector<long> memory, afterEach;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&memory] { memory.push_back(rssKb()); });
    auto editorExport = [&] {
        // As the editor starts it: the run goes on while this thread's loop runs.
        QEventLoop loop;
        int result = -1;
        QObject::connect(&exporter, &Exporter::sig_exportEnded, &loop, [&](int r) {
            result = r;
            loop.quit();
        });
        lastTick = -1;
        memory.clear();
        ticker.start(10);
        sampler.start(500);
        exporter.startExport(params);
        if (result < 0)
            loop.exec();
        ticker.stop();
        sampler.stop();
        afterEach.push_back(rssKb());
        return result == int(ExportManager::Result::Written);
    };
    const QString renderer = qEnvironmentVariableIsSet("ZUA_RENDER")
                                 ? qEnvironmentVariable("ZUA_RENDER")
                                 : QCoreApplication::applicationDirPath() + "/../zuaedit-render";
    auto rendererExport = [&] {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(renderer, {project, work + "/export-render.mp4", "--overwrite"});
        return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    std::vector<double> editorTimes, editorCpu, renderTimes, renderCpu;
    bool oursOk = true, renderOk = true;
    for (int i = 0; i < runs; ++i) {
        bool ok = false;
        const double cpu0 = cpuSeconds(RUSAGE_SELF);
        editorTimes.push_back(seconds(editorExport, &ok));
        editorCpu.push_back(cpuSeconds(RUSAGE_SELF) - cpu0);
        oursOk = oursOk && ok;
        const double child0 = cpuSeconds(RUSAGE_CHILDREN);
        renderTimes.push_back(seconds(rendererExport, &ok));
        renderCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - child0);
        renderOk = renderOk && ok;
    }
    const double ours = median(editorTimes), rendered = median(renderTimes);
    std::printf("export of the reference timeline (20 s, 1920x1080, 30 fps, x264 veryfast crf %s "
                "+ AAC), median of %d, alternating\n",
                kCrf, runs);
    std::printf("  the editor's export      %7.2f s, %.1f processor s %s\n", ours,
                median(editorCpu), oursOk ? "" : "(FAILED)");
    std::printf("  zuaedit-render           %7.2f s, %.1f processor s %s\n", rendered,
                median(renderCpu), renderOk ? "" : "(FAILED)");
    if (renderOk && rendered > 0)
        std::printf("  editor / zuaedit-render  %7.2f  (goal <= 1.05)\n", ours / rendered);
    std::printf("  the editor's main thread: longest wait between its 10 ms ticks %lld ms (a "
                "click is served within 100 ms)\n",
                static_cast<long long>(longestGap));
    const ExportManager::Paths paths = exporter.manager()->lastPaths();
    std::printf("  frames made in YUV       %lld of %lld\n", static_cast<long long>(paths.plain),
                static_cast<long long>(paths.plain + paths.composed));
    if (!memory.empty()) {
        const size_t n = memory.size();
        std::printf("  resident memory during the editor's last export: %ld MB at 25 %%, %ld MB "
                    "at 50 %%, %ld MB at 75 %%, %ld MB at the end\n",
                    memory[n / 4] / 1024, memory[n / 2] / 1024, memory[n * 3 / 4] / 1024,
                    memory[n - 1] / 1024);
    }
    std::printf("  resident memory after each of the editor's exports:");
    for (long kb : afterEach)
        std::printf(" %ld MB", kb / 1024);
    std::printf("\n");
    // The same export with every frame composed by the graph: what the short way saves,
    // and that both give the same picture.
    MVParams composedParams = params;
    composedParams.path = work + "/export-composed.mp4";
    exporter.manager()->setShortWay(false);
    bool composedOk = false;
    const double composed = seconds(
        [&] { return exporter.exportMovie(composedParams) == int(ExportManager::Result::Written); },
        &composedOk);
    exporter.manager()->setShortWay(true);
    std::printf("  all composed by the graph %6.2f s %s\n", composed, composedOk ? "" : "(FAILED)");
    // The two ways' pictures, both nearly lossless so that only they differ.
    auto fine = [&](const QString &name, bool shortWay) {
        MVParams p = params;
        p.path = work + "/" + name;
        p.bitRate = 150000;
        exporter.manager()->setShortWay(shortWay);
        const bool ok = exporter.exportMovie(p) == int(ExportManager::Result::Written);
        exporter.manager()->setShortWay(true);
        return ok ? p.path : QString();
    };
    const QString fineShort = fine("fine-short.mp4", true),
                  fineComposed = fine("fine-composed.mp4", false);
    QProcess psnr;
    psnr.start("ffmpeg", {"-hide_banner", "-nostdin", "-i", fineShort, "-i", fineComposed, "-lavfi",
                          "[0:v][1:v]psnr", "-f", "null", "-"});
    psnr.waitForFinished(-1);
    const QString report = QString::fromUtf8(psnr.readAllStandardError());
    const QRegularExpressionMatch match =
        QRegularExpression("average:([0-9.inf]+) min:([0-9.inf]+)").match(report);
    std::printf("  short way against all composed, nearly lossless: PSNR average %s dB, worst "
                "frame %s dB (goal >= 45)\n",
                qPrintable(match.captured(1)), qPrintable(match.captured(2)));
    std::fflush(stdout);
    // A quick look at our side alone while working on it.
    if (qEnvironmentVariableIsSet("ZUA_BENCH_OURS_ONLY"))
        return oursOk ? 0 : 1;

    // The bare encoder: 600 raw RGBA pictures (16 distinct ones, from clip A)
    // piped into x264 with the same settings.
    const QByteArray raw = [&] {
        QProcess p;
        p.start("ffmpeg", {"-v", "error", "-i", a, "-frames:v", "16", "-f", "rawvideo", "-pix_fmt",
                           "rgba", "-"});
        p.waitForFinished(-1);
        return p.readAllStandardOutput();
    }();
    const int frameBytes = kWidth * kHeight * 4;
    bool bareOk = raw.size() == 16 * frameBytes;
    double bare = 0;
    if (bareOk) {
        QProcess enc;
        enc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        enc.start("ffmpeg", {"-v",        "error",
                             "-y",        "-f",
                             "rawvideo",  "-pix_fmt",
                             "rgba",      "-s",
                             "1920x1080", "-r",
                             "30",        "-i",
                             "-",         "-c:v",
                             "libx264",   "-preset",
                             "veryfast",  "-crf",
                             kCrf,        "-pix_fmt",
                             "yuv420p",   work + "/export-bare.mp4"});
        enc.waitForStarted();
        for (int i = 0; i < kFps * kSeconds; ++i) {
            enc.write(raw.constData() + (i % 16) * frameBytes, frameBytes);
            while (enc.bytesToWrite() > 4 * frameBytes)
                enc.waitForBytesWritten(-1);
        }
        enc.closeWriteChannel();
        bareOk = enc.waitForFinished(-1) && enc.exitCode() == 0;
        bare = t.elapsed() / 1000.0;
    }
    std::printf("  bare x264 of RGBA frames %7.2f s %s\n", bare, bareOk ? "" : "(FAILED)");
    if (bareOk)
        std::printf("  editor / bare encoder    %7.2f  (goal <= 1.4)\n", ours / bare);
    model->clearAll();
    zua::UndoController::instance()->reset();
    return oursOk && renderOk ? 0 : 1;
}
