// The older project format's timeline: object records and the track tree that
// places them become tracks, clips and transitions, with their times, placement,
// sound and subtitle attributes; odd files (unknown kinds, missing records, a
// transition whose partner is gone, no records at all) import what they can.
#include "render/RenderManager.h"
#include "support/MediaFixtures.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TransItem.h"

#include "undo/UndoController.h"

#include <QXmlStreamReader>
#include <QtTest>

namespace {

// An "Object" record; `extra` adds elements inside it.
QString object(const QString &uid, const QString &type, const QString &url, int startPts,
               int duration, const QString &extra = QString())
{
    return QString("<Object><uid>%1</uid><type>%2</type><url>%3</url><rect>x:0;y:0;width:640;"
                   "height:360</rect><pos>x:640;y:360</pos><values><dobj_user><startPts>%4"
                   "</startPts><duration>%5</duration><mv_duration>4000</mv_duration>"
                   "</dobj_user></values><buddy_uid/>%6</Object>")
        .arg(uid, type, url)
        .arg(startPts)
        .arg(duration)
        .arg(extra);
}

QString transit(const char *side, const QString &name, int dur, int width, const QString &to = {})
{
    QString text = QString("[map]{map}dur:[i]%1;name:[qstr]%2;").arg(dur).arg(name);
    if (!to.isEmpty())
        text += "to:[qstr]" + to + ";";
    text += QString("width:[i]%1;").arg(width);
    return QString("<%1>%2</%1>").arg(side, text);
}

// Feeds the two sections to the timeline as the project reader does.
void import(TimeLineWidget &timeline, const QString &objects, const QString &tree)
{
    QXmlStreamReader r("<root>" + objects + tree + "</root>");
    r.readNextStartElement();
    while (r.readNextStartElement()) {
        if (r.name() == QLatin1String("ObjectMgr"))
            timeline.readLegacyScene(r);
        else if (r.name() == QLatin1String("Tree"))
            timeline.readLegacyTree(r);
        else
            r.skipCurrentElement();
    }
}

TransItem *transitionOf(TimelineDocument *model, SourceItem *from, SourceItem *to)
{
    for (TransItem *t : model->transitions())
        if (t->data()->from() == from && t->data()->to() == to)
            return t;
    return nullptr;
}

} // namespace

class TestLegacyImport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=30:d=4", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("clip.mp4")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "sine=frequency=440:duration=4", m_dir.filePath("tone.wav")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=blue:s=200x100:d=1", "-frames:v",
                                  "1", m_dir.filePath("still.png")}));
    }
    void init()
    {
        zua::UndoController::instance()->reset();
        m_timeline = new TimeLineWidget;
        m_timeline->model()->setRenderSize(QSize(1280, 720));
    }
    void cleanup()
    {
        m_timeline->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_timeline;
    }
    void recordsBecomeTracksClipsAndTransitions()
    {
        const QString clip = m_dir.filePath("clip.mp4"), tone = m_dir.filePath("tone.wav"),
                      still = m_dir.filePath("still.png");
        const QString objects =
            "<ObjectMgr>" +
            object("A", "movie", clip, 0, 200,
                   "<rotate>90</rotate><alpha>200</alpha><values/>" +
                       transit("transit.right", "clip.cross", 100, 50, "B")) +
            object("B", "0", clip, 200, 150, transit("transit.left", "clip.cross", 100, 30)) +
            object(
                "C", "text", "", 0, 100,
                "<content>Hello</content><color>#ff0000</color><font>DejaVu Sans,24,-1,5,75,0,0,0,"
                "0,0</font>") +
            object("D", "music", tone, 0, 300, "<silence>true</silence><volume>vol80</volume>") +
            object("E", "image", still, 100, 100,
                   "<clipMode>mode_fill</clipMode><clipRect>x:10.4;y:0;width:100.6;height:50"
                   "</clipRect>" +
                       transit("transit.right", "over.white", 50, 25)) +
            object("F", "mic", tone, 0, 100, transit("transit.left", "fade.black", 80, 40)) +
            "<Unknown/></ObjectMgr>";
        const QString tree =
            "<Tree><Group "
            "type=\"movie\"><Row><Item><uid>A</uid></Item><Item><uid>B</uid></Item></Row>"
            "</Group><Group type=\"image\"><Row/><Row><Item><uid>E</uid></Item></Row></Group>"
            "<Group type=\"text\"><Row><Item><uid>C</uid></Item></Row></Group>"
            "<Group type=\"music\"><Row><Item><uid>D</uid></Item></Row></Group>"
            "<Group type=\"mic\"><Row><Item><uid>F</uid></Item></Row></Group></Tree>";
        import(*m_timeline, objects, tree);
        TimelineDocument *model = m_timeline->model();

        ClassifyItem *video = model->group(CT_VIDEO);
        QCOMPARE(video->clips().size(), 2);
        SourceItem *a = video->clips()[0], *b = video->clips()[1];
        QCOMPARE(a->start(), int64_t(0));
        QCOMPARE(a->duration(), int64_t(60)); // 2 s in hundredths → frames
        QCOMPARE(b->start(), int64_t(60));
        QCOMPARE(b->duration(), int64_t(45));
        QCOMPARE(a->path, clip);
        // Placed by its centre: (640, 360) in a 1280 × 720 picture is the middle.
        QCOMPARE(a->previewRect, QRectF(0, 0, 640, 360));
        QCOMPARE(a->rotate, 90);
        QCOMPARE(a->transparency, 200);

        // The picture sits on the group's second row: a track made for it.
        ClassifyItem *picture = model->group(CT_PICTURE);
        QCOMPARE(picture->clips().size(), 0);
        QCOMPARE(picture->childCount(), 1);
        QCOMPARE(picture->child(0)->clips().size(), 1);
        SourceItem *e = picture->child(0)->clips()[0];
        QCOMPARE(e->stretch, 0);
        QCOMPARE(e->clipRect, QRect(10, 0, 101, 50));

        SourceItem *c = model->group(CT_SUBTITLE)->clips().value(0);
        QVERIFY(c);
        QCOMPARE(c->content, QString("Hello"));
        QCOMPARE(c->color, QColor(255, 0, 0));
        QCOMPARE(c->font.pointSize(), 24);
        SourceItem *d = model->group(CT_AUDIO)->clips().value(0);
        QVERIFY(d);
        QVERIFY(d->mute);
        QCOMPARE(d->volume, 80);
        SourceItem *f = model->group(CT_DUB)->clips().value(0);
        QVERIFY(f);

        // A joined pair, a tail alone and a head alone; names with '_' for '.'.
        QCOMPARE(model->transitions().size(), 3);
        TransItem *join = transitionOf(model, a, b);
        QVERIFY(join);
        QCOMPARE(join->data()->name, QString("clip_cross"));
        QCOMPARE(join->data()->durationMs, int64_t(1000));
        QCOMPARE(join->data()->ratio, 3); // the left side's width ÷ its duration × 10
        TransItem *tail = transitionOf(model, e, nullptr);
        QVERIFY(tail);
        QCOMPARE(tail->data()->name, QString("over_white"));
        QCOMPARE(tail->data()->durationMs, int64_t(500));
        TransItem *head = transitionOf(model, nullptr, f);
        QVERIFY(head);
        QCOMPARE(head->data()->name, QString("fade_black"));
    }
    void oddFilesImportWhatTheyCan()
    {
        const QString clip = m_dir.filePath("clip.mp4");
        // A record of an unknown kind, an item naming no record, a group of an unknown
        // kind, a right side whose partner has no left side, one whose partner is gone.
        const QString objects =
            "<ObjectMgr>" +
            object("A", "movie", clip, 0, 100, transit("transit.right", "x", 100, 50, "B")) +
            object("B", "movie", clip, 100, 100, transit("transit.right", "y", 100, 50, "Z")) +
            object("S", "sticker", clip, 0, 100) +
            "<Object><type>movie</type></Object></ObjectMgr>";
        const QString tree =
            "<Tree><Group type=\"movie\"><Row><Item><uid>A</uid></Item><Item><uid>B</uid></Item>"
            "<Item><uid>nothing</uid></Item><Item><uid>S</uid></Item><Other/></Row></Group>"
            "<Group type=\"sticker\"><Row><Item><uid>S</uid></Item></Row></Group><Other/></Tree>";
        import(*m_timeline, objects, tree);
        TimelineDocument *model = m_timeline->model();
        QCOMPARE(model->group(CT_VIDEO)->clips().size(), 2);
        QCOMPARE(model->transitions().size(), 0);

        // A tree with no records before it places nothing and keeps the reader going.
        m_timeline->model()->clearAll();
        import(*m_timeline, QString(), tree);
        QCOMPARE(model->group(CT_VIDEO)->clips().size(), 0);
    }

private:
    QTemporaryDir m_dir;
    RenderManager m_render;
    TimeLineWidget *m_timeline = nullptr;
};

QTEST_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
