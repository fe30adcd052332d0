// Editing on the timeline through the real view: dragging with and without
// snapping, trimming, splitting, deleting, drops of clips and transitions, and the
// frames and sound the timeline asks for.
#include "common/MessageBox.h"
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceAnchor.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineEvaluator.h"
#include "timeline/TimelineSection.h"
#include "timeline/TrackRows.h"
#include "timeline/TransItem.h"

#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUndoStack>
#include <QXmlStreamWriter>
#include <QtTest>

namespace {

zua::UndoController *history()
{
    return zua::UndoController::instance();
}

QString section(const TimelineDocument &model)
{
    QString text;
    QXmlStreamWriter w(&text);
    TimelineSection::write(model, w, false);
    return text;
}

// A press, moves in steps with the button held, and a release, as a hand does.
void drag(QWidget *viewport, QPoint from, QPoint to, int steps = 6)
{
    auto send = [viewport](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, viewport->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i)
        send(QEvent::MouseMove, from + (to - from) * i / steps, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    QApplication::processEvents(); // the release is handled queued
}

} // namespace

namespace {
QByteArray materialPayload(uint32_t kind, bool valid, const QString &path)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QString("material") << kind << valid << path;
    return bytes;
}

QByteArray transitionPayload(const QString &name)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QString("transition") << name;
    return bytes;
}
} // namespace

class TestTimelineEditing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("clip.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=200x100:d=1", "-frames:v", "1",
                                  m_dir.filePath("still.png")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=2", m_dir.filePath("tone.wav")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=64x48:r=10:d=1.5", m_dir.filePath("sticker.gif")}));
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return 0;
        });
    }
    void init()
    {
        m_boxes.clear();
        m_timeline = std::make_unique<fixtures::Timeline>();
        m_scene = &m_timeline->scene;
        m_model = &m_timeline->model;
        m_view = m_timeline->view.get();
        m_model->insertTrack(m_model->group(CT_VIDEO), 0, false);
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_view->resize(1200, 400);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
        m_view->setZoomLevel(0); // one scene unit per view pixel: 50 pixels a frame
        m_view->horizontalScrollBar()->setValue(0);
    }
    void cleanup()
    {
        VERIFY_CONSISTENT(*m_model);
        m_timeline.reset();
    }

    void dragMovesByWholeFramesAsOneStep()
    {
        SourceItem *clip = clipAt(m_model->group(CT_VIDEO), 2);
        m_scene->clearSelection();
        clip->setSelected(true);
        const QString before = section(*m_model);
        const int steps = history()->stack()->count();
        drag(m_view->viewport(), at(clip, 100), at(clip, 100) + QPoint(3 * 50 + 20, 0));
        QCOMPARE(clip->start(), int64_t(5)); // 3.4 frames to the right, whole frames only
        QCOMPARE(clip->value("source").toMap().at("posX").toDouble(), 250.0);
        QCOMPARE(history()->stack()->count(), steps + 1);
        QCOMPARE(history()->stack()->text(steps), QString("SourceMove"));
        history()->undo();
        QCOMPARE(section(*m_model), before);
        QCOMPARE(clip->start(), int64_t(2));

        // A click whose hand trembled by a few pixels moves nothing and records nothing.
        history()->setClean();
        const int entries = history()->stack()->count();
        drag(m_view->viewport(), at(clip, 100), at(clip, 100) + QPoint(3, 2));
        QCOMPARE(clip->start(), int64_t(2));
        QCOMPARE(history()->stack()->count(), entries);
        QVERIFY(history()->canRedo()); // the undone move was not replaced by a no-op
        QVERIFY(history()->isClean());
        QCOMPARE(clip->pos().y(), trackrows::top(clip->track));
        // Far to the left it stops at the timeline's start.
        drag(m_view->viewport(), at(clip, 100), at(clip, 100) - QPoint(600, 0));
        QCOMPARE(clip->start(), int64_t(0));
    }
    void movesBetweenTracksUndoAndRedoByTheTracksName()
    {
        ClassifyItem *group = m_model->group(CT_VIDEO);
        SourceItem *clip = clipAt(group, 2);
        ClassifyItem *home = clip->track;
        // A new track, then the clip dragged down onto it: two steps.
        ClassifyItem *lower = m_model->insertTrack(group, group->childCount(), true);
        const QString lowerName = lower->uuid;
        clip->setSelected(true);
        const QPoint grip = at(clip, 100);
        drag(m_view->viewport(), grip,
             grip + QPoint(0, int(trackrows::top(lower) - trackrows::top(home))));
        auto isOn = [clip](ClassifyItem *track) {
            return clip->track == track && track->hasClip(clip) &&
                   qFuzzyCompare(clip->pos().y() + 1, trackrows::top(track) + 1) &&
                   clip->start() == 2;
        };
        QVERIFY(isOn(lower));
        QVERIFY(!home->hasClip(clip));
        history()->undo(); // the move
        QVERIFY(isOn(home));
        history()->undo(); // the track
        QVERIFY(!m_model->trackByUuid(lowerName));
        history()->redo();
        history()->redo();
        ClassifyItem *again = m_model->trackByUuid(lowerName);
        QVERIFY(again);
        QVERIFY(isOn(again));
        QVERIFY(!home->hasClip(clip));
        // A record naming a track that is not on the timeline leaves the clip on its own.
        bg::ValueMap stray = clip->value("source").toMap();
        stray["parent"] = bg::Value(std::string("{not-a-track}"));
        stray["posX"] = bg::Value(timeline::toScene(7));
        clip->setValue("source", bg::Value(stray), true, true);
        QCOMPARE(clip->track, again);
        QVERIFY(again->hasClip(clip));
        QCOMPARE(clip->start(), int64_t(7));
        history()->undo(); // back to a record that names its track
        QVERIFY(isOn(again));
    }
    void movesAndDropsSnapAlike_data()
    {
        QTest::addColumn<bool>("drop"); // a clip dropped from the library, else moved
        QTest::addColumn<bool>("autoAlign");
        QTest::addColumn<QString>("to"); // "end" of another clip, "playhead", "start"
        QTest::addColumn<int>("pixels"); // view pixels right of it
        QTest::addColumn<bool>("snaps");
        for (bool drop : {false, true}) {
            const char *g = drop ? "drop" : "move";
            QTest::addRow("%s, off: where it is let go", g) << drop << false << "end" << 4 << false;
            QTest::addRow("%s, 4 px from a clip's end", g) << drop << true << "end" << 4 << true;
            QTest::addRow("%s, 12 px away: no snap", g) << drop << true << "end" << 12 << false;
            if (drop) // a press on a clip moves the playhead under the pointer
                QTest::addRow("%s, 3 px after the playhead", g)
                    << drop << true << "playhead" << 3 << true;
            QTest::addRow("%s, 4 px after the start", g) << drop << true << "start" << 4 << true;
        }
    }
    void movesAndDropsSnapAlike()
    {
        QFETCH(bool, drop);
        QFETCH(bool, autoAlign);
        QFETCH(QString, to);
        QFETCH(int, pixels);
        QFETCH(bool, snaps);
        connect(m_view, &TimeLineGraphicsView::sig_createSourceItem, m_model,
                [this](const bg::ValueMap &request, const QColor &c, const QFont &f) {
                    m_model->createFromDrop(
                        request, trackrows::at(*m_model, request.at("posY").toDouble()), c, f);
                });
        m_view->setZoomLevel(12); // 1.13 view pixels a frame: the 5 px threshold spans frames
        ClassifyItem *track = m_model->group(CT_VIDEO);
        ClassifyItem *other = track->child(0);
        SourceItem *first = clipAt(track, to == "start" ? 400 : 0); // 60 frames long
        SourceItem *moving = drop ? nullptr : clipAt(other, 300);
        m_view->slot_resetFrame(to == "playhead" ? 200 : 700, EDIT_NONE, false);
        m_scene->setAutoAlign(autoAlign);
        const double z = m_view->horizontalScale();
        const int64_t wanted = to == "end"        ? first->start() + first->duration()
                               : to == "playhead" ? 200
                                                  : 0;
        // Let go so that the clip's start lands `pixels` view pixels right of it.
        const int target = int(std::lround(timeline::toScene(wanted) * z)) + pixels;
        const int64_t dropped = timeline::toFrames(double(target) / z);
        QVERIFY(dropped != wanted); // without snapping it would not touch
        if (drop) {
            dropOnView(materialPayload(CT_VIDEO, true, m_dir.filePath("clip.mp4")),
                       QPoint(target, int(trackrows::top(other)) + 10));
            QCOMPARE(other->clips().size(), 1);
            moving = other->clips()[0];
        } else {
            m_scene->clearSelection();
            moving->setSelected(true);
            const QPoint grip = at(moving, 10);
            drag(m_view->viewport(), grip,
                 grip +
                     QPoint(target - int(std::lround(timeline::toScene(moving->start()) * z)), 0));
        }
        QCOMPARE(moving->start(), snaps ? wanted : dropped);
        QCOMPARE(m_scene->snapFrame(), int64_t(-1)); // the line goes with the release
    }
    void trimmingClampsToTheMaterial()
    {
        SourceItem *video = clipAt(m_model->group(CT_VIDEO), 10); // 60 frames of material
        video->setSelected(true);
        const QPoint right = m_view->mapFromScene(video->anchor(true)->scenePos());
        drag(m_view->viewport(), right, right + QPoint(2000, 0));
        QCOMPARE(video->duration(), int64_t(60)); // never past its full length
        drag(m_view->viewport(), right, right + QPoint(-20 * 50, 0));
        QCOMPARE(video->duration(), int64_t(40));
        // The left handle moves the in-point with the start.
        const QPoint left = m_view->mapFromScene(video->anchor(false)->scenePos());
        drag(m_view->viewport(), left, left + QPoint(5 * 50, 0));
        QCOMPARE(video->start(), int64_t(15));
        QCOMPARE(video->offset(), int64_t(5));
        QCOMPARE(video->duration(), int64_t(35));
        // With an in-point, the right handle stops where the material ends: 60 − 5 frames.
        const QPoint rightNow = m_view->mapFromScene(video->anchor(true)->scenePos());
        drag(m_view->viewport(), rightNow, rightNow + QPoint(2000, 0));
        QCOMPARE(video->duration(), int64_t(55));
        QCOMPARE(video->offset(), int64_t(5));
        history()->undo();
        history()->undo();
        QCOMPARE(video->start(), int64_t(10));
        QCOMPARE(video->offset(), int64_t(0));
        QCOMPARE(video->sceneWidth(), timeline::toScene(40)); // drawn as long as it lasts

        SourceItem *still = clipAt(m_model->group(CT_PICTURE), 0, "still.png");
        m_scene->clearSelection();
        still->setSelected(true);
        m_view->horizontalScrollBar()->setValue(m_view->horizontalScrollBar()->maximum());
        const QPoint endNow = m_view->mapFromScene(still->anchor(true)->scenePos());
        drag(m_view->viewport(), endNow, endNow + QPoint(100, 0));
        QCOMPARE(still->duration(), int64_t(502)); // pictures lengthen freely
        // ...from the left handle too, back to the start of the timeline, with no in-point.
        still->setValue("source", SourceData::sourceValue(still->track, 100, still->duration(), 0),
                        false, true);
        m_view->horizontalScrollBar()->setValue(0);
        const QPoint head = m_view->mapFromScene(still->anchor(false)->scenePos());
        drag(m_view->viewport(), head, head - QPoint(40 * 50, 0));
        QCOMPARE(still->start(), int64_t(60));
        QCOMPARE(still->duration(), int64_t(502 + 40));
        QCOMPARE(still->offset(), int64_t(0));
    }
    void undoDuringAGestureCallsItOff_data()
    {
        QTest::addColumn<bool>("trim");
        QTest::newRow("move") << false;
        QTest::newRow("trim") << true;
    }
    void undoDuringAGestureCallsItOff()
    {
        QFETCH(bool, trim);
        SourceItem *kept = clipAt(m_model->group(CT_VIDEO), 100);
        history()->reset();
        SourceItem *clip = clipAt(m_model->group(CT_VIDEO), 2); // undoable: the last step
        QVERIFY(history()->canUndo());
        kept->setSelected(true);
        clip->setSelected(true);
        const QPoint from =
            trim ? m_view->mapFromScene(clip->anchor(true)->scenePos()) : at(clip, 100);
        const int64_t keptStart = kept->start();
        QWidget *viewport = m_view->viewport();
        auto send = [viewport](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
            QMouseEvent e(type, p, viewport->mapToGlobal(p), Qt::LeftButton, buttons,
                          Qt::NoModifier);
            QApplication::sendEvent(viewport, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, from + QPoint(-40, 0), Qt::LeftButton);
        send(QEvent::MouseMove, from + QPoint(-100, 0), Qt::LeftButton);
        // While held, the clip shows where it would go; its record is unchanged.
        QCOMPARE(clip->start(), int64_t(2));
        QCOMPARE(clip->duration(), int64_t(60));
        QVERIFY(trim ? clip->shownDuration() < 60 : clip->pos().x() < timeline::toScene(2));
        // Ctrl+Z with the button still held takes the dragged clip away.
        QVERIFY(history()->undo());
        QVERIFY(!m_model->group(CT_VIDEO)->hasClip(clip));
        send(QEvent::MouseMove, from + QPoint(-200, 0), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, from + QPoint(-200, 0), Qt::NoButton);
        QApplication::processEvents();
        // The release records nothing, so the undone step can still be redone.
        QVERIFY(history()->canRedo());
        QVERIFY(!history()->canUndo());
        QCOMPARE(kept->start(), keptStart); // the other held clip went back to its place
        QVERIFY(history()->redo());
        QVERIFY(m_model->group(CT_VIDEO)->hasClip(clip));
        QCOMPARE(clip->start(), int64_t(2));
        QCOMPARE(clip->duration(), int64_t(60));
    }
    void splitContinuesSeamlessly()
    {
        SourceItem *clip = clipAt(m_model->group(CT_VIDEO), 10);
        clip->setValue("rotate", bg::Value(int32_t(30)), true, true);
        const int64_t cut = 30;
        const TimelineEvaluator timeline(m_model);
        QList<int64_t> before;
        for (int64_t f = 25; f < 36; ++f)
            before << timeline.frameAt(f)[0].request.current.time;
        m_scene->clearSelection();
        clip->setSelected(true);
        m_view->slot_resetFrame(cut, EDIT_NONE, false);
        QVERIFY(m_view->canSplit());
        QVERIFY(m_view->split());
        QCOMPARE(history()->stack()->text(history()->stack()->count() - 1), QString("splitSource"));
        const QList<SourceItem *> parts = m_model->group(CT_VIDEO)->clips();
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0]->start() + parts[0]->duration(), cut);
        QCOMPARE(parts[1]->start(), cut);
        QCOMPARE(parts[1]->offset(), int64_t(20));
        QCOMPARE(parts[1]->start() + parts[1]->duration(), int64_t(10 + 60));
        QVERIFY(parts[1]->isSelected());
        QCOMPARE(parts[1]->rotate, 0); // the right part starts with default rotation
        for (int64_t f = 25; f < 36; ++f)
            QCOMPARE(timeline.frameAt(f)[0].request.current.time, before[int(f - 25)]);
        history()->undo();
        QCOMPARE(m_model->group(CT_VIDEO)->clips(), QList<SourceItem *>({clip}));
        QCOMPARE(clip->duration(), int64_t(60));
    }
    void theTimelineAnswersFrameAndSoundRequests()
    {
        // Answered from the model alone: before the cut the incoming clip is held at its
        // in-point, after it both sides run on; a muted clip's sound is silent.
        ClassifyItem *track = m_model->group(CT_VIDEO);
        SourceItem *a = clipAt(track, 0);  // 0..59
        SourceItem *b = clipAt(track, 60); // from its frame 7
        b->setValue("source", SourceData::sourceValue(track, b->start(), b->duration() - 7, 7),
                    false, true);
        m_model->addTransition("clip_box", a, b, 1000, 5, true); // 15 frames each side: 45..75
        a->setValue("mute", bg::Value(true), false, true);
        const TimelineEvaluator timeline(m_model);
        const auto before = timeline.frameAt(50)[0].request;
        QCOMPARE(before.from.time, int64_t(50));
        QCOMPARE(before.to.time, int64_t(7));
        const auto after = timeline.frameAt(70)[0].request;
        QCOMPARE(after.from.time, int64_t(59));
        QCOMPARE(after.to.time, int64_t(7 + 10));
        const auto heard = timeline.audioAt(40, 30);
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].volume, 0);
    }
    void deleteTakesTransitionsAlong()
    {
        ClassifyItem *track = m_model->group(CT_VIDEO);
        SourceItem *a = clipAt(track, 0);
        SourceItem *b = clipAt(track, 60);
        m_model->addTransition("clip_cross", a, b, 2000, 5, true);
        m_scene->clearSelection();
        m_view->removeSelected();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, QString("Please select the element that needs to be deleted"));
        const QString before = section(*m_model);
        b->setSelected(true);
        // The Delete key on the timeline deletes the selection (after the key is handled).
        m_view->setFocus();
        QTest::keyClick(m_view->viewport(), Qt::Key_Delete);
        QCOMPARE(track->clips().size(), 2);
        QTRY_COMPARE(track->clips(), QList<SourceItem *>({a}));
        QVERIFY(m_model->transitions().isEmpty());
        history()->undo();
        QCOMPARE(section(*m_model), before);
        QCOMPARE(m_model->transitions().size(), 1);
    }
    void dropsMakeClipsOnTheRightTrack_data()
    {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<uint>("rowKind");
        QTest::addColumn<int>("rowTrack"); // -1 the group row, n the group's track n
        QTest::addColumn<uint>("expectKind");
        QTest::addColumn<int>("expectTrack");
        QTest::newRow("dub on its group")
            << uint(CT_DUB) << "tone.wav" << uint(CT_DUB) << -1 << uint(CT_DUB) << -1;
        QTest::newRow("video on the video track")
            << uint(CT_VIDEO) << "clip.mp4" << uint(CT_VIDEO) << 0 << uint(CT_VIDEO) << 0;
        QTest::newRow("music on a video row goes to its group")
            << uint(CT_AUDIO) << "tone.wav" << uint(CT_VIDEO) << -1 << uint(CT_AUDIO) << -1;
        QTest::newRow("video on the music row: last video track")
            << uint(CT_VIDEO) << "clip.mp4" << uint(CT_AUDIO) << -1 << uint(CT_VIDEO) << 0;
        QTest::newRow("library GIF on the picture track: a sticker there")
            << uint(CT_VIDEO) << "sticker.gif" << uint(CT_PICTURE) << -1 << uint(CT_PICTURE) << -1;
        QTest::newRow("library GIF on the video track: a video")
            << uint(CT_VIDEO) << "sticker.gif" << uint(CT_VIDEO) << 0 << uint(CT_VIDEO) << 0;
        QTest::newRow("music on the empty bottom row goes to its group")
            << uint(CT_AUDIO) << "tone.wav" << uint(CT_NONE) << -1 << uint(CT_AUDIO) << -1;
    }
    void dropsMakeClipsOnTheRightTrack()
    {
        QFETCH(uint, kind);
        QFETCH(QString, file);
        QFETCH(uint, rowKind);
        QFETCH(int, rowTrack);
        QFETCH(uint, expectKind);
        QFETCH(int, expectTrack);
        connect(m_view, &TimeLineGraphicsView::sig_createSourceItem, m_model,
                [this](const bg::ValueMap &request, const QColor &c, const QFont &f) {
                    m_model->createFromDrop(
                        request, trackrows::at(*m_model, request.at("posY").toDouble()), c, f);
                });
        m_view->setZoomLevel(12);
        ClassifyItem *row = nullptr;
        for (ClassifyItem *item : m_model->tracks()) // the empty bottom row has no kind group
            if (item->kind == rowKind && item->isGroup)
                row = item;
        if (rowTrack >= 0)
            row = row->child(rowTrack);
        QVERIFY(row);
        const QPoint pos =
            m_view->mapFromScene(QPointF(timeline::toScene(300) + 20, trackrows::top(row) + 10));
        dropOnView(materialPayload(kind, true, m_dir.filePath(file)), pos);
        ClassifyItem *want = expectTrack < 0 ? m_model->group(expectKind)
                                             : m_model->group(expectKind)->child(expectTrack);
        QCOMPARE(want->clips().size(), 1);
        SourceItem *clip = want->clips()[0];
        QCOMPARE(clip->kind, expectKind);
        // Let go inside frame 300: the clip starts on that frame.
        QCOMPARE(clip->start(), int64_t(300));
        QCOMPARE(timeline::toScene(clip->start()), timeline::toScene(300));
        QCOMPARE(history()->stack()->text(history()->stack()->count() - 1), QString("AddSource"));
    }
    void invalidMaterialIsRefused()
    {
        QSignalSpy made(m_view, &TimeLineGraphicsView::sig_createSourceItem);
        dropOnView(materialPayload(CT_VIDEO, false, m_dir.filePath("clip.mp4")), QPoint(100, 10));
        QCOMPARE(made.size(), 0);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text,
                 QString("The file failed to open, please make sure the video file is valid"));

        // A payload cut short or of an unknown kind makes nothing and says nothing.
        const QByteArray whole = materialPayload(CT_VIDEO, true, m_dir.filePath("clip.mp4"));
        for (const QByteArray &bad : {whole.left(whole.size() - 3), whole.left(9),
                                      QByteArray("\xff"), QByteArray(40, '\x7f')})
            dropOnView(bad, QPoint(100, 10));
        QCOMPARE(made.size(), 0);
        QCOMPARE(m_boxes.size(), 1);
    }
    void transitionDropsJoinClips()
    {
        m_view->setZoomLevel(12);
        ClassifyItem *track = m_model->group(CT_VIDEO);
        SourceItem *a = clipAt(track, 0);
        SourceItem *b = clipAt(track, 60);
        SourceItem *lone = clipAt(track->child(0), 400);
        const QPoint cut = m_view->mapFromScene(
            QPointF(timeline::toScene(b->start()), trackrows::top(track) + 10));
        dropOnView(transitionPayload("clip_cross"), cut);
        QCOMPARE(m_model->transitions().size(), 1);
        QCOMPARE(m_model->transitions()[0]->data()->from(), a);
        QCOMPARE(m_model->transitions()[0]->data()->to(), b);
        // Again on the same cut: only the name changes.
        dropOnView(transitionPayload("over_white"), cut);
        QCOMPARE(m_model->transitions().size(), 1);
        QCOMPARE(m_model->transitions()[0]->data()->name, QString("over_white"));
        // Near the end of a lone clip: a tail transition.
        const QPoint end = m_view->mapFromScene(
            QPointF(timeline::toScene(lone->start()) + lone->sceneWidth() + 200,
                    trackrows::top(track->child(0)) + 10));
        dropOnView(transitionPayload("scale_in"), end);
        QCOMPARE(m_model->transitions().size(), 2);
        QCOMPARE(m_model->transitions()[1]->data()->from(), lone);
        QVERIFY(!m_model->transitions()[1]->data()->to());
        // Near its start: a head transition beside the tail one.
        const QPoint start = m_view->mapFromScene(
            QPointF(timeline::toScene(lone->start()) + 100, trackrows::top(track->child(0)) + 10));
        dropOnView(transitionPayload("clip_box"), start);
        QCOMPARE(m_model->transitions().size(), 3);
        QVERIFY(!m_model->transitions()[2]->data()->from());
        QCOMPARE(m_model->transitions()[2]->data()->to(), lone);
        QVERIFY(lone->headTransFrames > 0);
        QCOMPARE(m_view->transitionBand(), QRectF()); // the band is gone after the drop
    }

    void transitionsOnlyJoinClipsThatMeet_data()
    {
        QTest::addColumn<int>("gap"); // empty frames between the clips
        QTest::newRow("meeting") << 0;
        QTest::newRow("one frame apart, invisible at this zoom") << 1;
        QTest::newRow("five frames apart") << 5;
    }
    void transitionsOnlyJoinClipsThatMeet()
    {
        QFETCH(int, gap);
        m_view->setZoomLevel(12);
        ClassifyItem *track = m_model->group(CT_VIDEO);
        clipAt(track, 0); // 0..59
        SourceItem *b = clipAt(track, 60 + gap);
        const int steps = history()->stack()->count();
        dropOnView(transitionPayload("clip_cross"),
                   m_view->mapFromScene(
                       QPointF(timeline::toScene(b->start()), trackrows::top(track) + 10)));
        QCOMPARE(m_model->transitions().size(), 1);
        QCOMPARE(b->start(), int64_t(60)); // brought back to meet a
        QVERIFY(m_boxes.isEmpty());
        // Every frame of the dissolve shows both clips: none is black.
        const TransitionData *t = m_model->transitions()[0]->data();
        const TimelineEvaluator timeline(m_model);
        for (int64_t f = t->startFrame; f < t->endFrame; ++f) {
            const QList<TrackFrame> shown = timeline.frameAt(f);
            QVERIFY(!shown.isEmpty());
            const VideoFrameData &r = shown[0].request;
            QVERIFY2(!r.from.path.isEmpty() && !r.to.path.isEmpty(),
                     qPrintable(QString("frame %1").arg(f)));
        }
        // One step: undone, the clip is back where it was and the transition gone.
        QCOMPARE(history()->stack()->count(), steps + 1);
        history()->undo();
        QVERIFY(m_model->transitions().isEmpty());
        QCOMPARE(b->start(), int64_t(60 + gap));
    }

private:
    SourceItem *clipAt(ClassifyItem *track, int64_t startFrame, const char *file = "clip.mp4")
    {
        SourceItem *clip =
            m_model->createClip(track, track->kind, m_dir.filePath(file), startFrame);
        m_view->updateSceneWidth();
        m_view->horizontalScrollBar()->setValue(0);
        return clip;
    }
    QPoint at(SourceItem *clip, double itemX) const
    {
        return m_view->mapFromScene(clip->mapToScene(QPointF(itemX, clip->height() / 2 - 8)));
    }
    void dropOnView(const QByteArray &payload, QPoint pos)
    {
        auto *mime = new QMimeData;
        mime->setText("ZuAEdit");
        mime->setData("data", payload);
        QDragEnterEvent enter(pos, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &enter);
        QDropEvent drop(pos, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view->viewport(), &drop);
        delete mime;
    }
    QTemporaryDir m_dir;
    TimeLineGraphicsScene *m_scene = nullptr;
    TimelineDocument *m_model = nullptr;
    TimeLineGraphicsView *m_view = nullptr;
    std::unique_ptr<fixtures::Timeline> m_timeline;
    QList<MessageSpec> m_boxes;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestTimelineEditing)

#include "tst_timelineediting.moc"
