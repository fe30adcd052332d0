// From the timeline to the composed picture: each visual track's layer shows its
// clip at the playhead where the clip's placement puts it, stacked by "zValue",
// and subtitles appear in their colour.
#include "common/FrameTime.h"
#include "common/ValueQt.h"
#include "main/TimelineWiring.h"
#include "preview/PreviewWidget.h"
#include "preview/ZueDisplayWindow.h"
#include "render/RenderManager.h"
#include "render/RenderThread.h"
#include "render/Transport.h"
#include "render/compose/PlaybackRoute.h"
#include "render/compose/PreviewLayers.h"
#include "render/compose/VideoPreviewItem.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "render/player/PlayerManager.h"
#include "support/Exporting.h"
#include "support/MediaFixtures.h"
#include "support/SceneGrab.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"

#include "graphics/GsDevice.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

namespace {

bool near(const QColor &a, const QColor &b, int tolerance = 14)
{
    return fixtures::sameColour(a, b, tolerance);
}
} // namespace

namespace {
// Right-clicks `pos` in the window and picks the menu entry whose text ends with
// `entry` (texts are the untranslated keys here). False when no menu showed.
// `disabled` collects the entries shown greyed.
bool pickFromMenu(QWindow *window, const QPoint &pos, const QString &entry)
{
    bool shown = false;
    QTimer poll; // the menu may run its own event loop inside the click
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (shown || !menu || !menu->isVisible())
            return;
        shown = true;
        for (QAction *action : menu->actions())
            if (action->text().endsWith(entry))
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    });
    poll.start(20);
    QTest::mouseClick(window, Qt::RightButton, {}, pos);
    (void)QTest::qWaitFor([&] { return shown; }, 3000); // false: no menu showed
    if (QWidget *left = QApplication::activePopupWidget())
        left->close();
    return shown;
}
} // namespace

class TestPreviewPipeline : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=160x90:d=2", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("red.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=blue:s=160x90:d=2", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("blue.mp4")}));
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
        m_export = fixtures::exporterOf(m_rm);
        m_rm->stopRenderThread();
        GsDevice::DefaultDevice()->MakeCurrent();
        m_rm->setSceneSize(320, 180, true);
        m_scene = new TimeLineGraphicsScene;
        m_model = new TimelineDocument;
        m_model->attachScene(m_scene);
        m_model->buildGroups();
        m_export->setTimeline(m_model->publisher()->feed());
        m_view = new TimeLineGraphicsView(m_scene, m_model);
        m_layers = m_rm->layers();
        connect(m_view, &TimeLineGraphicsView::sig_trackFrames, m_layers,
                &PreviewLayers::slot_trackFrames);
    }
    void cleanupTestCase()
    {
        m_model->clearAll();
        zua::UndoController::instance()->reset();
        delete m_view;
        delete m_model;
        delete m_scene;
        delete m_rm;
    }
    void tracksComposeAtThePlayhead()
    {
        m_model->insertTrack(m_model->group(CT_VIDEO), 0, false);
        SourceItem *red =
            m_model->createClip(m_model->group(CT_VIDEO), CT_VIDEO, m_dir.filePath("red.mp4"), 0);
        SourceItem *blue = m_model->createClip(m_model->group(CT_VIDEO)->child(0), CT_VIDEO,
                                               m_dir.filePath("blue.mp4"), 0);
        QVERIFY(red && blue);
        // Red in the left half (kept at 16:9 by the default fit mode: 160 × 90), blue a
        // box over its right part.
        red->setValue("previewRect", bg::ValueQt(QRectF(-80, 0, 160, 180)), false, true);
        blue->setValue("previewRect", bg::ValueQt(QRectF(-40, 0, 40, 40)), false, true);
        SourceItem *words = m_model->createClip(m_model->group(CT_SUBTITLE), CT_SUBTITLE, QString(),
                                                0, QColor(255, 255, 0), QFont("DejaVu Sans", 20));
        words->setValue("previewRect", bg::ValueQt(QRectF(80, 60, 120, 40)), false, true);

        QImage img = composeAt(10);
        QVERIFY(!img.isNull());
        QVERIFY(near(img.pixelColor(20, 60), Qt::red));
        QVERIFY(near(img.pixelColor(20, 20), Qt::black));  // above the fitted picture
        QVERIFY(near(img.pixelColor(240, 60), Qt::black)); // right half: nothing there
        QVERIFY(near(img.pixelColor(120, 90), Qt::blue));  // the later clip lies above
        // The subtitle text is drawn in its colour somewhere in its box.
        bool yellow = false;
        for (int y = 130; y < 170 && !yellow; ++y)
            for (int x = 180; x < 300 && !yellow; ++x)
                yellow = near(img.pixelColor(x, y), QColor(255, 255, 0), 60);
        QVERIFY(yellow);

        // Re-stacking puts red above blue.
        red->setValue("zValue", bg::Value(int32_t(blue->stacking + 1)), false, true);
        img = composeAt(11);
        QVERIFY(near(img.pixelColor(120, 90), Qt::red));
        // Past the clips' end nothing is shown.
        img = composeAt(200);
        QVERIFY(near(img.pixelColor(20, 60), Qt::black));
    }
    void previewMenuActsOnTheClipUnderTheCursor()
    {
        // The clips from the test above: red fills the left half (fitted, 160 × 90),
        // blue a small box near the middle; the window shows the scene at scale 1.
        composeAt(10);
        ZueDisplayWindow window(m_rm);
        window.resize(320, 180);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList removed, edited;
        QList<QPair<QString, bool>> restacked;
        connect(&window, &ZueDisplayWindow::sig_removeClip,
                [&](const QString &c) { removed << c; });
        connect(&window, &ZueDisplayWindow::sig_editClip, [&](const QString &c, int clicks) {
            if (clicks == 2)
                edited << c;
        });
        connect(&window, &ZueDisplayWindow::sig_restackClip,
                [&](const QString &c, bool up) { restacked << qMakePair(c, up); });
        // The editor's wiring of the preview's selection to the timeline.
        connect(&window, &ZueDisplayWindow::sig_selectClip, m_model,
                &TimelineDocument::slot_selectClip);
        PreviewItem *videoLayer = m_layers->layerOf(m_model->group(CT_VIDEO)->uuid);
        QVERIFY(videoLayer);
        SourceItem *redClip = m_model->clipByUuid(videoLayer->clipId());
        QVERIFY(redClip);
        const QString red = redClip->uuid;

        QVERIFY(pickFromMenu(&window, QPoint(20, 90), "UpLevel"));
        QCOMPARE(restacked, (QList<QPair<QString, bool>>{{red, true}}));
        QVERIFY(redClip->isSelected()); // the menu's clip is the one selected on the timeline
        QVERIFY(pickFromMenu(&window, QPoint(20, 90), "DownLevel"));
        QCOMPARE(restacked.value(1), qMakePair(red, false));
        QVERIFY(pickFromMenu(&window, QPoint(20, 90), "Edit"));
        QCOMPARE(edited, QStringList{red});
        QVERIFY(pickFromMenu(&window, QPoint(20, 90), "Delete"));
        QCOMPARE(removed, QStringList{red});

        // Nothing under the cursor (right of every placement): no menu at all.
        QVERIFY(!pickFromMenu(&window, QPoint(300, 20), "Delete"));
        QCOMPARE(removed.count(), 1);
        // The Delete key removes the selected clip too.
        QTest::keyClick(&window, Qt::Key_Delete);
        QCOMPARE(removed.count(), 2);
    }
    void transportControlsMoveThePlayhead()
    {
        QCOMPARE(frameTime(108000 + 2 * 1800 + 3 * 30 + 4), QStringLiteral("01:02:03,04"));

        PreviewWidget widget(m_rm);
        // The editor's wiring between the render manager and the timeline view.
        QList<QMetaObject::Connection> wiring{
            connect(m_rm, &RenderManager::sig_frontFrameRequest, m_view,
                    &TimeLineGraphicsView::slot_frontFrameRequest),
            connect(m_rm, &RenderManager::sig_backFrameRequest, m_view,
                    &TimeLineGraphicsView::slot_backFrameRequest),
            connect(m_rm, &RenderManager::sig_resetFrame, m_view,
                    &TimeLineGraphicsView::slot_resetFrame),
            connect(m_view, &TimeLineGraphicsView::sig_showTime, &widget,
                    &PreviewWidget::slot_showTime)};
        wireTimeline(m_rm, m_view, m_model);
        m_view->show(); // the time is sent whenever the timeline draws its playhead
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
        m_view->slot_resetFrame(0, EDIT_NONE, true);
        const QString total = frameTime(int64_t(m_view->totalLength() / 50.0));
        QVERIFY(int64_t(m_view->totalLength() / 50.0) > 10);
        for (int i = 0; i < 3; ++i)
            emit widget.sig_toolButtonFront(); // what the Right key does
        QCOMPARE(m_view->playheadFrame(), int64_t(3));
        QTRY_COMPARE(widget.timeText(), "00:00:00,03 / " + total);
        emit widget.sig_toolButtonBack();
        QCOMPARE(m_view->playheadFrame(), int64_t(2));
        QTRY_COMPARE(widget.timeText(), "00:00:00,02 / " + total);

        // Play runs the player; the end of playback unpresses the button.
        emit widget.sig_toolButtonPlay();
        QVERIFY(widget.isPlayChecked());
        QVERIFY(m_rm->playerManager()->isPlaying());
        QTRY_VERIFY(m_view->playheadFrame() > 24);
        emit m_rm->playerManager()->sig_controlPlay();
        QVERIFY(!widget.isPlayChecked());
        QVERIFY(!m_rm->playerManager()->isPlaying());
        const int64_t stoppedAt = m_view->playheadFrame();
        QTest::qWait(100);
        QCOMPARE(m_view->playheadFrame(), stoppedAt);

        // A press in the picture while playing pauses first (the next played frame would
        // undo what the gesture does); a press while paused starts nothing.
        emit widget.sig_toolButtonPlay();
        QVERIFY(m_rm->playerManager()->isPlaying());
        QTest::mousePress(widget.display(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(widget.display(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!widget.isPlayChecked());
        QVERIFY(!m_rm->playerManager()->isPlaying());
        QTest::mousePress(widget.display(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(widget.display(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!m_rm->playerManager()->isPlaying());
        for (const auto &c : wiring)
            disconnect(c);
        m_view->hide();
    }
    void renderLoopRestartsWithThePreviewOpen()
    {
        // An export stops the render loop and starts it again; the preview window stays
        // open and keeps being presented, however often that happens.
        ZueDisplayWindow window(m_rm);
        window.resize(320, 180);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.view());
        GsDevice::DefaultDevice()->DoneCurrent(); // the tests above drew on this thread
        for (int run = 0; run < 4; ++run) {
            m_rm->startRenderThread();
            QVERIFY(m_rm->renderThread());
            QTRY_VERIFY_WITH_TIMEOUT(m_rm->renderThread()->ticks() >= 3, 5000);
            m_rm->stopRenderThread();
            // Between runs the device and the views belong to this thread again.
            QVERIFY(GsDevice::DefaultDevice()->MakeCurrent());
            GsDevice::DefaultDevice()->DoneCurrent();
        }
        // A window closed while the loop runs, then a restart.
        m_rm->startRenderThread();
        {
            ZueDisplayWindow second(m_rm);
            second.resize(160, 90);
            second.show();
            QVERIFY(QTest::qWaitForWindowExposed(&second));
            QTRY_VERIFY(second.view());
            const int64_t shownFrom = m_rm->renderThread()->ticks();
            QTRY_VERIFY(m_rm->renderThread()->ticks() >= shownFrom + 3); // presented with it
        }
        m_rm->stopRenderThread();
        m_rm->startRenderThread();
        QTRY_VERIFY_WITH_TIMEOUT(m_rm->renderThread()->ticks() >= 3, 5000);
        m_rm->stopRenderThread();
        QVERIFY(GsDevice::DefaultDevice()->MakeCurrent());
    }
    void anExportLeavesThePreviewAsItWas()
    {
        // The export composes in a graph of its own: while it runs, the preview goes on
        // playing and drawing with the same items, and it ends where it was.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=green:s=160x90:d=12", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("long.mp4")}));
        m_model->insertTrack(m_model->group(CT_VIDEO), 0, false);
        QVERIFY(m_model->createClip(m_model->group(CT_VIDEO)->child(0), CT_VIDEO,
                                    m_dir.filePath("long.mp4"), 0));
        GsDevice::DefaultDevice()->DoneCurrent();
        m_rm->startRenderThread();
        m_view->slot_resetFrame(0, EDIT_NONE, true);
        m_rm->transport()->play();
        QTRY_VERIFY(m_view->playheadFrame() > 3);
        QTRY_VERIFY(!m_layers->route()->last().isEmpty());
        QHash<QString, PreviewItem *> items;
        for (const TrackFrame &track : m_layers->route()->last())
            items.insert(track.track, m_layers->layerOf(track.track));
        GsScene *scene = m_rm->scene();
        const int64_t ticks = m_rm->renderThread()->ticks();
        const int64_t from = m_view->playheadFrame();

        MVParams params;
        params.path = m_dir.filePath("during.mp4");
        params.width = 320;
        params.height = 180;
        params.frameRate = 30;
        params.keyInterval = 30;
        m_export->manager()->setRevealWritten(false);
        QCOMPARE(m_export->exportMovie(params), 0); // written

        QVERIFY(m_rm->playerManager()->isPlaying());
        QVERIFY(m_view->playheadFrame() > from);
        QCOMPARE(m_rm->scene(), scene);
        for (auto it = items.cbegin(); it != items.cend(); ++it)
            QCOMPARE(m_layers->layerOf(it.key()), it.value());
        QVERIFY(m_rm->renderThread()->ticks() > ticks);
        // The export took the timeline as it was: every frame of the longest clip.
        QTRY_VERIFY(QFileInfo(params.path).size() > 0);
        m_rm->transport()->pause();
        QVERIFY(!m_rm->playerManager()->isPlaying());
        m_rm->stopRenderThread();
        QVERIFY(GsDevice::DefaultDevice()->MakeCurrent());
    }

private:
    QImage composeAt(int64_t frame)
    {
        m_view->slot_resetFrame(frame, EDIT_NONE, true);
        // The layers decode on their own threads, at most every 40 ms: the picture is
        // taken once two compositions in a row agree (a loaded machine takes longer).
        QImage last;
        for (int tries = 0; tries < 40; ++tries) {
            QTest::qWait(100);
            const QImage now = fixtures::composeScene(m_rm->scene(), 320, 180, 2);
            if (!last.isNull() && now == last)
                return now;
            last = now;
        }
        return last;
    }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    Exporter *m_export = nullptr; // a child of m_rm
    TimeLineGraphicsScene *m_scene = nullptr;
    TimelineDocument *m_model = nullptr;
    TimeLineGraphicsView *m_view = nullptr;
    PreviewLayers *m_layers = nullptr;
};

QTEST_MAIN(TestPreviewPipeline)

#include "tst_previewpipeline.moc"
