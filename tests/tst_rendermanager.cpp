// Render manager: a fixed project size stays when a video arrives, playback ends at
// the last frame, and user actions stop it.
#include "render/MediaProbe.h"
#include "render/RenderManager.h"
#include "render/TimelineReader.h"
#include "render/Transport.h"
#include "render/player/PlayerManager.h"
#include "support/MediaFixtures.h"

#include "graphics/GsDevice.h"

#include <QtTest>

namespace {
// A timeline of silence `frames` long.
class SilentTimeline : public TimelineReader {
public:
    explicit SilentTimeline(int64_t frames) : m_frames(frames) {}
    QList<TrackFrame> frameAt(int64_t) const override { return {}; }
    QList<AudioFrameData> audioAt(int64_t, int64_t) const override { return {}; }
    int64_t lastFrame() const override { return m_frames - 1; }

private:
    int64_t m_frames;
};

QList<int64_t> framesOf(const QSignalSpy &played)
{
    QList<int64_t> frames;
    for (const QList<QVariant> &args : played)
        frames << args.at(0).value<int64_t>();
    return frames;
}
} // namespace

class TestRenderManager : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:d=1", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("wide.mp4")}));
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", m_dir.filePath("tone.wav")}));
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
    }
    void aFixedSizeStaysWhenAVideoArrives()
    {
        const bg::ValueMap wide = probeMediaFile(m_dir.filePath("wide.mp4"));
        QCOMPARE(wide.at("width").toInt32(), 640);
        m_rm->setSceneSize(1920, 1080, true);
        m_rm->adoptVideoSize(wide);
        QCOMPARE(m_rm->sceneWidth(), 1920u);
        m_rm->setSceneSize(1920, 1080, false); // not fixed: the first video gives the size
        m_rm->adoptVideoSize(wide);
        QCOMPARE(m_rm->sceneWidth(), 640u);
    }
    void cleanupTestCase()
    {
        delete m_rm;
        QVERIFY(!GsDevice::DefaultDevice()); // it made the device, it frees it
    }
    void playbackEndsAtTheLastFrame_data()
    {
        // Playback plays from the frame after the playhead to the timeline's last frame;
        // a move of the playhead while playing goes on from there; an edit that
        // shortens the timeline while playing ends it at its new end.
        QTest::addColumn<qint64>("playhead");
        QTest::addColumn<qint64>("seekTo");    // -1: no move
        QTest::addColumn<qint64>("shortenTo"); // -1: no edit
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("last");
        QTest::newRow("from the playhead to the end") << 3LL << -1LL << -1LL << 4LL << 19LL;
        QTest::newRow("moved while playing") << 0LL << 60LL << -1LL << 1LL << 79LL;
        QTest::newRow("shortened while playing") << 0LL << -1LL << 10LL << 1LL << 9LL;
    }
    void playbackEndsAtTheLastFrame()
    {
        QFETCH(qint64, playhead);
        QFETCH(qint64, seekTo);
        QFETCH(qint64, shortenTo);
        QFETCH(qint64, first);
        QFETCH(qint64, last);
        auto feed = std::make_shared<TimelineFeed>();
        // 20 frames; the seek row plays a longer one and moves past its 20th frame.
        feed->publish(std::make_shared<SilentTimeline>(seekTo >= 0 ? 80 : 20));
        m_rm->setTimeline(feed);
        Transport *transport = m_rm->transport();
        transport->seek(playhead);
        QSignalSpy played(m_rm->playerManager(), &PlayerManager::sig_framePlayed);
        QSignalSpy ended(m_rm->playerManager(), &PlayerManager::sig_controlPlay);
        transport->play();
        if (seekTo >= 0 || shortenTo >= 0) {
            QTRY_VERIFY(!played.isEmpty());
            if (seekTo >= 0)
                transport->seek(seekTo - 1);
            else
                feed->publish(std::make_shared<SilentTimeline>(shortenTo));
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
        QVERIFY(!transport->isPlaying()); // the end pauses the transport
        QCOMPARE(transport->playhead(), int64_t(last));
        QTest::qWait(100);
        QCOMPARE(ended.size(), 1);
        const QList<int64_t> frames = framesOf(played);
        QCOMPARE(frames.first(), int64_t(first));
        QCOMPARE(frames.last(), int64_t(last));
        // Every frame once, in order, but for the move.
        for (int i = 1; i < frames.size(); ++i)
            if (frames[i] != frames[i - 1] + 1)
                QCOMPARE(frames[i], int64_t(seekTo));
        if (seekTo >= 0)
            QVERIFY(frames.contains(seekTo) && !frames.contains(seekTo - 20));
        transport->pause();
        m_rm->setTimeline(nullptr);
    }
    void transportStates_data()
    {
        // Actions from a paused transport at frame 10; what it then does and says, and
        // whether the player plays.
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<qint64>("playhead");
        QTest::addColumn<int>("told"); // changes of playing or recording told
        QTest::newRow("play") << "play" << true << false << qint64(10) << 1;
        QTest::newRow("play twice tells once") << "play play" << true << false << qint64(10) << 1;
        QTest::newRow("toggle twice") << "toggle toggle" << false << false << qint64(10) << 2;
        QTest::newRow("recording pauses playback first")
            << "play record" << false << true << qint64(10) << 3;
        QTest::newRow("no playing while a take is recorded")
            << "record play" << false << true << qint64(10) << 1;
        QTest::newRow("the play key ends the take")
            << "record toggle" << false << false << qint64(10) << 2;
        QTest::newRow("a seek keeps playing") << "play seek" << true << false << qint64(40) << 1;
        QTest::newRow("a seek before the start stops at 0")
            << "back" << false << false << qint64(0) << 0;
        QTest::newRow("stop both") << "record stop" << false << false << qint64(10) << 2;
        QTest::newRow("ending no take keeps playing")
            << "play endtake" << true << false << qint64(10) << 1;
        QTest::newRow("stop playing") << "play stopplay" << false << false << qint64(10) << 2;
    }
    void transportStates()
    {
        QFETCH(QString, actions);
        QFETCH(bool, playing);
        QFETCH(bool, recording);
        QFETCH(qint64, playhead);
        QFETCH(int, told);
        auto feed = std::make_shared<TimelineFeed>();
        feed->publish(std::make_shared<SilentTimeline>(600));
        m_rm->setTimeline(feed);
        Transport &transport = *m_rm->transport();
        transport.stop(true, true);
        transport.seek(10);
        QSignalSpy plays(&transport, &Transport::sig_playingChanged);
        QSignalSpy takes(&transport, &Transport::sig_recordingChanged);
        QSignalSpy moves(&transport, &Transport::sig_playheadMoved);
        for (const QString &a : actions.split(' ')) {
            if (a == "play")
                transport.play();
            else if (a == "toggle")
                transport.togglePlay();
            else if (a == "record")
                transport.setRecording(true);
            else if (a == "seek")
                transport.seek(40);
            else if (a == "back")
                transport.seek(-5);
            else if (a == "stop")
                transport.stop(true, true);
            else if (a == "endtake")
                transport.stop(false, true);
            else if (a == "stopplay")
                transport.stop(true, false);
        }
        QCOMPARE(m_rm->playerManager()->isPlaying(), playing);
        QCOMPARE(transport.isPlaying(), playing);
        QCOMPARE(transport.isRecording(), recording);
        QCOMPARE(transport.playhead(), int64_t(playhead));
        QCOMPARE(plays.size() + takes.size(), told);
        // The last state told is the state it has; every move was a seek.
        QVERIFY(plays.isEmpty() || plays.last().at(0).toBool() == playing);
        QVERIFY(takes.isEmpty() || takes.last().at(0).toBool() == recording);
        QVERIFY(std::none_of(moves.begin(), moves.end(),
                             [](const QList<QVariant> &m) { return m.at(1).toBool(); }));
        transport.stop(true, true);
        m_rm->setTimeline(nullptr);
    }

private:
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
};

QTEST_MAIN(TestRenderManager)

#include "tst_rendermanager.moc"
