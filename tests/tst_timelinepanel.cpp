// The timeline panel around the clip view: ruler seeks and the track headers' buttons.
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "support/MediaFixtures.h"
#include "timeline/ClassifyItem.h"
#include "timeline/ClassifyItemDelegate.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineRuler.h"
#include "timeline/TimeLineTreeView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/ToolBarWidget.h"
#include "timeline/TrackTreeModel.h"

#include "undo/UndoController.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QUndoStack>
#include <QtTest>

class TestTimelinePanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=30:d=4", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("clip.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48", "-frames:v", "1",
                                  m_dir.filePath("still.png")}));
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return m_answer;
        });
    }
    void init()
    {
        zua::UndoController::instance()->reset();
        m_boxes.clear();
        m_answer = 0;
        m_panel = new TimeLineWidget;
        m_panel->resize(1000, 400);
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    }
    void cleanup()
    {
        m_panel->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_panel;
    }
    void rulerSeeksStayInsideTheTimeline()
    {
        TimelineDocument *model = m_panel->model();
        clip(CT_VIDEO, model->group(CT_VIDEO), 0, "clip.mp4"); // 120 frames
        m_panel->view()->setZoomLevel(0);                      // 50 px a frame
        m_panel->view()->horizontalScrollBar()->setValue(0);
        TimeLineRuler *ruler = m_panel->ruler();
        QCOMPARE(ruler->total(), int64_t(120));
        // Playback starts where the view says its playhead is, after every kind of move.
        QSignalSpy told(m_panel->view()->transport(), &Transport::sig_playheadMoved);
        auto toldFrame = [&told] {
            return told.isEmpty() ? -1 : told.last().at(0).value<int64_t>();
        };

        QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(126, 20)); // 2.52 frames: rounds to 3
        QCOMPARE(ruler->playhead(), int64_t(3));
        QCOMPARE(m_panel->view()->playheadFrame(), int64_t(3));
        QCOMPARE(toldFrame(), int64_t(3));

        // Dragging at the right edge scrolls 50 px per move, up to the maximum.
        const int max = m_panel->view()->horizontalScrollBar()->maximum();
        QVERIFY(max > 100);
        QTest::mousePress(ruler, Qt::LeftButton, {}, QPoint(10, 20));
        for (int i = 0; i < max / 50 + 3; ++i) {
            QMouseEvent move(QEvent::MouseMove, QPointF(ruler->width() - 5, 20), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(ruler, &move);
            if (i == 0)
                QCOMPARE(m_panel->view()->horizontalScrollBar()->value(), 50);
        }
        QCOMPARE(ruler->scroll(), max);
        QCOMPARE(m_panel->view()->horizontalScrollBar()->value(), max);
        QTest::mouseRelease(ruler, Qt::LeftButton, {}, QPoint(ruler->width() - 5, 20));
        // A click past the end lands on the last frame, never beyond.
        QTest::mouseClick(ruler, Qt::LeftButton, {}, QPoint(ruler->width() - 2, 20));
        QCOMPARE(ruler->playhead(), int64_t(120));
        QCOMPARE(toldFrame(), int64_t(120));
        // Back to the start from far right: the view scrolls back too.
        m_panel->view()->slot_resetFrame(0, EDIT_NONE, false);
        QCOMPARE(m_panel->view()->horizontalScrollBar()->value(), 0);
        QCOMPARE(toldFrame(), int64_t(0));
        m_panel->view()->transport()->played(90); // playback moves what both show
        QCOMPARE(m_panel->view()->playheadFrame(), int64_t(90));
        QCOMPARE(ruler->playhead(), int64_t(90));

        // The timeline gets shorter than the playhead: both go back to the new end.
        ClassifyItem *track = model->insertTrack(model->group(CT_VIDEO), 0, false);
        SourceItem *tail = clip(CT_VIDEO, track, 120, "clip.mp4");
        QCOMPARE(ruler->total(), int64_t(240));
        m_panel->view()->slot_resetFrame(240, EDIT_NONE, false);
        QCOMPARE(ruler->playhead(), int64_t(240));
        m_panel->view()->scene()->clearSelection();
        tail->setSelected(true);
        m_panel->view()->removeSelected();
        QCOMPARE(ruler->total(), int64_t(120));
        QCOMPARE(ruler->playhead(), int64_t(120));
        QCOMPARE(m_panel->view()->playheadFrame(), int64_t(120));
    }
    void headerButtonsAddAndRemoveTracks()
    {
        TimelineDocument *model = m_panel->model();
        TimeLineTreeView *headers = m_panel->headers();
        ClassifyItem *video = model->group(CT_VIDEO);
        const QRect row = headers->visualRect(model->trackTree()->indexOf(video));
        const QPoint button = ClassifyItemDelegate::buttonRect(row).center();
        QTest::mouseClick(headers->viewport(), Qt::LeftButton, {}, button);
        QCOMPARE(video->childCount(), 1);
        ClassifyItem *track = video->child(0);
        QVERIFY(headers->visualRect(model->trackTree()->indexOf(track)).top() >= row.bottom());

        // Removing a track with a clip takes the clip along in one step.
        clip(CT_VIDEO, track, 10, "clip.mp4");
        const QRect trackRow = headers->visualRect(model->trackTree()->indexOf(track));
        QTest::mouseClick(headers->viewport(), Qt::LeftButton, {},
                          ClassifyItemDelegate::buttonRect(trackRow).center());
        QCOMPARE(video->childCount(), 0);
        QCOMPARE(model->clips().size(), 0);
        zua::UndoController::instance()->stack()->undo();
        QCOMPARE(video->childCount(), 1);
        QCOMPARE(video->child(0)->clips().size(), 1);

        // A click beside the button changes nothing.
        QTest::mouseClick(headers->viewport(), Qt::LeftButton, {}, QPoint(10, row.center().y()));
        QCOMPARE(video->childCount(), 1);
        // The headers lay out their rows on their own; a clip's row follows them when a
        // group above it folds.
        SourceItem *still = clip(CT_PICTURE, model->group(CT_PICTURE), 0, "still.png");
        const QModelIndex picture = model->trackTree()->indexOf(model->group(CT_PICTURE));
        auto offset = [&] {
            return m_panel->view()->mapFromScene(still->scenePos()).y() -
                   headers->visualRect(picture).top();
        };
        const int open = offset();
        headers->collapse(model->trackTree()->indexOf(video));
        QCOMPARE(offset(), open);
    }

private:
    SourceItem *clip(uint32_t kind, ClassifyItem *track, int64_t frame, const char *file)
    {
        SourceItem *c = m_panel->model()->createClip(track, kind, m_dir.filePath(file), frame);
        m_panel->view()->updateSceneWidth();
        return c;
    }
    QTemporaryDir m_dir;
    RenderManager m_render;
    TimeLineWidget *m_panel = nullptr;
    QList<MessageSpec> m_boxes;
    int m_answer = 0;
};

QTEST_MAIN(TestTimelinePanel)

#include "tst_timelinepanel.moc"
