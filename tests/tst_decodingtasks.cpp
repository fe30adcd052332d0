// Decoding tasks: open decoders follow the latest request, and one file serves both
// sides of a transition.
#include "render/preview/VideoDecoding.h"
#include "support/MediaFixtures.h"

#include <QtTest>

namespace {

FrameSource source(const QString &path, int64_t time)
{
    FrameSource s;
    s.path = path;
    s.time = time;
    s.id = "{clip}";
    s.crop = QRect(0, 0, 320, 240);
    s.width = 320;
    s.height = 240;
    return s;
}

} // namespace

class TestDecodingTasks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::numberedVideo(path("a.mp4"), 2, 30));
        QVERIFY(fixtures::numberedVideo(path("b.mp4"), 2, 30));
    }
    void decodersFollowTheLatestRequest()
    {
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_CURRENT;
        r.current = source(path("a.mp4"), 12);
        QList<VFrameInfo> got = manager.fetch(r);
        QCOMPARE(got.size(), 3);
        QVERIFY(got[0].frame);
        QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width,
                                        got[0].frame->height, got[0].frame->stride),
                 12);
        QCOMPARE(got[0].id, QString("{clip}"));
        QVERIFY(!got[1].frame && !got[2].frame);
        QCOMPARE(got[1].transparency, 1.0f);
        QCOMPARE(manager.paths(), QStringList({path("a.mp4")}));
        const int live = VideoDecoderTask::liveCount();
        r.current.time = 13;
        manager.fetch(r); // same clip: the decoder is kept
        QCOMPARE(VideoDecoderTask::liveCount(), live);
        r.current = source(path("b.mp4"), 3);
        got = manager.fetch(r); // another clip: the old decoder goes
        QCOMPARE(manager.paths(), QStringList({path("b.mp4")}));
        QCOMPARE(VideoDecoderTask::liveCount(), live);
        QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width,
                                        got[0].frame->height, got[0].frame->stride),
                 3);
        r.decodeMask = 0; // nothing asked: every decoder closes
        manager.fetch(r);
        QCOMPARE(VideoDecoderTask::liveCount(), live - 1);
    }
    void oneFileServesBothSidesOfATransition()
    {
        VideoTaskManager manager;
        VideoFrameData r;
        r.decodeMask = DECODE_FROM | DECODE_TO;
        r.from = source(path("a.mp4"), 50);
        r.to = source(path("a.mp4"), 5);
        const int live = VideoDecoderTask::liveCount();
        const QList<VFrameInfo> got = manager.fetch(r);
        QCOMPARE(VideoDecoderTask::liveCount(), live + 1);
        QVERIFY(!got[0].frame);
        QCOMPARE(fixtures::frameIndexOf(got[1].frame->data(), 320, 240, got[1].frame->stride), 50);
        QCOMPARE(fixtures::frameIndexOf(got[2].frame->data(), 320, 240, got[2].frame->stride), 5);
        manager.clear();
        QCOMPARE(VideoDecoderTask::liveCount(), live);
    }

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDecodingTasks)
#include "tst_decodingtasks.moc"
