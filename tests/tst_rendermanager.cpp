// Render manager: start-up (device, programs, scene, render loop), scene size
// changes, media probing and the routing of frame answers.
#include "render/RenderManager.h"
#include "render/RenderThread.h"
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
    void startUpBuildsEverything();
    void newSceneArrivesBeforeTheSize();
    void probingAdoptsTheFirstVideoSizeUnlessFixed();
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

void TestRenderManager::startUpBuildsEverything()
{
    // Every transition program compiles on this driver, and the 40 ms loop runs.
    for (const char *name : {"clip_banding", "trans_move", "rgba_base", "rgba_subtitle"})
        QVERIFY2(GsDevice::DefaultDevice()->HasShader(name), name);
    QTRY_VERIFY(m_rm->renderThread()->ticks() >= 3);
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

void TestRenderManager::playbackEndsAtTheLastFrame()
{
    const QList<AudioFrameData> list;
    m_rm->setPlaying(true);
    QSignalSpy ended(m_rm, &RenderManager::sig_controlPlay);
    m_rm->onAudioAnswer(list, 5, 30, 100, EDIT_PLAY);
    QCOMPARE(ended.size(), 0);
    m_rm->onAudioAnswer(list, 100, 30, 100, EDIT_PLAY);
    QCOMPARE(ended.size(), 1);
    m_rm->setPlaying(false);
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
