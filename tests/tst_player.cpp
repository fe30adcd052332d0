// Playback: the audio-clocked player shows the frame being heard, stops at the end,
// and what reaches the output is the clips' sound at their volumes.
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "render/player/PlaybackClock.h"
#include "render/player/PlayerManager.h"
#include "support/HeardTone.h"
#include "support/MediaFixtures.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsScene.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelinePublisher.h"

#include "undo/UndoController.h"

#include <QtTest>

#include <csignal>

class TestPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=f=750:r=44100:d=3", "-af",
                                  "volume=4,pan=stereo|c0=c0|c1=c0", path("tone.wav")}));
    }
    void init()
    {
        m_rm = new RenderManager; // the player's managers; no graphics needed here
        PlayerManager *player = new PlayerManager(m_rm);
        m_scene = new TimeLineGraphicsScene;
        m_model = new TimelineDocument;
        m_model->buildGroups();
        m_view = new TimeLineGraphicsView(m_scene, m_model);
        // The wiring of the editor: the player reads the timeline's published state and
        // the view's playhead follows the frame played.
        player->setTimeline(m_model->publisher()->feed());
        connect(player, &PlayerManager::sig_framePlayed, m_view->transport(), &Transport::played);
        connect(player, &PlayerManager::sig_controlPlay, player,
                [player] { player->setPlaying(false); });
        m_rm->setProperty("player", QVariant::fromValue<QObject *>(player));
    }
    void cleanup()
    {
        delete m_rm; // stops any player thread
        m_model->clearAll();
        zua::UndoController::instance()->reset();
        delete m_view;
        delete m_model;
        delete m_scene;
    }
    void heardFrameIsBehindByTheQueuedSound_data()
    {
        QTest::addColumn<qint64>("endFrame");
        QTest::addColumn<qint64>("queuedUs");
        QTest::addColumn<qint64>("sinceUs");
        QTest::addColumn<qint64>("heard");
        // Frame 10 ends at 333,333 us.
        QTest::newRow("nothing queued: the last frame written") << 10LL << 0LL << 0LL << 9LL;
        QTest::newRow("one frame queued") << 10LL << 33334LL << 0LL << 8LL;
        QTest::newRow("just under one frame queued") << 10LL << 33000LL << 0LL << 9LL;
        QTest::newRow("99 ms queued") << 10LL << 99000LL << 0LL << 7LL;
        QTest::newRow("99 ms queued, 40 ms later") << 10LL << 99000LL << 40000LL << 8LL;
        QTest::newRow("never past what was written") << 10LL << 20000LL << 500000LL << 9LL;
        QTest::newRow("before the start") << 1LL << 99000LL << 0LL << -2LL;
    }
    void heardFrameIsBehindByTheQueuedSound()
    {
        QFETCH(qint64, endFrame);
        QFETCH(qint64, queuedUs);
        QFETCH(qint64, sinceUs);
        QFETCH(qint64, heard);
        QCOMPARE(qint64(PlaybackClock::heardFrameFor(endFrame, 30, queuedUs, sinceUs)), heard);
        PlaybackClock clock;
        QCOMPARE(clock.heardFrame(1000), int64_t(-1)); // nothing published
        clock.publish(endFrame, 30, queuedUs, 1000);
        QCOMPARE(qint64(clock.heardFrame(1000 + sinceUs)), std::max<qint64>(0, heard));
        clock.reset();
        QCOMPARE(clock.heardFrame(1000 + sinceUs), int64_t(-1));
    }
    void stopsAtTheEnd()
    {
        auto *player = qobject_cast<PlayerManager *>(m_rm->property("player").value<QObject *>());
        SourceItem *clip =
            m_model->createClip(m_model->group(CT_AUDIO), CT_AUDIO, path("tone.wav"), 0);
        QVERIFY(clip);
        // Trim it to 12 frames: the timeline ends there.
        clip->setValue("source", SourceData::sourceValue(clip->track, 0, 12, 0), false, true);
        m_view->updateSceneWidth();
        player->setPlaying(true);
        QTRY_VERIFY_WITH_TIMEOUT(!player->isPlaying(), 10000);
        QCOMPARE(m_view->playheadFrame(), int64_t(11)); // the last frame of the timeline
    }
    void mixedSoundReachesTheOutput_data()
    {
        // Where users put music: at the start, moved later and trimmed, or the second
        // clip of its track; its sound is heard wherever it sits.
        QTest::addColumn<int>("at");      // timeline frame
        QTest::addColumn<int>("inPoint"); // frames into the file
        QTest::addColumn<bool>("second"); // a clip of silence before it on the track
        QTest::newRow("at the start") << 0 << 0 << false;
        QTest::newRow("moved to 1 s and trimmed") << 30 << 15 << false;
        QTest::newRow("second on its track") << 20 << 10 << true;
    }
    void mixedSoundReachesTheOutput()
    {
        QFETCH(int, at);
        QFETCH(int, inPoint);
        QFETCH(bool, second);
        if (qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH"))
            QSKIP("needs the private sound server of with_pulse.sh");
        auto *player = qobject_cast<PlayerManager *>(m_rm->property("player").value<QObject *>());
        ClassifyItem *track = m_model->group(CT_AUDIO);
        if (second) {
            QVERIFY(fixtures::ffmpeg(
                {"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "1", path("quiet.wav")}));
            SourceItem *quiet = m_model->createClip(track, CT_AUDIO, path("quiet.wav"), 0);
            quiet->setValue("source", SourceData::sourceValue(track, 0, at, 0), false, true);
        }
        SourceItem *clip = m_model->createClip(track, CT_AUDIO, path("tone.wav"), at);
        QVERIFY(clip);
        clip->setValue("source", SourceData::sourceValue(track, at, 60, inPoint), false, true);
        QCOMPARE(clip->start(), int64_t(at));
        QCOMPARE(clip->offset(), int64_t(inPoint));
        QCOMPARE(track->clips().size(), second ? 2 : 1);
        clip->setValue("volume", bg::Value(int32_t(64)), false, true); // half
        QTemporaryDir dir;
        QProcess recorder;
        recorder.setStandardOutputFile(dir.filePath("heard.raw"));
        recorder.start("parec", {"--latency-msec=20", "-d", "vsink.monitor", "--raw",
                                 "--format=s16le", "--rate=44100", "--channels=2"});
        QVERIFY(recorder.waitForStarted());
        // Connected before anything plays: the monitor's silence is arriving.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath("heard.raw")).size() > 0, 5000);
        player->setPlaying(true);
        // The clip is heard to its last frame (frame 59 of 60).
        QTRY_VERIFY_WITH_TIMEOUT(m_view->playheadFrame() >= at + 59, 15000);
        player->setPlaying(false);
        ::kill(pid_t(recorder.processId()), SIGINT);
        recorder.waitForFinished(5000);
        QFile raw(dir.filePath("heard.raw"));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        const fixtures::HeardTone tone = fixtures::heardTone(bytes, 2000);
        QVERIFY2(tone.heard, "nothing was heard");
        QVERIFY2(std::abs(tone.peak - 8192) < 400, qPrintable(QString::number(tone.peak))); // half
        QVERIFY2(tone.seconds > 0.5, qPrintable(QString::number(tone.seconds)));
        QVERIFY2(std::abs(tone.pitch - 750) < 5, qPrintable(QString::number(tone.pitch)));
    }

private:
    QString path(const char *name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    TimeLineGraphicsScene *m_scene = nullptr;
    TimelineDocument *m_model = nullptr;
    TimeLineGraphicsView *m_view = nullptr;
};

QTEST_MAIN(TestPlayer)

#include "tst_player.moc"
