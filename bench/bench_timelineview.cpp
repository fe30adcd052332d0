// Timeline view benchmark: 2,000 clips on 10 tracks. Times to draw the view, to
// answer one frame request and to drag one clip (press, move, release); then 1,000
// video clips (filmstrips) and 1,000 sound clips (waveforms) scrolled and zoomed.
// Reference: drawing the same view with the clips hidden (the view's own cost).
#include "render/RenderManager.h"
#include "render/pictures/MaterialPictures.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineEvaluator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double timeMs(F f, int runs = 15)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(t);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", dir.filePath("cache").toUtf8()); // pictures made in this run
    const QString clip = dir.filePath("clip.mp4");
    if (QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=320x240:d=2", "-pix_fmt", "yuv420p", clip}) != 0)
        return 1;
    TimeLineGraphicsScene scene;
    TimelineDocument model;
    model.attachScene(&scene);
    model.buildGroups();
    QList<ClassifyItem *> tracks{model.group(CT_VIDEO)};
    for (int i = 0; i < 9; ++i)
        tracks << model.insertTrack(model.group(CT_VIDEO), i, false);
    for (int i = 0; i < 2000; ++i)
        model.createClip(tracks[i % 10], CT_VIDEO, clip, (i / 10) * 60);
    scene.clearSelection();

    TimeLineGraphicsView view(&scene, &model);
    view.resize(1600, 600);
    view.show();
    QApplication::processEvents();
    view.updateSceneWidth();

    const double draw = timeMs([&] { view.viewport()->grab(); });
    for (SourceItem *c : model.clips())
        c->setVisible(false);
    const double empty = timeMs([&] { view.viewport()->grab(); });
    for (SourceItem *c : model.clips())
        c->setVisible(true);

    int64_t f = 500;
    const TimelineEvaluator evaluator(&model);
    const double request = timeMs([&] {
        evaluator.frameAt(f);
        evaluator.audioAt(f, 30);
        ++f;
    });

    // One played frame: the playhead steps and the view repaints what it must.
    // Reference: repainting the whole view, as each step did before.
    view.horizontalScrollBar()->setValue(0);
    view.slot_resetFrame(300, EDIT_NONE, false); // in sight
    QApplication::processEvents();
    int paints = 0;
    QObject::connect(&view, &TimeLineGraphicsView::sig_showTime, [&paints] { ++paints; });
    const double step = timeMs([&] {
        view.slot_frontFrameRequest(MOVE_PLAY, EDIT_NONE, 1);
        QApplication::processEvents();
    });
    const int stepPaints = paints;
    const double fullRepaint = timeMs([&] {
        view.viewport()->update();
        QApplication::processEvents();
    });

    view.setZoomLevel(0);
    view.horizontalScrollBar();
    SourceItem *target = tracks[0]->clips()[0];
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, view.viewport()->mapToGlobal(p), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &e);
    };
    const double dragMs = timeMs(
        [&] {
            scene.clearSelection();
            target->setSelected(true);
            const QPoint from = view.mapFromScene(target->mapToScene(QPointF(100, 10)));
            send(QEvent::MouseButtonPress, from, Qt::LeftButton);
            send(QEvent::MouseMove, from + QPoint(50, 0), Qt::LeftButton);
            send(QEvent::MouseMove, from + QPoint(100, 0), Qt::LeftButton);
            send(QEvent::MouseButtonRelease, from + QPoint(100, 0), Qt::NoButton);
            QApplication::processEvents();
        },
        9);

    {
        // Where the drag's time goes.
        scene.clearSelection();
        target->setSelected(true);
        const QPoint from = view.mapFromScene(target->mapToScene(QPointF(100, 10)));
        QElapsedTimer t;
        t.start();
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        const double press = t.nsecsElapsed() / 1e6;
        t.restart();
        send(QEvent::MouseMove, from + QPoint(50, 0), Qt::LeftButton);
        const double move = t.nsecsElapsed() / 1e6;
        t.restart();
        send(QEvent::MouseButtonRelease, from + QPoint(50, 0), Qt::NoButton);
        const double release = t.nsecsElapsed() / 1e6;
        t.restart();
        QApplication::processEvents();
        const double after = t.nsecsElapsed() / 1e6;
        std::printf("  press %.2f, move %.2f, release %.2f, queued work and repaint %.2f ms\n",
                    press, move, release, after);
    }
    std::printf("timeline view with %d clips on 10 tracks (goal: each < 16 ms)\n",
                int(model.clips().size()));
    std::printf("view.draw %.2f ms (the view without clips %.2f ms, ratio %.1f)\n", draw, empty,
                draw / empty);
    std::printf("view.frameRequest %.3f ms\n", request);
    std::printf("view.playhead step while playing %.2f ms (%d of 15 steps painted; whole-view "
                "repaint %.2f ms, ratio %.2f)\n",
                step, stepPaints, fullRepaint, step / fullRepaint);
    std::printf("view.drag one clip (press, 2 moves, release) %.2f ms\n", dragMs);

    // Pictures on the timeline: half the clips video (filmstrips), half sound
    // (waveforms), with their pictures ready, as after the first minute of editing.
    model.clearAll();
    const QString song = dir.filePath("song.wav");
    if (QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "sine=f=220:d=30", song}) != 0)
        return 1;
    QList<ClassifyItem *> sound{model.group(CT_AUDIO)};
    for (int i = 0; i < 9; ++i)
        sound << model.insertTrack(model.group(CT_AUDIO), i, false);
    tracks = {model.group(CT_VIDEO)};
    for (int i = 0; i < 9; ++i)
        tracks << model.insertTrack(model.group(CT_VIDEO), i, false);
    for (int i = 0; i < 1000; ++i) {
        model.createClip(tracks[i % 10], CT_VIDEO, clip, (i / 10) * 60);
        model.createClip(sound[i % 10], CT_AUDIO, song, (i / 10) * 60);
    }
    scene.clearSelection();
    view.resize(1600, 900);
    view.setZoomLevel(TimeLineGraphicsView::kLevels / 2);
    view.updateSceneWidth();
    view.viewport()->grab(); // asks for every picture in sight
    MaterialPictures::instance().waitForAll();
    QScrollBar *bar = view.horizontalScrollBar();
    int at = 0;
    const auto scrollStep = [&] {
        at = (at + 240) % std::max(1, bar->maximum());
        bar->setValue(at);
        view.viewport()->grab();
    };
    const double scroll = timeMs(scrollStep, 31);
    int level = 0;
    const double zoom = timeMs(
        [&] {
            level = (level + 1) % TimeLineGraphicsView::kLevels;
            view.setZoomLevel(level);
            view.viewport()->grab();
        },
        TimeLineGraphicsView::kLevels * 2 + 1);
    for (SourceItem *c : model.clips())
        c->setVisible(false);
    const double bare = timeMs(scrollStep, 31);
    std::printf("view.pictures %d clips (1,000 filmstrips, 1,000 waveforms), 1600x900 view "
                "(goal: each <= 16 ms)\n",
                int(model.clips().size()));
    std::printf("view.scroll one frame %.2f ms, view.zoom one frame %.2f ms (the view without "
                "clips %.2f ms; ratios %.1f, %.1f)\n",
                scroll, zoom, bare, scroll / bare, zoom / bare);
    return 0;
}
