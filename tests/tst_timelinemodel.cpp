// Timeline data model: clip creation by kind, overlap resolution, transitions,
// undo and redo of every edit, and the Timeline section of the file.
#include "render/MediaProbe.h"
#include "render/RenderManager.h"
#include "support/MediaFixtures.h"
#include "support/TimelineFixture.h"
#include "timeline/ClassifyItem.h"
#include "timeline/DropPayload.h"
#include "timeline/SourceItem.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelineEditor.h"
#include "timeline/TimelineEvaluator.h"
#include "timeline/TimelinePublisher.h"
#include "timeline/TimelineSection.h"
#include "timeline/TransItem.h"

#include "common/ValueQt.h"
#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QUndoStack>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtTest>

namespace {

QString section(const TimelineDocument &model)
{
    QString text;
    QXmlStreamWriter w(&text);
    w.setAutoFormatting(true);
    w.writeStartElement("Timeline");
    TimelineSection::write(model, w, false);
    w.writeEndElement();
    return text;
}

void load(TimelineDocument &model, const QString &text)
{
    QXmlStreamReader r(text);
    r.readNextStartElement();
    TimelineSection::read(model, r);
}

// What a timeline state shows and plays over its first 10 s, as text.
QString shown(const TimelineReader &timeline)
{
    QString out;
    for (int64_t f = 0; f < 300; f += 5) {
        for (const TrackFrame &t : timeline.frameAt(f))
            out += QString("%1 %2 %3 %4 %5 %6 %7 %8|")
                       .arg(f)
                       .arg(t.clip, t.request.shader)
                       .arg(t.request.current.time)
                       .arg(t.request.from.path, t.request.to.path)
                       .arg(t.selected)
                       .arg(t.placement.x());
        for (const AudioFrameData &a : timeline.audioAt(f, 30))
            out += QString("%1 %2 %3|").arg(a.path).arg(a.volume).arg(a.position.toDouble());
    }
    return out + QString::number(timeline.lastFrame());
}

zua::UndoController *history()
{
    return zua::UndoController::instance();
}

// Moves a clip as a drag does.
bool moveClip(TimelineDocument &model, SourceItem *clip, int64_t startFrame)
{
    return TimelineEditor(&model).requestMove({{clip, clip->track, startFrame}});
}

} // namespace

class TestTimelineModel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString err;
        QVERIFY2(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-pix_fmt",
                                   "yuv420p", path("clip.mp4")},
                                  &err),
                 qPrintable(err));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:r=30:d=4", "-pix_fmt",
                                  "yuv420p", path("wide.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=3", path("music.wav")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=200x100:d=1", "-frames:v", "1", path("still.png")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=64x64:r=10:d=1", path("sticker.gif")}));
    }
    void init()
    {
        history()->reset();
        m_model = new TimelineDocument;
        // As the editor probes: the first video may give the project its size.
        m_model->setProbe([this](const QString &p, bool autoSize) {
            const bg::ValueMap info = probeMediaFile(p);
            if (autoSize)
                m_render.adoptVideoSize(info);
            return info;
        });
        m_model->buildGroups();
        m_render.setSceneSize(1920, 1080, false);
    }
    void cleanup()
    {
        m_model->clearAll();
        history()->reset();
        delete m_model;
    }

    void creationDefaultsByKind_data()
    {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<qint64>("fullLength");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("shown"); // in the 1920 × 1080 project
        // Lengths are the nearest whole frame: 2000 ms is 60 frames.
        // A video is shown whole at the project's scale; pictures at their own size.
        QTest::newRow("video") << uint(CT_VIDEO) << "clip.mp4" << qint64(60) << qint64(60)
                               << QSize(320, 240) << QSize(1440, 1080);
        QTest::newRow("picture") << uint(CT_PICTURE) << "still.png" << qint64(500)
                                 << qint64(10000000) << QSize(200, 100) << QSize(200, 100);
        QTest::newRow("gif lasts its own length") << uint(CT_PICTURE) << "sticker.gif" << qint64(30)
                                                  << qint64(30) << QSize(64, 64) << QSize(64, 64);
        // -1: as long as the file, in whole frames.
        QTest::newRow("music") << uint(CT_AUDIO) << "music.wav" << qint64(-1) << qint64(-1)
                               << QSize(0, 0) << QSize(0, 0);
        QTest::newRow("subtitle") << uint(CT_SUBTITLE) << "" << qint64(500) << qint64(10000000)
                                  << QSize(500, 100) << QSize(500, 100);
    }
    void creationDefaultsByKind()
    {
        QFETCH(uint, kind);
        QFETCH(QString, file);
        QFETCH(qint64, duration);
        QFETCH(qint64, fullLength);
        QFETCH(QSize, size);
        QFETCH(QSize, shown);
        SourceItem *clip =
            m_model->createClip(g(kind), kind, file.isEmpty() ? QString() : m_dir.filePath(file),
                                10, QColor("#ff8800"), QFont("Sans", 20));
        QVERIFY(clip);
        if (duration < 0)
            duration = fullLength = probeMediaFile(m_dir.filePath(file)).at("pix").toInt64();
        QCOMPARE(clip->start(), int64_t(10));
        QCOMPARE(clip->duration(), duration);
        QCOMPARE(clip->fullLength, fullLength);
        QCOMPARE(clip->offset(), int64_t(0));
        QCOMPARE(clip->sourceSize, size);
        QCOMPARE(clip->previewRect, QRectF(QPointF(0, 0), QSizeF(shown)));
        QVERIFY(clip->isSelected());
        QCOMPARE(g(kind)->clips(), QList<SourceItem *>({clip}));
        // What is published depends on the kind.
        QCOMPARE(clip->hasValue("previewRect"), timeline::hasMask(kind, timeline::kVisualMask));
        QCOMPARE(clip->hasValue("clipRect"), timeline::hasMask(kind, timeline::kColourMask));
        QCOMPARE(clip->hasValue("volume"), timeline::hasMask(kind, timeline::kAudibleMask));
        QCOMPARE(clip->hasValue("content"), kind == CT_SUBTITLE);
        if (kind == CT_SUBTITLE) {
            QCOMPARE(clip->content, QString("Default Subtitle Content"));
            QCOMPARE(clip->value("color").toStdString(), std::string("#ff8800"));
            QVERIFY(clip->path.isEmpty());
        }
        const bg::ValueMap source = clip->value("source").toMap();
        QCOMPARE(source.at("posX").toDouble(), 500.0);
        QCOMPARE(source.at("sizeX").toDouble(), double(duration * 50));
        // The whole creation is one step.
        QCOMPARE(history()->stack()->count(), 1);
        QCOMPARE(history()->stack()->text(0), QString("AddSource"));
        history()->undo();
        QVERIFY(g(kind)->clips().isEmpty());
    }
    void wholeFilesKeepEveryFrame_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("container");
        QTest::addColumn<qint64>("shown"); // frames of 1/30 s a player shows it for
        for (int n : {60, 119, 120, 150}) {
            QTest::addRow("%d at 30 fps", n) << "30" << n << "mp4" << qint64(n);
            QTest::addRow("%d at 29.97 fps", n) << "30000/1001" << n << "mp4" << qint64(n);
        }
        QTest::newRow("60 at 25 fps") << "25" << 60 << "mp4" << qint64(72);
        QTest::newRow("119 at 25 fps") << "25" << 119 << "mp4" << qint64(143);
        QTest::newRow("120 at 25 fps") << "25" << 120 << "mp4" << qint64(144);
        QTest::newRow("150 at 25 fps") << "25" << 150 << "mp4" << qint64(180);
        QTest::newRow("120 at 30 fps, MPEG-TS") << "30" << 120 << "ts" << qint64(120);
    }
    void wholeFilesKeepEveryFrame()
    {
        QFETCH(QString, rate);
        QFETCH(int, frames);
        QFETCH(QString, container);
        QFETCH(qint64, shown);
        const QString file =
            m_dir.filePath(QString("n%1-%2.%3").arg(frames).arg(rate.left(2), container));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=64x48:r=" + rate, "-f", "lavfi",
                                  "-i", "sine=f=440", "-frames:v", QString::number(frames),
                                  "-shortest", "-pix_fmt", "yuv420p", file}));
        SourceItem *clip = m_model->createClip(g(CT_VIDEO), CT_VIDEO, file, 10);
        QVERIFY(clip);
        QCOMPARE(clip->duration(), shown);
        QCOMPARE(clip->fullLength, shown);
        // Its last frame on the timeline shows the file's last picture.
        const TimelineEvaluator timeline(m_model);
        const FrameSource last = timeline.frameAt(10 + shown - 1)[0].request.current;
        QCOMPARE(last.path, file);
        QCOMPARE(last.time, shown - 1);
        QVERIFY(timeline.frameAt(10 + shown).isEmpty() ||
                timeline.frameAt(10 + shown)[0].request.current.path.isEmpty());
    }
    void overlappingClipsArePushedRight()
    {
        SourceItem *a = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *c = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 70);
        SourceItem *b = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 20);
        // b overlaps a and goes to its end; c, now overlapped by b, is pushed on too.
        // (Each clip lasts 60 frames.)
        QCOMPARE(a->start(), int64_t(0));
        QCOMPARE(b->start(), int64_t(60));
        QCOMPARE(c->start(), int64_t(120));
        QCOMPARE(g(CT_VIDEO)->clips(), QList<SourceItem *>({a, b, c}));
        QCOMPARE(g(CT_VIDEO)->clipAt(59), a);
        QCOMPARE(g(CT_VIDEO)->clipAt(60), b);
        QVERIFY(g(CT_VIDEO)->isFree(180));
        QVERIFY(!g(CT_VIDEO)->isFree(179));
        // Undoing the last drop puts c back where it was.
        history()->undo();
        QCOMPARE(c->start(), int64_t(70));
        QCOMPARE(g(CT_VIDEO)->clips(), QList<SourceItem *>({a, c}));
        // Dropped on a's last frame: an overlap of a single frame is pushed on too.
        SourceItem *d = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 59);
        QCOMPARE(d->start(), int64_t(60));
    }
    void transitionPlacement_data()
    {
        QTest::addColumn<int>("ratio");
        QTest::addColumn<QString>("sides");
        QTest::addColumn<qint64>("durationMs");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        // Touching clips of 60 frames at 0 and 60; a 2000 ms transition is 60 frames:
        // 30 before and 30 after the cut at 60 (5000 ms would be 150, 5.000 s). A
        // transition never takes more than its clips have: no black before the first
        // clip or after the last, and the timeline keeps its length.
        QTest::newRow("centred") << 5 << "both" << qint64(2000) << qint64(30) << qint64(90);
        QTest::newRow("a third of a frame is no frame")
            << 5 << "both" << qint64(2010) << qint64(30) << qint64(90);
        QTest::newRow("ratio 0 starts at the cut, within the clip after")
            << 0 << "both" << qint64(2000) << qint64(60) << qint64(120);
        QTest::newRow("ratio 10 ends at the cut, within the clip before")
            << 10 << "both" << qint64(2000) << qint64(0) << qint64(60);
        QTest::newRow("longer than both clips")
            << 5 << "both" << qint64(9000) << qint64(0) << qint64(120);
        QTest::newRow("uneven split of a long one")
            << 3 << "both" << qint64(9000) << qint64(60 - 25) << qint64(120);
        QTest::newRow("head only") << 5 << "to" << qint64(2000) << qint64(60) << qint64(90);
        QTest::newRow("tail only") << 5 << "from" << qint64(2000) << qint64(30) << qint64(60);
        QTest::newRow("long tail only") << 5 << "from" << qint64(9000) << qint64(0) << qint64(60);
    }
    void transitionPlacement()
    {
        QFETCH(int, ratio);
        QFETCH(QString, sides);
        QFETCH(qint64, durationMs);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        SourceItem *a = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *b = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 60);
        TransItem *t =
            m_model->addTransition("clip_cross", sides != "to" ? a : nullptr,
                                   sides != "from" ? b : nullptr, durationMs, ratio, true);
        QVERIFY(t);
        QCOMPARE(t->data()->startFrame, start);
        QCOMPARE(t->data()->endFrame, end);
        QCOMPARE(t->pos().x(), timeline::toScene(start));
        QCOMPARE(t->boundingRect().width(), timeline::toScene(end - start));
        if (sides != "to")
            QCOMPARE(a->tailTransFrames, 60 - start);
        if (sides != "from")
            QCOMPARE(b->headTransFrames, end - 60);
        QCOMPARE(TimelineEvaluator(m_model).lastFrame(), int64_t(119)); // the clips' end
        const bg::ValueMap trans = t->value("trans").toMap();
        QCOMPARE(trans.at("durationframe").toInt64(), int64_t(durationMs));
        QCOMPARE(trans.at("name").toStdString(), std::string("clip_cross"));
        history()->undo();
        QVERIFY(!m_model->transitions().contains(t));
        QCOMPARE(b->headTransFrames, int64_t(0)); // the markers go with it
    }
    void transitionLengthFollowsItsClips()
    {
        // One-second clips: a panel edit asking for 5 s gets what the clips can give, the
        // panel learns that maximum, and trimming a clip later shortens the transition.
        auto clipAt = [this](int64_t at) {
            SourceItem *clip = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), at);
            clip->setValue("source", SourceData::sourceValue(clip->track, at, 30, 0), false, true);
            return clip;
        };
        SourceItem *a = clipAt(0);
        SourceItem *b = clipAt(30);
        QCOMPARE(b->start(), int64_t(30));
        QCOMPARE(a->duration(), int64_t(30));
        TransItem *t = m_model->addTransition("clip_cross", a, b, 800, 5, true);
        QVERIFY(t);
        QCOMPARE(t->panelValues(a).at("maxDuration").toInt64(), int64_t(2000));
        bg::ValueMap edit = t->panelValues(a);
        edit["duration"] = bg::Value(int64_t(5000));
        t->applyPanelEdit(edit);
        QCOMPARE(t->data()->startFrame, int64_t(0));
        QCOMPARE(t->data()->endFrame, int64_t(60));
        QVERIFY(t->data()->durationMs <= t->data()->maxDurationMs());
        QCOMPARE(TimelineEvaluator(m_model).lastFrame(), int64_t(59));

        b->setValue("source", SourceData::sourceValue(b->track, b->start(), 10, 0), false, true);
        m_model->checkTransitions();
        QCOMPARE(t->data()->endFrame, int64_t(40)); // ten frames after the cut, all b has
        QCOMPARE(TimelineEvaluator(m_model).lastFrame(), int64_t(39));
    }
    void everyEditUndoesAndRedoesExactly_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("add clip") << "add";
        QTest::newRow("move clip") << "move";
        QTest::newRow("move clip to another track, over a clip") << "moveAcross";
        QTest::newRow("trim clip") << "trim";
        QTest::newRow("split clip") << "split";
        QTest::newRow("remove clip") << "remove";
        QTest::newRow("add track") << "addTrack";
        QTest::newRow("remove track with clips") << "removeTrack";
        QTest::newRow("add transition") << "addTransition";
        QTest::newRow("change a property") << "property";
    }
    void everyEditUndoesAndRedoesExactly()
    {
        QFETCH(QString, edit);
        ClassifyItem *track = m_model->insertTrack(g(CT_VIDEO), 0, false);
        SourceItem *a = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *b = m_model->createClip(track, CT_VIDEO, path("clip.mp4"), 30);
        m_model->createClip(g(CT_SUBTITLE), CT_SUBTITLE, QString(), 0);
        m_model->addTransition("over_black", nullptr, b, 1000, 5, true);
        const QString before = section(*m_model);
        const int steps = history()->stack()->count();

        if (edit == "add")
            m_model->createClip(track, CT_VIDEO, path("wide.mp4"), 200);
        else if (edit == "move")
            QVERIFY(moveClip(*m_model, a, 75));
        else if (edit == "moveAcross")
            QVERIFY(TimelineEditor(m_model).requestMove({{a, track, 40}}));
        else if (edit == "trim")
            QVERIFY(TimelineEditor(m_model).requestTrim(b, 35, 20, 5));
        else if (edit == "split")
            QVERIFY(TimelineEditor(m_model).requestSplit(b, 50));
        else if (edit == "remove")
            QVERIFY(TimelineEditor(m_model).requestRemove({b}, "remove sourceItems"));
        else if (edit == "addTrack")
            m_model->insertTrack(g(CT_PICTURE), 0, true);
        else if (edit == "removeTrack")
            m_model->removeTrack(track, true);
        else if (edit == "addTransition")
            m_model->addTransition("scale_in", a, nullptr, 3000, 3, true);
        else if (edit == "property")
            a->setValue("previewRect", bg::ValueQt(QRectF(10, 20, 160, 120)), true, true);

        const QString after = section(*m_model);
        QVERIFY(after != before);
        QCOMPARE(history()->stack()->count(), steps + 1); // one step
        VERIFY_CONSISTENT(*m_model);
        // Playback and export read the published state: after the event-loop turn it
        // shows what the model holds, after the edit and after each undo and redo.
        const std::shared_ptr<TimelineFeed> feed = m_model->publisher()->feed();
        auto published = [&] {
            QCoreApplication::processEvents();
            return shown(*feed->current()) == shown(TimelineEvaluator(m_model));
        };
        QVERIFY(published());
        QVERIFY(history()->undo());
        QCOMPARE(section(*m_model), before);
        QVERIFY(published());
        VERIFY_CONSISTENT(*m_model);
        QVERIFY(history()->redo());
        QCOMPARE(section(*m_model), after);
        QVERIFY(published());
        VERIFY_CONSISTENT(*m_model);
        QVERIFY(history()->undo());
        QCOMPARE(section(*m_model), before);
        QVERIFY(published());
        VERIFY_CONSISTENT(*m_model);
    }
    void editRequestsDoAllOrNothing_data()
    {
        // Two 60-frame clips a (0..59) and b (60..119) joined by a dissolve on the video
        // track, a 60-frame clip c (0..59) on a second video track, a picture p (0..499)
        // on the picture track. `starts` lists a, b, c, p after the request: a refused
        // request leaves them, and the history, as they were.
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QList<qint64>>("starts");
        using L = QList<qint64>;
        QTest::newRow("move onto another clip pushes it right")
            << "move a 30" << true << L{30, 90, 0, 0};
        QTest::newRow("a move away parts the dissolved clips")
            << "move b 90" << true << L{0, 90, 0, 0};
        QTest::newRow("a move before the start stops at 0")
            << "move b -20" << true << L{0, 60, 0, 0};
        QTest::newRow("a move to a track of another kind is refused")
            << "move a to pictures" << false << L{0, 60, 0, 0};
        QTest::newRow("a move of a clip taken off is refused")
            << "move removed" << false << L{0, 60, 0, 0};
        QTest::newRow("a trim past the material's end is refused")
            << "trim b 60 61 0" << false << L{0, 60, 0, 0};
        QTest::newRow("a trim before the material's start is refused")
            << "trim b 55 65 -5" << false << L{0, 60, 0, 0};
        QTest::newRow("a trim to no frame is refused")
            << "trim b 60 0 0" << false << L{0, 60, 0, 0};
        QTest::newRow("a picture has no in-point") << "trim p 0 100 3" << false << L{0, 60, 0, 0};
        QTest::newRow("a trim of the tail shortens the clip")
            << "trim b 60 30 0" << true << L{0, 60, 0, 0};
        QTest::newRow("a picture reaches back freely")
            << "trim p 0 900 0" << true << L{0, 60, 0, 0};
        QTest::newRow("a cut at the clip's first frame is refused")
            << "split b 60" << false << L{0, 60, 0, 0};
        QTest::newRow("a cut past the clip is refused") << "split b 130" << false << L{0, 60, 0, 0};
        QTest::newRow("a cut at the clip's end is refused")
            << "split b 120" << false << L{0, 60, 0, 0};
        QTest::newRow("a cut inside") << "split b 90" << true << L{0, 60, 0, 0};
        QTest::newRow("joining over another clip is refused")
            << "join b d" << false << L{0, 60, 0, 0};
    }
    void editRequestsDoAllOrNothing()
    {
        QFETCH(QString, request);
        QFETCH(bool, done);
        QFETCH(QList<qint64>, starts);
        ClassifyItem *second = m_model->insertTrack(g(CT_VIDEO), 0, false);
        SourceItem *a = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *b = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 60);
        SourceItem *c = m_model->createClip(second, CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *p = m_model->createClip(g(CT_PICTURE), CT_PICTURE, path("still.png"), 0);
        QVERIFY(m_model->addTransition("clip_cross", a, b, 1000, 5, true));
        SourceItem *d = nullptr, *removed = nullptr;
        if (request == "join b d") { // e lies between b and d
            QVERIFY(m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 150));
            d = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 300);
        }
        if (request == "move removed") {
            removed = m_model->createClip(second, CT_VIDEO, path("clip.mp4"), 300);
            QVERIFY(TimelineEditor(m_model).requestRemove({removed}, "remove sourceItems"));
        }
        const QString before = section(*m_model);
        const int steps = history()->stack()->count();
        const QStringList words = request.split(' ');
        SourceItem *clip = words[1] == "a" ? a : words[1] == "b" ? b : words[1] == "p" ? p : c;
        auto number = [&words](int i) { return words.value(i).toLongLong(); };
        TimelineEditor editor(m_model);
        QString why;
        bool answer = false;
        if (request == "move a to pictures")
            answer = editor.requestMove({{a, g(CT_PICTURE), 0}}, &why);
        else if (request == "move removed")
            answer = editor.requestMove({{removed, second, 0}}, &why);
        else if (words[0] == "move")
            answer = editor.requestMove({{clip, clip->track, number(2)}}, &why);
        else if (words[0] == "trim")
            answer = editor.requestTrim(clip, number(2), number(3), number(4), &why);
        else if (words[0] == "split")
            answer = editor.requestSplit(clip, number(2), &why) != nullptr;
        else if (words[0] == "join")
            answer = editor.requestTransition("clip_cross", {b, d}, 200, &why);
        QCOMPARE(answer, done);
        QCOMPARE(why.isEmpty(), done); // a refusal says why
        VERIFY_CONSISTENT(*m_model);
        QCOMPARE((QList<qint64>{a->start(), b->start(), c->start(), p->start()}), starts);
        QCOMPARE(history()->stack()->count(), steps + (done ? 1 : 0));
        QVERIFY(!done || history()->undo());
        QCOMPARE(section(*m_model), before); // refused: untouched; done: undone
        VERIFY_CONSISTENT(*m_model);
    }
    void reopenedTimelineHoldsWhatWasSet()
    {
        ClassifyItem *track = m_model->insertTrack(g(CT_VIDEO), 0, false);
        SourceItem *a = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *b = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("wide.mp4"), 60);
        // Trimmed: from its frame 7, 30 frames long, at frame 12 of the second track.
        SourceItem *trimmed = m_model->createClip(track, CT_VIDEO, path("clip.mp4"), 12);
        trimmed->setValue("source", SourceData::sourceValue(track, 12, 30, 7), true, true);
        m_model->createClip(g(CT_PICTURE), CT_PICTURE, path("still.png"), 0);
        m_model->createClip(g(CT_SUBTITLE), CT_SUBTITLE, QString(), 0, QColor("#12ab34"),
                            QFont("Serif", 30));
        SourceItem *music = m_model->createClip(g(CT_AUDIO), CT_AUDIO, path("music.wav"), 0);
        music->setValue("volume", bg::Value(int32_t(90)), true, true);
        a->setValue("clipRect", bg::ValueQt(QRect(4, 4, 300, 200)), true, true);
        a->setValue("mute", bg::Value(true), true, true); // the file keeps no volume for it
        // A placement dragged to fractions keeps every digit through save and open.
        b->setValue("previewRect", bg::ValueQt(QRectF(123.4567891, -0.1, 320.000001, 1e-7)), true,
                    true);
        a->setValue("zValue", bg::Value(int32_t(b->stacking + 5)), true, true); // re-stacked
        m_model->addTransition("trans_move", a, b, 1500, 7, true);
        // Every track's clips with the values a user set, and the transition between them.
        auto values = [this] {
            QStringList out;
            for (ClassifyItem *t : m_model->tracks())
                for (SourceItem *c : t->clips())
                    out << QString("%1/%2 %3 %4+%5 in %6 z%7 %8 %9 %10")
                               .arg(t->kind)
                               .arg(t->isGroup ? -1 : t->row())
                               .arg(QFileInfo(c->path).fileName())
                               .arg(c->start())
                               .arg(c->duration())
                               .arg(c->offset())
                               .arg(c->stacking)
                               .arg(QString::number(c->previewRect.x(), 'g', 17) + "," +
                                    QString::number(c->previewRect.width(), 'g', 17))
                               .arg(c->clipRect.width())
                               .arg(c->mute ? "muted" : "vol " + QString::number(c->volume));
            for (TransItem *t : m_model->transitions())
                out << QString("%1 %2>%3 %4 ms ratio %5")
                           .arg(t->data()->name, t->data()->from()->path, t->data()->to()->path)
                           .arg(t->data()->durationMs)
                           .arg(t->data()->ratio);
            return out;
        };
        const QStringList set = values();
        QCOMPARE(set.size(), 7);
        QVERIFY2(set.contains("2/0 clip.mp4 12+30 in 7 z" + QString::number(trimmed->stacking) +
                              " 0,1440 320 vol 128"),
                 qPrintable(set.join('\n')));
        // Written, cleared, and read back; then again with an element from a newer
        // writer, which this reader skips.
        for (const QString &extra : {QString(), QString("<fromTheFuture>1</fromTheFuture>")}) {
            QString text = section(*m_model);
            text.replace("<highlight>", extra + "<highlight>");
            m_model->clearAll();
            history()->reset();
            QVERIFY(m_model->clips().isEmpty());
            load(*m_model, text);
            QCOMPARE(values(), set);
        }
        // Two clips sharing a uuid in the file (edited by hand) both read, each its own.
        const QString copied = section(*m_model).replace(g(CT_AUDIO)->clips()[0]->uuid,
                                                         g(CT_PICTURE)->clips()[0]->uuid);
        m_model->clearAll();
        load(*m_model, copied);
        QCOMPARE(values(), set);
        QSet<QString> uuids;
        for (const SourceItem *c : m_model->clips())
            uuids << c->uuid;
        QCOMPARE(uuids.size(), set.size() - 1); // the transition is not a clip
        VERIFY_CONSISTENT(*m_model);
        // New clips still go on top of what was read.
        const int top = m_model->transitions()[0]->data()->from()->stacking;
        SourceItem *fresh = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 400);
        QVERIFY(fresh->stacking > top);
    }
    void forbiddenCharactersNeverReachTheFile()
    {
        // Pasted from a word processor: vertical tab, form feed, other controls; tabs and
        // line breaks are kept. The file must read back as XML with the visible text.
        SourceItem *words = m_model->createClip(g(CT_SUBTITLE), CT_SUBTITLE, QString(), 0,
                                                QColor("#12ab34"), QFont("DejaVu Sans", 21));
        QVERIFY(words);
        words->setValue("content", bg::Value(std::string("one\x0btwo\x0c\tthree\x01\nfour\x1f")),
                        true, true);
        // A writer given a forbidden character fails the save it belongs to.
        QString text;
        QXmlStreamWriter w(&text);
        w.writeStartElement("Timeline");
        TimelineSection::write(*m_model, w, false);
        w.writeEndElement();
        QVERIFY(!w.hasError());
        m_model->clearAll();
        load(*m_model, text);
        SourceItem *back = g(CT_SUBTITLE)->clips().value(0);
        QVERIFY(back);
        QCOMPARE(back->content, QString("onetwo\tthree\nfour"));
    }
    void everyPropertyKeepsItsNameInTheFileAndTheMap()
    {
        // Distinct values everywhere, set as edits: a property read, written or applied
        // under another's name shows up as a wrong element, key or field.
        SourceItem *video = m_model->createClip(g(CT_VIDEO), CT_VIDEO, path("clip.mp4"), 0);
        SourceItem *words = m_model->createClip(g(CT_SUBTITLE), CT_SUBTITLE, QString(), 0,
                                                QColor("#12ab34"), QFont("DejaVu Sans", 21));
        QVERIFY(video && words);
        const QList<QPair<const char *, int>> numbers{
            {"rotate", -45},     {"transparent", 77}, {"zValue", 42}, {"volume", 90},
            {"temperature", 11}, {"saturation", 12},  {"hue", 13},    {"bright", 14},
            {"contrast", 15},    {"highlight", 16}};
        for (const auto &n : numbers)
            video->setValue(n.first, bg::Value(int32_t(n.second)), true, true);
        video->setValue("previewRect", bg::ValueQt(QRectF(1.5, -2.25, 333, 111)), true, true);
        video->setValue("clipRect", bg::ValueQt(QRect(3, 4, 50, 60)), true, true);
        video->stretch = 2;
        words->setValue("content", bg::Value(std::string("hello")), true, true);
        words->setValue("rotate", bg::Value(int32_t(30)), true, true);

        const QString text = section(*m_model);
        for (const char *element :
             {"<roration>-45</roration>", "<transparent>77</transparent>", "<zValue>42</zValue>",
              "<volumn>90</volumn>", "<mute>false</mute>", "<stretch>2</stretch>",
              "<temperature>11</temperature>", "<saturation>12</saturation>", "<hue>13</hue>",
              "<bright>14</bright>", "<contrast>15</contrast>", "<highlight>16</highlight>",
              "<previewRect>x: 1.5, y: -2.25, width: 333, height: 111</previewRect>",
              "<clipRect>x: 3, y: 4, width: 50, height: 60</clipRect>",
              "<originalSize>width: 320, height: 240</originalSize>", "<type>2</type>",
              "<color>#12ab34</color>", "<content>hello</content>", "<subtitle>true</subtitle>"})
            QVERIFY2(text.contains(element), element);
        // The kind follows the full length, the subtitle flag comes before the text.
        QVERIFY(text.indexOf("<originalduraion>") < text.indexOf("<type>"));
        QVERIFY(text.indexOf("<type>") < text.indexOf("<previewRect>"));
        QVERIFY(text.indexOf("<subtitle>true") < text.indexOf("<color>"));
        QCOMPARE(text.count("<color>"), 1); // only the subtitle has a colour, font and text

        m_model->clearAll();
        history()->reset();
        load(*m_model, text);
        SourceItem *back = g(CT_VIDEO)->clips().value(0);
        SourceItem *wordsBack = g(CT_SUBTITLE)->clips().value(0);
        QVERIFY(back && wordsBack);
        for (const auto &n : numbers)
            QVERIFY2(back->value(n.first).toInt32() == n.second, n.first);
        QCOMPARE(back->previewRect, QRectF(1.5, -2.25, 333, 111));
        QCOMPARE(bg::ValueQt(back->value("clipRect")).toRect(), QRect(3, 4, 50, 60));
        QCOMPARE(back->stretch, 2);
        QCOMPARE(back->sourceSize, QSize(320, 240));
        QCOMPARE(wordsBack->rotate, 30);
        QCOMPARE(wordsBack->color, QColor("#12ab34"));
        QCOMPARE(wordsBack->font.family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(QString::fromStdString(wordsBack->value("content").toStdString()),
                 QStringLiteral("hello"));
        // The panels see the same values under their own names.
        const bg::ValueMap panel = back->panelValues();
        QCOMPARE(panel.at("strech").toInt32(), 2);
        QCOMPARE(bg::ValueQt(panel.at("rect")).toRect(), QRect(3, 4, 50, 60));
        QCOMPARE(panel.at("X").toDouble(), 1.5);
        QCOMPARE(panel.at("hue").toInt32(), 13);
        QVERIFY(!panel.count("content"));
        QCOMPARE(wordsBack->panelValues().at("content").toStdString(), std::string("hello"));
    }
    void dropPayloadsReadWholeOrNotAtAll()
    {
        auto subtitle = [](const std::function<void(QDataStream &)> &tail) {
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << QString("material") << uint32_t(CT_SUBTITLE);
            tail(out);
            return bytes;
        };
        // A template's payload as the library writes it comes back whole.
        const QFont font("Serif", 30);
        const DropPayload good = DropPayload::read(
            subtitle([&](QDataStream &out) { out << QColor("#12ab34") << font; }));
        QCOMPARE(good.kind, DropPayload::Material);
        QCOMPARE(good.colour, QColor("#12ab34"));
        QCOMPARE(good.font.family(), font.family());
        QCOMPARE(good.font.pointSize(), 30);
        // A colour of an unknown kind, a font whose family list claims billions of entries,
        // a font cut short: refused whole (these crashed Qt's own readers).
        QCOMPARE(DropPayload::read(subtitle([](QDataStream &out) {
                     out << qint8(106) << quint16(1) << quint16(2) << quint16(3) << quint16(4)
                         << quint16(0);
                 })).kind,
                 DropPayload::Invalid);
        QByteArray huge = subtitle([&](QDataStream &out) { out << QColor(Qt::red) << font; });
        huge.chop(4);                    // the empty family list's count...
        huge.append("\xff\xff\xff\xf0"); // ...now claims 4 billion names
        QCOMPARE(DropPayload::read(huge).kind, DropPayload::Invalid);
        QByteArray cut = subtitle([&](QDataStream &out) { out << QColor(Qt::red) << font; });
        cut.chop(7);
        QCOMPARE(DropPayload::read(cut).kind, DropPayload::Invalid);
    }

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    ClassifyItem *g(uint32_t kind) { return m_model->group(kind); }
    QTemporaryDir m_dir;
    TimelineDocument *m_model = nullptr;
    RenderManager m_render;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestTimelineModel)

#include "tst_timelinemodel.moc"
