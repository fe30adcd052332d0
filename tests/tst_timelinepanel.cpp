// The timeline panel around the clip view: ruler seeks, the track headers' buttons,
// the voice-over row, and the tool bar's state and commands.
#include "common/MessageBox.h"
#include "common/QssManager.h"
#include "render/RenderManager.h"
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

#include "bridge/UserSettings.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QUndoStack>
#include <QtTest>

class TestTimelinePanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void rulerSeeksStayInsideTheTimeline();
    void headerButtonsAddAndRemoveTracks();
    void voiceOverFindsAFreeDubRow();
    void toolBarFollowsHistoryAndTime();
    void toolBarZoomAndExportGuard();
    void autoAlignHintAndSetting();

private:
    SourceItem *clip(uint32_t kind, ClassifyItem *track, int64_t frame, const char *file);
    QTemporaryDir m_dir;
    RenderManager m_render;
    TimeLineWidget *m_panel = nullptr;
    QList<MessageSpec> m_boxes;
    int m_answer = 0;
};

void TestTimelinePanel::initTestCase()
{
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=30:d=4", "-pix_fmt",
                              "yuv420p", m_dir.filePath("clip.mp4")}));
    QVERIFY(fixtures::ffmpeg(
        {"-f", "lavfi", "-i", "testsrc2=s=64x48", "-frames:v", "1", m_dir.filePath("still.png")}));
    MessageBox::setAnswerHook([this](const MessageSpec &box) {
        m_boxes << box;
        return m_answer;
    });
}

void TestTimelinePanel::init()
{
    zua::UndoController::instance()->reset();
    m_boxes.clear();
    m_answer = 0;
    m_panel = new TimeLineWidget;
    m_panel->model()->setProbe(
        [this](const QString &p, bool) { return m_render.probeMedia(p, false); });
    m_panel->resize(1000, 400);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
}

void TestTimelinePanel::cleanup()
{
    m_panel->model()->clearAll();
    zua::UndoController::instance()->reset();
    delete m_panel;
}

SourceItem *TestTimelinePanel::clip(uint32_t kind, ClassifyItem *track, int64_t frame,
                                    const char *file)
{
    SourceItem *c =
        m_panel->model()->createClip(track, kind, m_dir.filePath(file), timeline::toScene(frame));
    m_panel->view()->updateSceneWidth();
    return c;
}

void TestTimelinePanel::rulerSeeksStayInsideTheTimeline()
{
    TimelineDocument *model = m_panel->model();
    clip(CT_VIDEO, model->group(CT_VIDEO), 0, "clip.mp4"); // 119 frames
    m_panel->view()->setZoomLevel(0);                      // 50 px a frame
    m_panel->view()->horizontalScrollBar()->setValue(0);
    TimeLineRuler *ruler = m_panel->ruler();
    QCOMPARE(ruler->total(), int64_t(119));
    // Playback starts where the view says its playhead is, after every kind of move.
    QSignalSpy told(m_panel->view(), &TimeLineGraphicsView::sig_playheadMoved);
    auto toldFrame = [&told] { return told.isEmpty() ? -1 : told.last().at(0).value<int64_t>(); };

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
    QCOMPARE(ruler->playhead(), int64_t(119));
    QCOMPARE(toldFrame(), int64_t(119));
    // Back to the start from far right: the view scrolls back too.
    m_panel->view()->slot_resetFrame(0, EDIT_NONE, false);
    QCOMPARE(m_panel->view()->horizontalScrollBar()->value(), 0);
    QCOMPARE(toldFrame(), int64_t(0));
    m_panel->view()->slot_framePlayed(90); // a played frame moves it as well
    QCOMPARE(toldFrame(), int64_t(90));

    // The timeline gets shorter than the playhead: both go back to the new end.
    ClassifyItem *track = model->insertTrack(model->group(CT_VIDEO), 0, false);
    SourceItem *tail = clip(CT_VIDEO, track, 119, "clip.mp4");
    QCOMPARE(ruler->total(), int64_t(238));
    m_panel->view()->slot_resetFrame(238, EDIT_NONE, false);
    QCOMPARE(ruler->playhead(), int64_t(238));
    m_panel->view()->scene()->clearSelection();
    tail->setSelected(true);
    m_panel->view()->removeSelected();
    QCOMPARE(ruler->total(), int64_t(119));
    QCOMPARE(ruler->playhead(), int64_t(119));
    QCOMPARE(m_panel->view()->playheadFrame(), int64_t(119));
}

void TestTimelinePanel::headerButtonsAddAndRemoveTracks()
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

    // The button turns to its hover picture under the mouse and back when it leaves.
    auto orangeIn = [headers](const QRect &area) {
        const QImage shot = headers->viewport()->grab(area).toImage();
        int orange = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                orange += c.red() > 200 && c.green() > 120 && c.green() < 200 && c.blue() < 100;
            }
        return orange;
    };
    const QRect area = ClassifyItemDelegate::buttonRect(row);
    QCOMPARE(orangeIn(area), 0);
    // Moves are sent to the widget: the shared test display's real cursor may be
    // over another test's window.
    auto moveTo = [headers](const QPoint &at) {
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(headers->viewport(), &move);
    };
    moveTo(button);
    QTRY_VERIFY(orangeIn(area) > 10);
    moveTo(QPoint(10, row.center().y()));
    QTRY_COMPARE(orangeIn(area), 0);

    // A click beside the button changes nothing.
    QTest::mouseClick(headers->viewport(), Qt::LeftButton, {}, QPoint(10, row.center().y()));
    QCOMPARE(video->childCount(), 1);
}

void TestTimelinePanel::voiceOverFindsAFreeDubRow()
{
    TimelineDocument *model = m_panel->model();
    TimeLineTreeView *headers = m_panel->headers();
    ClassifyItem *dub = model->group(CT_DUB);
    QCOMPARE(headers->recordingTrackY(false, 0), 0.0);
    QCOMPARE(headers->recordingTrackY(true, 0), dub->y()); // the empty group row

    // The group row is taken from frame 0 to 59: from frame 30 a new track is made
    // (one undo step), from frame 60 on the group row is free again.
    SourceItem *taken = clip(CT_DUB, dub, 0, "clip.mp4");
    QVERIFY(taken);
    const double s = QssManager::screenScale();
    QCOMPARE(headers->recordingTrackY(true, 30), dub->y() + s * 36);
    QCOMPARE(dub->childCount(), 1);
    QCOMPARE(headers->recordingTrackY(true, 30), dub->child(0)->y()); // reused while free
    QCOMPARE(dub->childCount(), 1);
    QCOMPARE(headers->recordingTrackY(true, taken->duration()), dub->y());
    zua::UndoController::instance()->stack()->undo();
    QCOMPARE(dub->childCount(), 0);
}

void TestTimelinePanel::toolBarFollowsHistoryAndTime()
{
    ToolBarWidget bar;
    auto *undo = bar.findChild<QPushButton *>("pushButton_undo");
    auto *redo = bar.findChild<QPushButton *>("pushButton_redo");
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    QVERIFY(!bar.findChild<QPushButton *>("pushButton_split")->isEnabled());
    QVERIFY(!bar.findChild<QPushButton *>("pushButton_edit")->isEnabled());
    TimelineDocument *model = m_panel->model();
    model->insertTrack(model->group(CT_AUDIO), 0, true);
    QVERIFY(undo->isEnabled());
    emit bar.sig_pushButtonUndo(); // the Ctrl+Z route
    QCOMPARE(model->group(CT_AUDIO)->childCount(), 0);
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    emit bar.sig_pushButtonRedo();
    QCOMPARE(model->group(CT_AUDIO)->childCount(), 1);

    QCOMPARE(bar.timeText(), QString("00:00:00,00"));
    bar.slot_showTime(1962, 3000);
    QCOMPARE(bar.timeText(), QString("00:01:05,12"));
    bar.slot_splitButtonEnable(true);
    QVERIFY(bar.findChild<QPushButton *>("pushButton_split")->isEnabled());
}

void TestTimelinePanel::toolBarZoomAndExportGuard()
{
    ToolBarWidget bar;
    auto *slider = bar.findChild<QSlider *>("horizontalSlider_scale");
    QCOMPARE(slider->value(), 12);
    QSignalSpy levels(&bar, &ToolBarWidget::sig_scaleSliderValue);
    slider->setValue(24); // the right end is the closest zoom
    QCOMPARE(levels.last().at(0).toInt(), 0);
    bar.slot_scaleSliderValueChanged(5); // the view zoomed by the wheel
    QCOMPARE(slider->value(), 19);
    QCOMPARE(levels.size(), 1); // following the view sends nothing back

    QSignalSpy exports(&bar, &ToolBarWidget::sig_exportWindow);
    bar.slot_showTime(0, 0);
    bar.on_pushButton_export_clicked();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].titleKey, QString("exportmvwindow.Hint"));
    QCOMPARE(exports.size(), 0);
    bar.slot_showTime(0, 90);
    bar.on_pushButton_export_clicked();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(exports.size(), 1);
}

void TestTimelinePanel::autoAlignHintAndSetting()
{
    auto &settings = bg::UserSettings::instance();
    settings.set("autoAlignHint", "true");
    settings.set("autoAlign", "false");
    ToolBarWidget bar;
    QSignalSpy aligned(&bar, &ToolBarWidget::sig_autoAlign);
    QTRY_COMPARE(aligned.size(), 1); // the stored state is sent once the loop runs
    QCOMPARE(aligned.last().at(0).toBool(), false);

    m_answer = 0; // "No prompts"
    bar.findChild<QCheckBox *>("checkBox_auto_align")->click();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].text, QCoreApplication::translate("ZuAEdit", "toolbar_form.DragAlign"));
    QCOMPARE(settings.get("autoAlignHint"), std::string("false"));
    QCOMPARE(settings.get("autoAlign"), std::string("true"));
    QCOMPARE(aligned.last().at(0).toBool(), true);
    bar.findChild<QCheckBox *>("checkBox_auto_align")->click();
    bar.findChild<QCheckBox *>("checkBox_auto_align")->click();
    QCOMPARE(m_boxes.size(), 1); // never asked again

    bar.toggleAutoAlign(); // Shift: inverted while held, never stored
    QVERIFY(!bar.autoAlign());
    QCOMPARE(settings.get("autoAlign"), std::string("true"));
    QCOMPARE(aligned.last().at(0).toBool(), false);
    bar.toggleAutoAlign();

    // A new tool bar starts from the stored state.
    settings.set("autoAlign", "true");
    ToolBarWidget next;
    QTRY_VERIFY(next.autoAlign());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestTimelinePanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_timelinepanel.moc"
