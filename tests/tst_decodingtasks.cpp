// Decoding tasks: open decoders follow the latest request, one file serves both
// sides of a transition, and the same file twice gets two tasks.
#include "render/audio/AudioDecoding.h"
#include "render/audio/AudioMixerPlayer.h"
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

int peak(const ff::PcmBuffer &pcm)
{
    int p = 0;
    for (int16_t v : pcm.samples)
        p = std::max(p, std::abs(int(v)));
    return p;
}

} // namespace

class TestDecodingTasks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void decodersFollowTheLatestRequest();
    void oneFileServesBothSidesOfATransition();
    void theSameFileTwiceGetsTwoTasks();

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestDecodingTasks::initTestCase()
{
    QVERIFY(fixtures::numberedVideo(path("a.mp4"), 2, 30));
    QVERIFY(fixtures::numberedVideo(path("b.mp4"), 2, 30));
    // Half scale (the source is at one eighth) so that mixing stays below saturation.
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=500:r=44100:d=2", "-af",
                              "volume=4,pan=stereo|c0=c0|c1=c0", path("tone.wav")}));
    AudioMixerPlayer::instance().open(2, 44100, 2, false);
}

void TestDecodingTasks::decodersFollowTheLatestRequest()
{
    VideoTaskManager manager;
    VideoFrameData r;
    r.decodeMask = DECODE_CURRENT;
    r.current = source(path("a.mp4"), 12);
    QList<VFrameInfo> got = manager.fetch(r);
    QCOMPARE(got.size(), 3);
    QVERIFY(got[0].frame);
    QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width, got[0].frame->height,
                                    got[0].frame->stride),
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
    QCOMPARE(fixtures::frameIndexOf(got[0].frame->data(), got[0].frame->width, got[0].frame->height,
                                    got[0].frame->stride),
             3);
    r.decodeMask = 0; // nothing asked: every decoder closes
    manager.fetch(r);
    QCOMPARE(VideoDecoderTask::liveCount(), live - 1);
}

void TestDecodingTasks::oneFileServesBothSidesOfATransition()
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

void TestDecodingTasks::theSameFileTwiceGetsTwoTasks()
{
    AudioTaskManager manager;
    AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
    AudioFrameData a;
    a.path = path("tone.wav");
    a.position = ff::Rational(3, 30);
    a.volume = 64;
    AudioFrameData b = a;
    b.position = ff::Rational(3, 30);
    mixer.begin(3, 1, 30);
    QList<AudioFrameData> list{a};
    manager.decode(list);
    mixer.finish();
    const int live = AudioDecoderTask::liveCount();
    a.position = b.position = ff::Rational(4, 30);
    mixer.begin(4, 1, 30);
    list = {a, b};
    manager.decode(list);
    const ff::PcmPtr pcm = mixer.finish();
    QCOMPARE(manager.paths(), QStringList({path("tone.wav"), path("tone.wav")}));
    QCOMPARE(AudioDecoderTask::liveCount(), live + 1);
    // Two half-volume copies of the same sound add up to the full level.
    QVERIFY2(std::abs(peak(*pcm) - 16384) < 500, qPrintable(QString::number(peak(*pcm))));
}

QTEST_GUILESS_MAIN(TestDecodingTasks)
#include "tst_decodingtasks.moc"
