// Timeline view: zoom levels and their exact scales, the playhead kept in sight, and
// the preview told again after undo and redo.
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TransItem.h"

#include "undo/UndoController.h"

#include <QApplication>
#include <QScrollBar>
#include <QtTest>

class TestTimelineView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void zoomLevelsAlwaysMeanTheSameScale();
    void playheadStaysInSight();
    void undoAndRedoShowTheFrameAgain();

private:
    SourceItem *addClip(uint32_t kind, const char *file, int64_t start);
    QTemporaryDir m_dir;
    std::unique_ptr<fixtures::Timeline> m_timeline;
    TimeLineGraphicsScene *m_scene = nullptr;
    TimelineDocument *m_model = nullptr;
    TimeLineGraphicsView *m_view = nullptr;
};

SourceItem *TestTimelineView::addClip(uint32_t kind, const char *file, int64_t start)
{
    const QString path = m_dir.filePath(file);
    if (!QFileInfo::exists(path)) {
        if (QString(file).endsWith(".png"))
            fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x64", "-frames:v", "1", path});
        else
            fixtures::ffmpeg(
                {"-f", "lavfi", "-i", "testsrc2=s=160x120:d=2", "-pix_fmt", "yuv420p", path});
    }
    return m_model->createClip(m_model->group(kind), kind, path, timeline::toScene(start));
}

void TestTimelineView::init()
{
    m_timeline = std::make_unique<fixtures::Timeline>();
    m_scene = &m_timeline->scene;
    m_model = &m_timeline->model;
    m_view = m_timeline->view.get();
    m_view->resize(800, 300);
    m_view->show();
}

void TestTimelineView::cleanup()
{
    m_timeline.reset();
}

void TestTimelineView::zoomLevelsAlwaysMeanTheSameScale()
{
    const double start = m_view->horizontalScale();
    QCOMPARE(m_view->zoomLevel(), 12);
    QCOMPARE(start, 0.022518);
    QSignalSpy scales(m_view, &TimeLineGraphicsView::sig_scaleValue);
    QMap<int, double> seen;
    seen[12] = start;
    // Out to the last level and in to the first, remembering each level's scale.
    for (int level = 13; level <= 24; ++level) {
        m_view->zoomOut();
        seen[level] = m_view->horizontalScale();
    }
    for (int level = 23; level >= 0; --level) {
        m_view->zoomIn();
        QCOMPARE(m_view->zoomLevel(), level);
        if (seen.contains(level))
            QVERIFY(qFuzzyCompare(m_view->horizontalScale(), seen[level]));
        seen[level] = m_view->horizontalScale();
    }
    for (int level = 1; level <= 24; ++level) {
        m_view->zoomOut();
        QVERIFY2(qFuzzyCompare(m_view->horizontalScale(), seen[level]),
                 qPrintable(QString::number(level)));
    }
    QVERIFY(std::abs(seen[0] / start - 44.41) < 0.01);
    QVERIFY(std::abs(seen[24] / start - 0.000512) < 0.000001);
    QCOMPARE(scales.size(), 12 + 24 + 24);
    QCOMPARE(scales.last()[0].toInt(), 24);
    m_view->setZoomLevel(5);
    QCOMPARE(m_view->zoomLevel(), 5);
    QVERIFY(qFuzzyCompare(m_view->horizontalScale(), seen[5]));
}

void TestTimelineView::playheadStaysInSight()
{
    QVERIFY(addClip(CT_PICTURE, "p.png", 0)); // 500 frames
    m_view->setZoomLevel(0);                  // 50 view pixels a frame
    m_view->slot_resetFrame(0, EDIT_NONE, false);
    for (int i = 0; i < 40; ++i)
        m_view->slot_frontFrameRequest(MOVE_RECORD, EDIT_NONE, 1, 30);
    const int w = m_view->viewport()->width();
    const double p =
        m_view->playhead() * m_view->horizontalScale() - m_view->horizontalScrollBar()->value();
    QVERIFY2(p <= w - 20 + 1 && p >= 0, qPrintable(QString::number(p)));
    QVERIFY(m_view->horizontalScrollBar()->value() > 0);
}

void TestTimelineView::undoAndRedoShowTheFrameAgain()
{
    // The preview learns of a clip that undo or redo moved away from or onto the
    // playhead: one frame request per step, whatever the number of changes in it.
    SourceItem *clip = addClip(CT_VIDEO, "c.mp4", 0);
    m_view->slot_resetFrame(10, EDIT_NONE, true);
    {
        zua::MergeSequence step("SourceMove");
        clip->setValue("source",
                       clip->sourceValue(clip->track, timeline::toScene(100), clip->width, 0), true,
                       true);
    }
    QApplication::processEvents();
    QSignalSpy frames(m_view, &TimeLineGraphicsView::sig_trackFrames);
    QVERIFY(zua::UndoController::instance()->undo());
    QTRY_COMPARE(frames.size(), 1);
    const QList<TrackFrame> shown = frames[0][0].value<QList<TrackFrame>>();
    QVERIFY(std::any_of(shown.begin(), shown.end(),
                        [clip](const TrackFrame &f) { return f.clip == clip->uuid; }));
    QVERIFY(zua::UndoController::instance()->redo());
    QTRY_COMPARE(frames.size(), 2);
    QTest::qWait(50);
    QCOMPARE(frames.size(), 2);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestTimelineView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_timelineview.moc"
