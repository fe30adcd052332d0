// Export through the real path: the timeline answers the export's frame requests,
// the preview items decode and compose on the picture thread, the movie writer
// encodes. Every file is checked with ffprobe and decoded back with ffmpeg.
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "main/ExportProcessDialog.h"
#include "main/ExportRun.h"
#include "main/TimelineWiring.h"
#include "render/RenderManager.h"
#include "render/Transport.h"
#include "render/compose/PreviewLayers.h"
#include "render/export/ExportManager.h"
#include "render/export/MVParams.h"
#include "support/Exporting.h"
#include "support/Files.h"
#include "support/HeardTone.h"
#include "support/MediaFixtures.h"
#include "support/Probe.h"
#include "support/SceneGrab.h"
#include "timeline/SourceItem.h"
#include "timeline/TimeLineGraphicsView.h"
#include "timeline/TimeLineWidget.h"
#include "timeline/TimelineDocument.h"

#include "support/EnglishTestMain.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QtTest>

#include <sys/stat.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>

namespace {

using fixtures::decode;
using fixtures::number;
using fixtures::probe;
using fixtures::streamOf;

// The mean colour of the picture at `seconds`, over a box (x, y, w, h) of a w×h frame.
QColor meanColour(const QString &path, double seconds, int width, int height, QRect box)
{
    const QByteArray rgb = decode(path, {"-ss", QString::number(seconds), "-frames:v", "1", "-f",
                                         "rawvideo", "-pix_fmt", "rgb24"});
    if (rgb.size() != width * height * 3)
        return QColor();
    int64_t sum[3] = {0, 0, 0};
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += uint8_t(rgb[(y * width + x) * 3 + c]);
    const int64_t n = int64_t(box.width()) * box.height();
    return QColor(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n));
}

// The file's permission bits, as ls shows them.
int modeOf(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ::umask(027); // a new export is then readable by its owner's group, not by others
        registerRenderMetaTypes();
        // A red picture with a 440 Hz tone for 2 s, music at 880 Hz for 3 s.
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=320x240:r=30:d=2", "-f",
                                  "lavfi", "-i", "sine=frequency=440:duration=2", "-pix_fmt",
                                  "yuv420p", "-shortest", m_dir.filePath("red.mp4")}));
        QVERIFY(fixtures::ffmpeg(
            {"-f", "lavfi", "-i", "sine=frequency=880:duration=3", m_dir.filePath("music.wav")}));
        MessageBox::setAnswerHook([this](const MessageSpec &box) {
            m_boxes << box;
            return 0;
        });
        m_rm = new RenderManager;
        QVERIFY(m_rm->init());
        m_export = fixtures::exporterOf(m_rm);
        m_rm->setSceneSize(320, 240, true);
        m_export->manager()->setRevealWritten(false);
    }
    void cleanupTestCase() { delete m_rm; }
    void init()
    {
        zua::UndoController::instance()->reset();
        m_boxes.clear();
        m_timeline = new TimeLineWidget;
        // The editor's wiring between the render manager and the timeline.
        wireTimeline(m_rm, m_timeline, m_export);
        connect(m_timeline->view(), &TimeLineGraphicsView::sig_trackFrames, m_rm->layers(),
                &PreviewLayers::slot_trackFrames);
    }
    void cleanup()
    {
        m_timeline->model()->clearAll();
        zua::UndoController::instance()->reset();
        delete m_timeline;
    }

    void moviesHoldEveryFrameAndTheSound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("video");
        QTest::addColumn<QString>("audio");
        QTest::newRow("mp4") << "out.mp4"
                             << "h264"
                             << "aac";
        QTest::newRow("avi") << "out.avi"
                             << "mpeg4"
                             << "mp3";
    }
    void moviesHoldEveryFrameAndTheSound()
    {
        QFETCH(QString, name);
        QFETCH(QString, video);
        QFETCH(QString, audio);
        QVERIFY(add(CT_VIDEO, "red.mp4", 0));   // frames 0..59
        QVERIFY(add(CT_AUDIO, "music.wav", 0)); // frames 0..89: the timeline's end
        QSignalSpy progress(m_export->manager(), &ExportManager::sig_processUpdate);
        const MVParams p = params(name);
        m_rm->transport()->setRecording(true); // a take under way ends first
        QCOMPARE(m_export->exportMovie(p), int(ExportManager::Result::Written));
        QVERIFY(!m_rm->transport()->isRecording());
        QCOMPARE(progress.last().at(0).toInt(), 89);
        QCOMPARE(progress.last().at(1).toInt(), 89);

        const QJsonObject info = probe(p.path);
        const QJsonObject v = streamOf(info, "video"), a = streamOf(info, "audio");
        QCOMPARE(v["codec_name"].toString(), video);
        QCOMPARE(modeOf(p.path), 0640);
        QCOMPARE(a["codec_name"].toString(), audio);
        QCOMPARE(v["width"].toInt(), 320);
        QCOMPARE(v["height"].toInt(), 240);
        QCOMPARE(v["r_frame_rate"].toString(), QString("30/1"));
        QCOMPARE(v["nb_read_frames"].toString().toInt(), 90);
        // As many frames as the file says it has (AVI counts them in its header), each
        // at its own time: the pictures last the timeline's 3 s exactly.
        if (v.contains("nb_frames"))
            QCOMPARE(v["nb_frames"].toString().toInt(), 90);
        QVERIFY2(std::abs(number(v, "duration") - 3.0) < 0.5 / 30,
                 qPrintable(v["duration"].toString()));
        // The sound lasts them too (within one frame) and starts with them.
        QVERIFY2(std::abs(number(a, "duration") - 3.0) <= 1.0 / 30,
                 qPrintable(a["duration"].toString()));
        QVERIFY(std::abs(number(a, "start_time") - number(v, "start_time")) <= 1.0 / 30);

        // The red clip for 2 s, then black; both tones mixed while the clip plays.
        QVERIFY(fixtures::sameColour(meanColour(p.path, 1.0, 320, 240, QRect(20, 20, 280, 200)),
                                     QColor(255, 0, 0), 40));
        QVERIFY(fixtures::sameColour(meanColour(p.path, 2.6, 320, 240, QRect(20, 20, 280, 200)),
                                     QColor(0, 0, 0), 20));
        const QByteArray late =
            decode(p.path, {"-ss", "2.2", "-t", "0.6", "-f", "s16le", "-ac", "2", "-ar", "44100"});
        const fixtures::HeardTone music = fixtures::heardTone(late, 2000);
        QVERIFY(music.heard);
        QVERIFY2(std::abs(music.pitch - 880) < 15, qPrintable(QString::number(music.pitch)));
    }
    void playbackSpeedStretchesPictureAndSound_data()
    {
        QTest::addColumn<double>("speed");
        QTest::newRow("half") << 0.5;   // every frame, shown twice as long
        QTest::newRow("double") << 2.0; // every second frame
        QTest::newRow("one and a half") << 1.5;
    }
    void playbackSpeedStretchesPictureAndSound()
    {
        QFETCH(double, speed);
        SourceItem *clip = add(CT_VIDEO, "red.mp4", 0); // about 2 s with its 440 Hz tone
        QVERIFY(clip);
        // Faster: the timeline frame nearest to each output frame's time; slower: each
        // frame, shown for longer.
        const int64_t length = clip->duration();
        int frames = 0;
        while (int64_t(frames * std::max(speed, 1.0) + 0.5) < length)
            ++frames;
        const double seconds = double(length) / 30 / speed;
        MVParams p = params("speed.mp4");
        p.replace = true; // one name for every row
        p.speed = speed;
        QCOMPARE(m_export->exportMovie(p), int(ExportManager::Result::Written));
        const QJsonObject info = probe(p.path);
        const QJsonObject v = streamOf(info, "video"), a = streamOf(info, "audio");
        QCOMPARE(v["nb_read_frames"].toString().toInt(), frames);
        const double frame = 1.0 / 30 / std::min(speed, 1.0);
        QVERIFY2(std::abs(number(v, "duration") - seconds) <= frame,
                 qPrintable(v["duration"].toString()));
        QVERIFY2(std::abs(number(a, "duration") - seconds) <= frame,
                 qPrintable(a["duration"].toString()));
        // Faster sound is higher, as on tape.
        const QByteArray sound =
            decode(p.path, {"-ss", QString::number(seconds / 4), "-t", QString::number(seconds / 2),
                            "-f", "s16le", "-ac", "2", "-ar", "44100"});
        const fixtures::HeardTone tone = fixtures::heardTone(sound, 2000);
        QVERIFY2(std::abs(tone.pitch - 440 * speed) < 15 * speed,
                 qPrintable(QString::number(tone.pitch)));
    }
    void soundOnlyExport()
    {
        QVERIFY(add(CT_VIDEO, "red.mp4", 0));
        QVERIFY(add(CT_AUDIO, "music.wav", 30)); // frames 30..119: 4 s in all
        QSignalSpy progress(m_export->manager(), &ExportManager::sig_processUpdate);
        const MVParams p = params("sound.mp3");
        QCOMPARE(m_export->exportMovie(p), int(ExportManager::Result::Written));
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(1).toInt(), 119);
        const QJsonObject info = probe(p.path);
        QVERIFY(streamOf(info, "video").isEmpty());
        const QJsonObject a = streamOf(info, "audio");
        QCOMPARE(a["codec_name"].toString(), QString("mp3"));
        QVERIFY2(std::abs(number(a, "duration") - 4.0) < 0.1, qPrintable(a["duration"].toString()));
        // Decoded, exactly the timeline's 4 s of sound (the file marks the encoder's
        // padding at both ends).
        const QByteArray whole = decode(p.path, {"-f", "s16le", "-ac", "2", "-ar", "44100"});
        QCOMPARE(whole.size() / 4, 4 * 44100);
        // The first second holds the clip's 440 Hz alone.
        const QByteArray early =
            decode(p.path, {"-ss", "0.2", "-t", "0.6", "-f", "s16le", "-ac", "2", "-ar", "44100"});
        const fixtures::HeardTone tone = fixtures::heardTone(early, 2000);
        QVERIFY(tone.heard);
        QVERIFY2(std::abs(tone.pitch - 440) < 10, qPrintable(QString::number(tone.pitch)));
    }
    void stoppingHalfwayLeavesNothingUnderTheName()
    {
        QVERIFY(add(CT_VIDEO, "red.mp4", 0));
        QVERIFY(add(CT_AUDIO, "music.wav", 0));
        ExportManager *manager = m_export->manager();
        // "Done" pressed once a third of the pictures are written, over an older export
        // the user agreed to replace: it stays as it was.
        manager->setWaiter([](ExportManager &m) {
            QEventLoop loop;
            connect(&m, &ExportManager::sig_processUpdate, &loop, [&loop](int done, int) {
                if (done >= 30)
                    loop.quit();
            });
            loop.exec();
            return false;
        });
        MVParams p = params("stopped.mp4");
        QVERIFY(!fixtures::writeFile(p.path, "an older export").isEmpty());
        p.replace = true;
        const int result = m_export->exportMovie(p);
        manager->setWaiter(nullptr);
        QCOMPARE(result, int(ExportManager::Result::Cancelled));
        QCOMPARE(fixtures::readFile(p.path), QByteArray("an older export"));
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(m_rm->renderThread());
        // The next run holds exactly its own frames.
        const MVParams again = params("again.mp4");
        QCOMPARE(m_export->exportMovie(again), int(ExportManager::Result::Written));
        QCOMPARE(streamOf(probe(again.path), "video")["nb_read_frames"].toString().toInt(), 90);
    }
    void theNameHoldsOnlyAFinishedFile()
    {
        // While pictures are written nothing is at the name; when the run says the file
        // is complete, it is there whole (every frame, its index readable).
        QVERIFY(add(CT_VIDEO, "red.mp4", 0));
        QVERIFY(add(CT_AUDIO, "music.wav", 0));
        const MVParams p = params("whole.mp4");
        ExportManager *manager = m_export->manager();
        bool seenDuringRun = false;
        int framesWhenComplete = -1;
        bool finishingTold = false;
        manager->setWaiter([&](ExportManager &m) {
            QEventLoop loop;
            connect(&m, &ExportManager::sig_processUpdate, &loop,
                    [&] { seenDuringRun = seenDuringRun || QFileInfo::exists(p.path); });
            connect(&m, &ExportManager::sig_finishing, &loop, [&] { finishingTold = true; });
            connect(&m, &ExportManager::sig_ended, &loop, [&] {
                framesWhenComplete =
                    streamOf(probe(p.path), "video")["nb_read_frames"].toString().toInt();
                loop.quit();
            });
            loop.exec();
            return true;
        });
        const int result = m_export->exportMovie(p);
        manager->setWaiter(nullptr);
        QCOMPARE(result, int(ExportManager::Result::Written));
        QVERIFY(!seenDuringRun);
        QVERIFY(finishingTold);
        QCOMPARE(framesWhenComplete, 90);
        QCOMPARE(leftovers(), QStringList());
    }
    void exportsNeverDestroyAFile_data()
    {
        // What is at the name, whether the user agreed to replace it, and the outcome.
        QTest::addColumn<QString>("there");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<int>("result");
        const int written = int(ExportManager::Result::Written);
        const int exists = int(ExportManager::Result::TargetExists);
        const int inUse = int(ExportManager::Result::TargetInUse);
        QTest::newRow("a file, not agreed") << "file" << false << exists;
        QTest::newRow("a file, agreed") << "file" << true << written;
        QTest::newRow("the project's clip, agreed") << "material" << true << inUse;
        QTest::newRow("a link to the project's clip, agreed")
            << "link to material" << true << inUse;
        QTest::newRow("a second name of the project's clip, agreed")
            << "hard link" << true << inUse;
        QTest::newRow("a link elsewhere, not agreed") << "link" << false << exists;
        QTest::newRow("a link elsewhere, agreed") << "link" << true << written;
    }
    void exportsNeverDestroyAFile()
    {
        QFETCH(QString, there);
        QFETCH(bool, replace);
        QFETCH(int, result);
        QDir(m_dir.path()).mkpath("keep");
        const QString material = m_dir.filePath("keep/clip.mp4");
        QFile::remove(material);
        QVERIFY(QFile::copy(m_dir.filePath("red.mp4"), material));
        const QString other = m_dir.filePath("keep/other.txt");
        QFile::remove(other);
        QVERIFY(!fixtures::writeFile(other, "someone else's").isEmpty());
        SourceItem *clip = add(CT_VIDEO, "keep/clip.mp4", 0);
        QVERIFY(clip);

        MVParams p = params("target.mp4");
        p.replace = replace;
        p.keep = QStringList{material};
        QFile::remove(p.path);
        if (there == "file") {
            QVERIFY(QFile::copy(other, p.path));
            QVERIFY(QFile::setPermissions(p.path, QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ReadOther)); // its own mode
        } else if (there == "material")
            p.path = material;
        else if (there == "link to material")
            QVERIFY(QFile::link(material, p.path));
        else if (there == "link")
            QVERIFY(QFile::link(other, p.path));
        else if (there == "hard link")
            QCOMPARE(::link(QFile::encodeName(material).constData(),
                            QFile::encodeName(p.path).constData()),
                     0);
        const QByteArray materialBefore = fixtures::readFile(material);
        const QByteArray atNameBefore = fixtures::readFile(p.path);

        QCOMPARE(m_export->exportMovie(p), result);
        // Whatever happened, the material and the linked file are whole.
        QCOMPARE(fixtures::readFile(material), materialBefore);
        QCOMPARE(fixtures::readFile(other), QByteArray("someone else's"));
        QCOMPARE(leftovers(), QStringList());
        if (result == int(ExportManager::Result::Written)) {
            QVERIFY(!QFileInfo(p.path).isSymLink()); // the link itself was replaced
            // A replaced file keeps its mode; a new one gets what the umask allows.
            QCOMPARE(modeOf(p.path), there == "file" ? 0604 : 0640);
            QCOMPARE(streamOf(probe(p.path), "video")["nb_read_frames"].toString().toInt(),
                     int(clip->duration()));
        } else {
            QCOMPARE(fixtures::readFile(p.path), atNameBefore);
            // The user reads why the file was left alone.
            const QString said =
                zuaTranslate(ExportManager::messageKey(ExportManager::Result(result)));
            const bool inUse = result == int(ExportManager::Result::TargetInUse);
            QVERIFY2(said.contains(inUse ? "This project uses the file" : "already there"),
                     qPrintable(said));
        }
    }
    void namesAndFoldersThatCannotTakeTheFileSayWhy_data()
    {
        QTest::addColumn<QString>("name"); // relative to the test folder
        QTest::addColumn<QString>("told"); // empty: written
        QTest::newRow("a missing folder")
            << "no/such/folder/x.mp4"
            << "could not be created in " + m_dir.filePath("no/such/folder") +
                   " (No such file or directory)";
        QTest::newRow("a file where the folder should be")
            << "red.mp4/x.mp4"
            << "could not be created in " + m_dir.filePath("red.mp4") + " (Not a directory)";
        QTest::newRow("a long name the file system takes")
            << QString(241, 'n') + ".mp4" << QString();
        QTest::newRow("a name too long for the file system")
            << QString(296, 'n') + ".mp4"
            << "The name is too long for this file system (300 bytes; it takes at most 255)";
    }
    void namesAndFoldersThatCannotTakeTheFileSayWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, told);
        QVERIFY(add(CT_VIDEO, "red.mp4", 0));
        MVParams p = params("x.mp4");
        p.path = m_dir.filePath(name);
        runExport(m_export, p);
        if (told.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_export->manager()->isExporting(), 60000);
            QTRY_VERIFY(QFileInfo::exists(p.path));
            QVERIFY(m_boxes.isEmpty());
            QCOMPARE(leftovers(), QStringList());
            return;
        }
        QVERIFY(!QFileInfo::exists(p.path));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.contains(told), qPrintable(m_boxes[0].text));
        QVERIFY(m_rm->renderThread()); // the preview runs again
        // The editor exports again afterwards.
        const MVParams ok = params("after.mp4");
        QFile::remove(ok.path);
        QCOMPARE(m_export->exportMovie(ok), int(ExportManager::Result::Written));
    }
    void fullDiskRemovesTheBrokenFile()
    {
        QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=3", "-pix_fmt",
                                  "yuv420p", m_dir.filePath("busy.mp4")}));
        QVERIFY(add(CT_VIDEO, "busy.mp4", 0));
        // The disk fills up after 16 kB (well short of the 3 s file): every later write
        // fails as on a full disk.
        struct rlimit before;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = before;
        small.rlim_cur = 16 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        // The progress dialog ends the run by itself; should it wait for "Done" after the
        // end, press it.
        QTimer done;
        connect(&done, &QTimer::timeout, [] {
            auto *dialog = qobject_cast<ExportProcessDialog *>(QApplication::activeModalWidget());
            if (dialog && dialog->isFinished())
                dialog->accept();
        });
        done.start(200);
        MVParams p = params("full.mp4");
        runExport(m_export, p); // returns at once: the run goes on on its threads
        QTRY_VERIFY_WITH_TIMEOUT(!m_export->manager()->isExporting(), 60000);
        done.stop();
        setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text,
                 QString("Writing the export failed (is the disk full?); nothing was "
                         "written under its name"));
        QVERIFY(!QFileInfo::exists(p.path));
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(m_rm->renderThread());
        // With room again, the same export works.
        QCOMPARE(m_export->exportMovie(p), int(ExportManager::Result::Written));
    }

private:
    MVParams params(const QString &name, int fps = 30) const
    {
        MVParams p;
        p.path = m_dir.filePath(name);
        p.width = 320;
        p.height = 240;
        p.frameRate = fps;
        p.keyInterval = fps;
        p.audioOnly = name.endsWith(".mp3");
        return p;
    }
    SourceItem *add(uint32_t kind, const char *file, int64_t frame)
    {
        TimelineDocument *model = m_timeline->model();
        SourceItem *clip = model->createClip(model->group(kind), kind, m_dir.filePath(file), frame);
        m_timeline->view()->updateSceneWidth();
        return clip;
    }
    QTemporaryDir m_dir;
    RenderManager *m_rm = nullptr;
    Exporter *m_export = nullptr; // a child of m_rm
    TimeLineWidget *m_timeline = nullptr;
    QList<MessageSpec> m_boxes;
    // Temporary files an export left in the folder.
    QStringList leftovers() const
    {
        return QDir(m_dir.path()).entryList({"*.part.*"}, QDir::Files | QDir::Hidden);
    }
};

ZU_ENGLISH_TEST_MAIN(QApplication, TestExport)

#include "tst_export.moc"
