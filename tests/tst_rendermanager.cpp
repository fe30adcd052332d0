// Render manager: start-up (device, programs, scene, render loop), scene size
// changes, media probing and the routing of frame answers.
#include "render/RenderManager.h"
#include "render/RenderThread.h"
#include "render/TimelineReader.h"
#include "render/preview/PreviewLayers.h"
#include "support/MediaFixtures.h"

#include "graphics/GsDevice.h"
#include "graphics/GsScene.h"

#include <QGuiApplication>
#include <QtTest>

class TestRenderManager : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void newSceneArrivesBeforeTheSize();
    void probingAdoptsTheFirstVideoSizeUnlessFixed();
    void playbackEndsAtTheLastFrame_data();
    void playbackEndsAtTheLastFrame();
    void userActionsStopPlayback();

private:
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
};

void TestRenderManager::initTestCase()
{
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x360:d=1", "-pix_fmt", "yuv420p",
                              m_dir.filePath("wide.mp4")}));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", m_dir.filePath("tone.wav")}));
    m_rm = new RenderManager;
    QVERIFY(m_rm->init());
}

void TestRenderManager::cleanupTestCase()
{
    delete m_rm;
    QVERIFY(!GsDevice::DefaultDevice()); // it made the device, it frees it
}

void TestRenderManager::newSceneArrivesBeforeTheSize()
{
    QStringList order;
    GsScene *sent = nullptr;
    auto a = connect(m_rm, &RenderManager::sig_sendScene, [&](GsScene *s) {
        order << "scene";
        sent = s;
    });
    auto b = connect(m_rm, &RenderManager::sig_updateSceneSize, [&] { order << "size"; });
    m_rm->setSceneSize(1280, 720, true);
    QCOMPARE(order, QStringList({"scene", "size"}));
    QCOMPARE(sent, m_rm->scene());
    QCOMPARE(sent->width(), 1280u);
    QSignalSpy answered(m_rm, &RenderManager::sig_sendScene);
    emit m_rm->sig_queryScene();
    QCOMPARE(answered.size(), 1); // answered at once
    disconnect(a);
    disconnect(b);

    // The track layers live once in the scene: a view asking for the scene again
    // leaves them alone; a new scene gets its own.
    TrackFrame video, words;
    video.track = QStringLiteral("track-v");
    words.track = QStringLiteral("track-s");
    words.subtitleTrack = true;
    m_rm->layers()->slot_trackFrames({video, words});
    QCOMPARE(m_rm->scene()->itemCount(), size_t(3)); // the video layer, its companion, the words
    emit m_rm->sig_queryScene();
    emit m_rm->sig_queryScene();
    QCOMPARE(m_rm->scene()->itemCount(), size_t(3));
    m_rm->setSceneSize(640, 360, true);
    QCOMPARE(m_rm->scene()->itemCount(), size_t(3));
    m_rm->layers()->slot_trackFrames({});
    QCOMPARE(m_rm->scene()->itemCount(), size_t(0));
}

void TestRenderManager::probingAdoptsTheFirstVideoSizeUnlessFixed()
{
    m_rm->setSceneSize(1920, 1080, true);
    bg::ValueMap info = m_rm->probeMedia(m_dir.filePath("wide.mp4"), true);
    QVERIFY(info.at("valid").toBool());
    QCOMPARE(info.at("width").toInt32(), 640);
    QCOMPARE(m_rm->sceneWidth(), 1920u); // fixed: unchanged
    m_rm->setSceneSize(1920, 1080, false);
    m_rm->probeMedia(m_dir.filePath("wide.mp4"), true);
    QCOMPARE(m_rm->sceneWidth(), 640u);
    info = m_rm->probeMedia(m_dir.filePath("tone.wav"), true);
    QVERIFY(info.at("valid").toBool());
    QCOMPARE(info.at("width").toInt32(), 0);
    QCOMPARE(m_rm->sceneWidth(), 640u); // sound never resizes
    info = m_rm->probeMedia(m_dir.filePath("nothing.mp4"), true);
    QVERIFY(!info.at("valid").toBool());
    QCOMPARE(info.size(), size_t(1));
}

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

void TestRenderManager::playbackEndsAtTheLastFrame_data()
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

void TestRenderManager::playbackEndsAtTheLastFrame()
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
    m_rm->slot_playheadMoved(playhead);
    QSignalSpy played(m_rm, &RenderManager::sig_framePlayed);
    QSignalSpy ended(m_rm, &RenderManager::sig_controlPlay);
    m_rm->setPlaying(true);
    if (seekTo >= 0 || shortenTo >= 0) {
        QTRY_VERIFY(!played.isEmpty());
        if (seekTo >= 0)
            m_rm->slot_playheadMoved(seekTo - 1);
        else
            feed->publish(std::make_shared<SilentTimeline>(shortenTo));
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
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
    m_rm->setPlaying(false);
    m_rm->setTimeline(nullptr);
}

void TestRenderManager::userActionsStopPlayback()
{
    QSignalSpy stop(m_rm, &RenderManager::sig_controlPlay);
    m_rm->slot_opertorUi(true, true);
    QCOMPARE(stop.size(), 0); // nothing plays
    m_rm->setPlaying(true);
    m_rm->slot_opertorUi(false, true);
    QCOMPARE(stop.size(), 0);
    m_rm->slot_opertorUi(true, false);
    QCOMPARE(stop.size(), 1);
    m_rm->setPlaying(false);
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestRenderManager test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rendermanager.moc"
