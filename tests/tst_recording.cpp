// Voice-over recording as the editor wires it, over a private sound server whose
// default input is a 440 Hz sine source: the Dub button records onto a free dub row,
// the clip is as long as the WAV it plays, a second take goes to a new dub track as
// one undoable step with it, and without a microphone, a server or a writable folder
// the user is told and nothing is left behind.
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "render/record/RecordManager.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/WavFile.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"
#include "timeline/ToolBarWidget.h"
#include "timeline/TrackRows.h"

#include "audio/WASAPISource.h"
#include "bridge/UserSettings.h"
#include "undo/UndoController.h"

#include "support/EnglishTestMain.h"
#include "support/SoundServer.h"
#include <QPushButton>

#include <QtTest>

namespace {} // namespace

class TestRecording : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerRenderMetaTypes();
        m_sine = fixtures::loadSineSource("voice", 440);
        QVERIFY2(!m_sine.isEmpty(), "no sound server: run this test through with_pulse.sh");
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box.text;
            return 0;
        });
    }
    void init()
    {
        fixtures::pactl({"set-default-source", "voice"});
        bg::UserSettings::instance().set("mic.dir", m_dir.filePath("takes").toStdString());
        bg::UserSettings::instance().set("DeviceId", "default");
        m_boxes.clear();
        zua::UndoController::instance()->reset();
        m_render = new RenderManager;
        m_record = new RecordManager(m_render->transport(), m_render);
        m_panel = new TimeLineWidget;
        m_bar = new ToolBarWidget;
        // The editor's wiring of the Dub button, the recorder and the timeline.
        m_bar->setTransport(m_render->transport());
        m_panel->setTransport(m_render->transport());
        // The editor tells a take's problems in a message box.
        connect(m_record, &RecordManager::sig_recordProblem, m_render, [](const QString &text) {
            MessageBox::inform(nullptr, ZKEY("pre_form.RecordHint"), text, ZKEY("pre_form.Ok"));
        });
        connect(m_record, &RecordManager::sig_audioSourceItem, m_panel->view(),
                &TimeLineGraphicsView::slot_audioSourceItem);
        connect(m_record, &RecordManager::sig_frameRequest, m_panel->view(),
                &TimeLineGraphicsView::slot_frontFrameRequest);
        m_panel->resize(1000, 400);
        m_panel->show();
    }
    void cleanup()
    {
        m_render->transport()->stop(true, true);
        m_panel->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_bar;
        delete m_panel;
        delete m_render;
    }
    void takesBecomeDubClipsOnFreeRows()
    {
        TimeLineGraphicsView *view = m_panel->view();
        ClassifyItem *dub = m_panel->model()->group(CT_DUB);
        pressDub();
        QVERIFY(m_record->isRecording());
        QVERIFY(view->isRecording());
        // The playhead runs with the clock and the red bar grows behind it on the dub row.
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() > 60, 20000);
        QCOMPARE(view->recordingBar().top(), trackrows::top(dub));
        QCOMPARE(view->recordingBar().right(), view->playhead());
        pressDub();
        QVERIFY(!dubDown());
        QVERIFY(!view->isRecording());
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        QCOMPARE(dub->clips().size(), 1);
        SourceItem *first = dub->clips().first();
        QCOMPARE(first->start(), int64_t(0));
        // The clip is as long as its file, which holds the tone as the device gave it.
        const fixtures::WavFile w = fixtures::readWav(first->path);
        QVERIFY(w.ok);
        QCOMPARE(qint64(w.dataSize), qint64(w.bytes.size() - (w.formatSize + 28)));
        // (Lengths are truncated to frames: 4.000 s may count as 119.)
        QVERIFY2(std::abs(double(first->duration()) - std::floor(w.seconds() * 30)) <= 1.0,
                 qPrintable(QString("%1 frames, %2 s").arg(first->duration()).arg(w.seconds())));
        QVERIFY2(w.seconds() > 1.5, qPrintable(QString::number(w.seconds())));
        QVERIFY2(std::abs(w.pitch() - 440) < 5, qPrintable(QString::number(w.pitch())));
        QVERIFY(w.rms(w.first.size() / 4, w.first.size()) > 0.3);
        // Clock ticks still queued when the take ended (its thread is gone, so none
        // comes later) change nothing.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(view->playheadFrame(), first->start() + first->duration()); // ready for the next

        // A second take from the start: the row is taken, so a new dub track is made.
        view->slot_resetFrame(0, EDIT_NONE, true);
        pressDub();
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() > 30, 20000);
        pressDub();
        QCOMPARE(dub->childCount(), 1);
        QCOMPARE(dub->child(0)->clips().size(), 1);
        SourceItem *second = dub->child(0)->clips().first();
        QVERIFY(second->path != first->path);
        // Takes are named by their time, the clip by its file name, the path in its tooltip.
        for (SourceItem *take : {first, second}) {
            QVERIFY2(take->label().startsWith("Voice-over ") && take->label().endsWith(".wav"),
                     qPrintable(take->label()));
            QCOMPARE(take->label(), QFileInfo(take->path).fileName());
            QCOMPARE(take->toolTip(), QDir::toNativeSeparators(take->path));
        }
        // A take never gets the name of a file already there.
        const QString taken = RecordManager::takeFileName(m_dir.path());
        QVERIFY(!fixtures::writeFile(taken, {}).isEmpty());
        const QString next = RecordManager::takeFileName(m_dir.path());
        QVERIFY(next != taken && !QFileInfo::exists(next));
        QCOMPARE(QDir(m_dir.filePath("takes")).entryList({"*.wav"}).size(), 2);
        // Undo takes the take and its track away at once; the first take stays.
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(dub->childCount(), 0);
        QCOMPARE(dub->clips().size(), 1);
        QVERIFY(zua::UndoController::instance()->undo());
        QCOMPARE(dub->clips().size(), 0);
    }
    void failuresAreReportedAndLeaveNothing_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::newRow("no microphone") << "monitor"
                                       << "No mic was detected";
        QTest::newRow("no sound server") << "server"
                                         << "No mic was detected";
        QTest::newRow("folder not writable") << "folder"
                                             << "Recordings cannot be saved";
    }
    void failuresAreReportedAndLeaveNothing()
    {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        std::unique_ptr<fixtures::NoServer> noServer;
        if (failure == "monitor") // the output's monitor is all there is
            fixtures::pactl({"set-default-source", "vsink.monitor"});
        else if (failure == "server")
            noServer = std::make_unique<fixtures::NoServer>();
        else
            bg::UserSettings::instance().set("mic.dir", "/proc/zua-takes");
        const auto takes = [this] { return QDir(m_dir.filePath("takes")).entryList({"*.wav"}); };
        const QStringList before = takes();
        pressDub();
        QTRY_VERIFY_WITH_TIMEOUT(!dubDown(), 5000); // the button comes up by itself
        noServer.reset();
        QVERIFY(!m_record->isRecording());
        QVERIFY(!m_panel->view()->isRecording());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(message), qPrintable(m_boxes[0]));
        QCOMPARE(m_panel->model()->group(CT_DUB)->clips().size(), 0);
        QCOMPARE(takes(), before);
    }
    void anUnpluggedMicrophonePausesTheTake_data()
    {
        QTest::addColumn<QString>("setting"); // the microphone chosen in Settings
        QTest::newRow("a chosen microphone") << "plugged";
        // Unplugged, the default moves to another source (the 440 Hz one here, a
        // laptop's own microphone in life): the take must not go on with it.
        QTest::newRow("the default microphone") << "default";
    }
    void anUnpluggedMicrophonePausesTheTake()
    {
        QFETCH(QString, setting);
        QString module = fixtures::loadSineSource("plugged", 330);
        QVERIFY(!module.isEmpty());
        fixtures::pactl({"set-default-source", "plugged"});
        bg::UserSettings::instance().set("DeviceId", setting.toStdString());
        QSignalSpy paused(m_record, &RecordManager::sig_recordPaused);
        TimeLineGraphicsView *view = m_panel->view();
        const int takesBefore = QDir(m_dir.filePath("takes")).entryList({"*.wav"}).size();
        pressDub();
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() > 30, 20000);
        fixtures::pactl({"unload-module", module});
        QTRY_VERIFY_WITH_TIMEOUT(!paused.isEmpty() && paused.last()[0].toBool(), 3000);
        // Away: the take waits (the playhead stands still) and goes on.
        QVERIFY(m_record->isRecording());
        QVERIFY(dubDown());
        QTest::qWait(300);
        const int64_t standing = view->playheadFrame();
        QTest::qWait(1000);
        QCOMPARE(view->playheadFrame(), standing);
        QVERIFY(m_boxes.isEmpty());
        // Back: the same take goes on into the same file.
        module = fixtures::loadSineSource("plugged", 330);
        QTRY_VERIFY_WITH_TIMEOUT(!paused.last()[0].toBool(), WASAPISource::kRetryMs + 3000);
        QTRY_VERIFY_WITH_TIMEOUT(view->playheadFrame() > standing + 20, 20000);
        pressDub();
        fixtures::pactl({"unload-module", module});
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
        ClassifyItem *dub = m_panel->model()->group(CT_DUB);
        QCOMPARE(dub->clips().size(), 1);
        QCOMPARE(QDir(m_dir.filePath("takes")).entryList({"*.wav"}).size(), takesBefore + 1);
        const fixtures::WavFile w = fixtures::readWav(dub->clips().first()->path);
        QVERIFY(w.ok);
        QVERIFY2(std::abs(w.pitch() - 330) < 5, qPrintable(QString::number(w.pitch())));
    }
    void aFullDiskEndsTheTakeAndKeepsIt()
    {
        // Room for about a second of sound: the take ends by itself, says why, and what
        // was recorded becomes a clip.
        pressDub();
        QTRY_VERIFY_WITH_TIMEOUT(m_panel->view()->playheadFrame() > 3, 3000);
        {
            fixtures::FullDisk full(200 * 1024);
            QTRY_VERIFY_WITH_TIMEOUT(!dubDown(), 15000);
        }
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith("The disk is full"), qPrintable(m_boxes[0]));
        ClassifyItem *dub = m_panel->model()->group(CT_DUB);
        QCOMPARE(dub->clips().size(), 1);
        const fixtures::WavFile w = fixtures::readWav(dub->clips().first()->path);
        QVERIFY(w.ok);
        QCOMPARE(qint64(w.dataSize), qint64(w.bytes.size() - (w.formatSize + 28)));
        QVERIFY2(w.seconds() > 0.2, qPrintable(QString::number(w.seconds())));
    }

private:
    // Presses the Dub button (down, or up again).
    void pressDub() { m_bar->findChild<QPushButton *>("pushButton_audio")->click(); }
    bool dubDown() const
    {
        return m_bar->findChild<QPushButton *>("pushButton_audio")->isChecked();
    }
    QTemporaryDir m_dir;
    QString m_sine;
    RenderManager *m_render = nullptr;
    RecordManager *m_record = nullptr; // a child of m_render
    TimeLineWidget *m_panel = nullptr;
    ToolBarWidget *m_bar = nullptr;
    QStringList m_boxes;
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestRecording)
#include "tst_recording.moc"
