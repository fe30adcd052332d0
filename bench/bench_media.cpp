// Decoder and movie-writer benchmarks. Every figure is printed beside a reference
// measured in the same run on the same file: the ffmpeg command, or the bare
// decoding cost from the key frame.
#include "media/FFDecoder.h"
#include "media/MovieInfo.h"
#include "media/benchref/DecodeReference.h"
#include "movie/MovieWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kSeconds = 10;
constexpr int kFrames = kSeconds * 30;

bool run(const QString &program, const QStringList &args, double *seconds = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    const bool ok = p.waitForFinished(-1) && p.exitCode() == 0;
    if (seconds)
        *seconds = t.nsecsElapsed() / 1e9;
    return ok;
}

bool makeClip(const QString &path, int gop)
{
    if (QFile::exists(path))
        return true;
    return run("ffmpeg", {"-hide_banner",
                          "-loglevel",
                          "error",
                          "-y",
                          "-f",
                          "lavfi",
                          "-i",
                          QString("testsrc2=s=1920x1080:r=30:d=%1").arg(kSeconds),
                          "-c:v",
                          "libx264",
                          "-preset",
                          "veryfast",
                          "-crf",
                          "23",
                          "-g",
                          QString::number(gop),
                          "-keyint_min",
                          QString::number(gop),
                          "-sc_threshold",
                          "0",
                          "-bf",
                          "2",
                          "-pix_fmt",
                          "yuv420p",
                          path});
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

const ff::StreamCtx *videoOf(const QString &path)
{
    const ff::MovieCtx *m = ff::getMovieInfo(path.toLocal8Bit().constData());
    return m ? m->videoStream() : nullptr;
}

void sequentialDecode(const QString &clip)
{
    double reference = 0;
    // Best of two runs each, to keep a cold cache out of the ratio.
    double refBest = 1e9, oursBest = 1e9;
    for (int i = 0; i < 2; ++i) {
        run("ffmpeg",
            {"-hide_banner", "-loglevel", "error", "-i", clip, "-pix_fmt", "rgba", "-f", "null",
             "-"},
            &reference);
        refBest = std::min(refBest, reference);
        ff::FFDecoder dec;
        dec.open(*videoOf(clip));
        QElapsedTimer t;
        t.start();
        int got = 0;
        for (int k = 0; k < kFrames; ++k)
            got += dec.getVideoFrame({ff::Rational(k, 30)}) ? 1 : 0;
        oursBest = std::min(oursBest, t.nsecsElapsed() / 1e9);
        if (got != kFrames)
            std::printf("  (only %d of %d frames decoded)\n", got, kFrames);
    }
    std::printf("decode.sequential 1080p H.264 -> RGBA: ours %.1f fps, ffmpeg %.1f fps, "
                "ratio %.2f (goal >= 0.90)\n",
                kFrames / oursBest, kFrames / refBest, refBest / oursBest);
}

void randomAccess(const QString &clip30, const QString &clip250)
{
    std::mt19937 rng(42);
    {
        ff::FFDecoder dec;
        dec.open(*videoOf(clip30));
        std::vector<double> ms;
        for (int i = 0; i < 120; ++i) {
            const int k = int(rng() % kFrames);
            QElapsedTimer t;
            t.start();
            dec.getVideoFrame({ff::Rational(k, 30)});
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("decode.random 1080p, 30-frame GOP: median %.1f ms, p95 %.1f ms "
                    "(goal: median <= 100 ms)\n",
                    percentile(ms, 0.5), percentile(ms, 0.95));
    }
    {
        // Each target is reached from a position in another GOP, so it must seek.
        std::vector<double> ratios, ours, bare;
        ff::FFDecoder dec;
        dec.open(*videoOf(clip250));
        for (int i = 0; i < 12; ++i) {
            const int k = 20 + int(rng() % 220);
            dec.getVideoFrame({ff::Rational(k < 150 ? 280 : 5, 30)});
            QElapsedTimer t;
            t.start();
            dec.getVideoFrame({ff::Rational(k, 30)});
            const double o = t.nsecsElapsed() / 1e6;
            const double b = ff::benchref::bareAccessMs(clip250.toStdString(), k / 30.0);
            ours.push_back(o);
            bare.push_back(b);
            ratios.push_back(o / b);
        }
        std::printf("decode.random 1080p, 250-frame GOP: median %.1f ms, bare decode from the "
                    "key frame %.1f ms, ratio median %.2f, worst %.2f (goal <= 1.2)\n",
                    percentile(ours, 0.5), percentile(bare, 0.5), percentile(ratios, 0.5),
                    percentile(ratios, 1.0));
    }
}

void encode(const QString &dir)
{
    constexpr int frames = 120;
    const QString raw = dir + "/frames.rgba";
    if (!QFile::exists(raw))
        run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                       QString("testsrc2=s=1920x1080:r=30:d=%1").arg(frames / 30), "-pix_fmt",
                       "rgba", "-f", "rawvideo", raw});
    QFile f(raw);
    if (!f.open(QIODevice::ReadOnly)) {
        std::printf("encode: no input\n");
        return;
    }
    const QByteArray pixels = f.readAll(); // in memory for us, in the page cache for ffmpeg
    const size_t frameBytes = size_t(1920) * 1080 * 4;

    double reference = 0;
    run("ffmpeg", {"-hide_banner", "-loglevel", "error",    "-y",      "-f",
                   "rawvideo",     "-pix_fmt",  "rgba",     "-s",      "1920x1080",
                   "-r",           "30",        "-i",       raw,       "-c:v",
                   "libx264",      "-preset",   "veryfast", "-crf",    "20",
                   "-g",           "30",        "-pix_fmt", "yuv420p", dir + "/ref.mp4"},
        &reference);

    mv::MVSettings s;
    s.frameRate = 30;
    s.keyInterval = 30;
    QElapsedTimer t;
    t.start();
    mv::MovieHandle movie = mv::create_movie(s, (dir + "/ours.mp4").toLocal8Bit().constData());
    for (int k = 0; k < frames; ++k)
        mv::push_image_frame(
            movie, reinterpret_cast<const uint8_t *>(pixels.constData()) + frameBytes * size_t(k),
            frameBytes, 1920 * 4, int64_t(k) * 1000000 / 30, mv::PTS_MICROSECONDS);
    mv::stop_movie(&movie);
    const double ours = t.nsecsElapsed() / 1e9;
    std::printf("encode 1080p RGBA -> H.264 veryfast: ours %.1f fps, ffmpeg %.1f fps, ratio %.2f "
                "(goal >= 0.95)\n",
                frames / ours, frames / reference, reference / ours);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = argc > 1 ? argv[1] : QDir::tempPath() + "/zua-bench";
    QDir().mkpath(dir);
    const QString clip30 = dir + "/gop30.mp4", clip250 = dir + "/gop250.mp4";
    if (!makeClip(clip30, 30) || !makeClip(clip250, 250)) {
        std::printf("cannot make the benchmark clips with ffmpeg\n");
        return 1;
    }
    sequentialDecode(clip30);
    randomAccess(clip30, clip250);
    encode(dir);
    return 0;
}
