// Material library benchmark: 500 local media files are added at once. Reports
// the main thread's time inside the add call per file (reference: the bare media
// probe of each file, which the call must make) and the longest main-thread
// stall while the thumbnails are made afterwards.
#include "common/MessageBox.h"
#include "resource/MaterialManager.h"
#include "resource/MaterialView.h"
#include "resource/ResourceWidget.h"

#include "media/MovieInfo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Copies `source` `count` times under new names; returns the paths.
QStringList copies(const QString &source, const QString &dir, const QString &stem, int count)
{
    QStringList out;
    const QString suffix = source.section('.', -1);
    for (int i = 0; i < count; ++i) {
        const QString path = QString("%1/%2%3.%4").arg(dir, stem).arg(i).arg(suffix);
        QFile::copy(source, path);
        out << path;
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerHook([](const MessageSpec &) { return 0; });
    QTemporaryDir dir;
    const QString video = dir.filePath("seed.mp4"), picture = dir.filePath("seed.jpg");
    if (QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=1280x720:d=3", "-pix_fmt", "yuv420p", video}) !=
            0 ||
        QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=1920x1080", "-frames:v", "1", picture}) != 0)
        return 1;
    const int n = 500;
    const QStringList files =
        copies(video, dir.path(), "clip", n / 2) + copies(picture, dir.path(), "photo", n / 2);
    const QStringList probed =
        copies(video, dir.path(), "ref", n / 2) + copies(picture, dir.path(), "refphoto", n / 2);

    QElapsedTimer t;
    ResourceWidget widget;
    widget.resize(600, 500);
    widget.show();
    QApplication::processEvents();
    MaterialManager *manager = widget.materialView()->manager();
    t.start();
    manager->AddMaterialFiles(files, false);
    const double addMs = t.nsecsElapsed() / 1e6 / n;

    // While the worker makes thumbnails, a 2 ms timer measures how long the main
    // thread goes without serving its event loop.
    QElapsedTimer since, total;
    since.start();
    total.start();
    double worst = 0;
    int ticks = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worst = std::max(worst, since.nsecsElapsed() / 1e6);
        since.restart();
        ++ticks;
        int done = 0;
        for (const MaterialData &m : widget.materialView()->materials())
            done += m.preview.isNull() ? 0 : 1;
        if (done == n && manager->pendingPreviews() == 0)
            app.quit();
    });
    probe.start(2);
    QTimer::singleShot(300000, &app, &QApplication::quit);
    app.exec();
    const double allMs = total.nsecsElapsed() / 1e6;

    // Reference: the probe every added file needs, on files not seen before.
    t.restart();
    for (const QString &path : probed)
        ff::getMovieInfo(path.toUtf8().constData());
    const double probeMs = t.nsecsElapsed() / 1e6 / n;

    std::printf("materials: %d local files (half 720p H.264, half 1080p JPEG)\n", n);
    std::printf("  add call on the main thread: %.2f ms a file (goal <= 5); bare probe %.2f ms "
                "a file; ratio %.2f\n",
                addMs, probeMs, probeMs > 0 ? addMs / probeMs : 0.0);
    std::printf("  thumbnails: all %d in %.0f ms; longest main-thread stall %.1f ms over %d "
                "timer ticks (goal <= 50, timer period 2 ms)\n",
                n, allMs, worst, ticks);
    return 0;
}
