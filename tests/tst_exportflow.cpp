// End to end: a person exports a project from the real editor. The title bar's
// Export opens the panel, its Export button starts the run, the progress dialog
// says when the file is complete and "Done" ends it; the file is checked with
// ffprobe.
#include "support/EditorProcess.h"
#include "support/MediaFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Clicks `dx`, `dy` from the bottom right corner of the visible window titled `title`.
QString clickFromCorner(const QString &title, int dx, int dy)
{
    return QString("eval $(xdotool search --sync --onlyvisible --name '^%1$' getwindowgeometry "
                   "--shell | head -n 5) && xdotool mousemove $((X + WIDTH - %2)) "
                   "$((Y + HEIGHT - %3)) click 1")
        .arg(title)
        .arg(dx)
        .arg(dy);
}

QJsonObject videoStream(const QString &path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                        "stream=codec_name,width,height,nb_read_frames", "-of", "json", path});
    p.waitForFinished(60000);
    const QJsonArray streams =
        QJsonDocument::fromJson(p.readAllStandardOutput()).object()["streams"].toArray();
    return streams.isEmpty() ? QJsonObject() : streams[0].toObject();
}

} // namespace

class TestExportFlow : public QObject {
    Q_OBJECT
private slots:
    void exportFromTheTitleBar();
    void renderCommandWritesTheProject();
};

void TestExportFlow::exportFromTheTitleBar()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    const QString clip = home + "/clip.mp4", project = home + "/trip.zua2";
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=2", "-f", "lavfi",
                              "-i", "sine=d=2", "-pix_fmt", "yuv420p", "-shortest", clip}));
    {
        QFile f(project);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QString("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>320</width>"
                        "<height>240</height></scene></Render><Resource/><Timeline>"
                        "<classify type=\"2\" row=\"-1\"><sourceItem><start>0</start>"
                        "<duration>60</duration><offset>0</offset><path>%1</path>"
                        "<uuid>{clip}</uuid></sourceItem></classify><Trans/></Timeline>"
                        "<Preview/></VoVive>")
                    .arg(clip)
                    .toUtf8());
    }
    QProcess editor;
    editor.setProcessEnvironment(fixtures::editorEnvironment(home));
    editor.start(ZUA_BINARY, QStringList{project});
    QVERIFY(editor.waitForStarted());
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^ZuAEdit$'"));
    QVERIFY(fixtures::waitForLog(home, "---> opening project: " + project, 15000));
    QTest::qWait(1500);

    // Title bar → Export: the panel opens on the home folder with a fresh name.
    QVERIFY(fixtures::xdo("xdotool mousemove 296 21 click 1"));
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^Export$'"));
    QTest::qWait(500);
    QVERIFY(fixtures::xdo(clickFromCorner("Export", 60, 28)));
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^Exporting video$'"));
    QVERIFY2(fixtures::waitForLog(home, "every frame and the sound are written", 60000),
             qPrintable(fixtures::readLog(home).right(2000)));
    QTest::qWait(500);
    QVERIFY(fixtures::xdo(clickFromCorner("Exporting video", 50, 24))); // Done
    QVERIFY(fixtures::waitForLog(home, "---> 导出结束", 15000));

    const QStringList written = QDir(home).entryList({"export_*.mp4"}, QDir::Files);
    QCOMPARE(written.size(), 1);
    const QJsonObject v = videoStream(home + "/" + written[0]);
    QCOMPARE(v["codec_name"].toString(), QString("h264"));
    QCOMPARE(v["width"].toInt(), 320);
    QCOMPARE(v["nb_read_frames"].toString().toInt(), 60);

    // The editor goes on: it quits cleanly when asked.
    ::kill(pid_t(editor.processId()), SIGTERM);
    QVERIFY(editor.waitForFinished(15000));
    QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
}

void TestExportFlow::renderCommandWritesTheProject()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    QVERIFY(QProcess::execute("bash", {ZUA_SOURCE_DIR "/scripts/make-demo.sh", home}) == 0);
    enum Display { Shared, None, NoneAndNoServer };
    auto render = [&home](const QStringList &args, Display display, QString *said) {
        QProcess p;
        QProcessEnvironment env = fixtures::editorEnvironment(home);
        if (display != Shared) {
            env.remove("DISPLAY");
            env.remove("QT_QPA_PLATFORM");
        }
        if (display == NoneAndNoServer)
            env.insert("PATH", home); // no Xvfb to be found
        p.setProcessEnvironment(env);
        p.start(ZUA_RENDER_BINARY, args);
        p.waitForFinished(120000);
        *said = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString said;
    const QString out = home + "/demo.mp4";
    QCOMPARE(render({home + "/demo.zua2", out, "--size", "640x360", "--fps", "15"}, Shared, &said),
             0);
    QVERIFY2(said.contains("progress 100 %") && said.contains("written: " + out),
             qPrintable(said.right(500)));
    const QJsonObject v = videoStream(out);
    QCOMPARE(v["codec_name"].toString(), QString("h264"));
    QCOMPARE(v["width"].toInt(), 640);
    QCOMPARE(v["nb_read_frames"].toString().toInt(), 120); // 8 s at 15 frames a second

    // Failures say what the panel would and exit non-zero.
    // No display set: it draws on a private X server of its own.
    QCOMPARE(render({home + "/demo.zua2", home + "/quiet.mp4", "--size", "320x180"}, None, &said),
             0);
    QVERIFY2(said.contains("written: "), qPrintable(said.right(500)));
    QCOMPARE(videoStream(home + "/quiet.mp4")["width"].toInt(), 320);

    // An existing file is replaced only when asked to; a material never.
    const QByteArray before = bytesOf(out);
    QCOMPARE(render({home + "/demo.zua2", out, "--size", "320x180"}, Shared, &said), 1);
    QVERIFY2(said.contains("already there"), qPrintable(said.right(500)));
    QCOMPARE(bytesOf(out), before);
    QCOMPARE(render({home + "/demo.zua2", out, "--size", "320x180", "--overwrite"}, Shared, &said),
             0);
    QCOMPARE(videoStream(out)["width"].toInt(), 320);
    const QByteArray music = bytesOf(home + "/music.wav");
    QCOMPARE(render({home + "/demo.zua2", home + "/music.wav", "--overwrite"}, Shared, &said), 1);
    QVERIFY2(said.contains("This project uses the file"), qPrintable(said.right(500)));
    QCOMPARE(bytesOf(home + "/music.wav"), music);
    // Ctrl-C half-way: nothing under the name, nothing left beside it.
    {
        QProcess stopped;
        stopped.setProcessEnvironment(fixtures::editorEnvironment(home));
        stopped.setReadChannel(QProcess::StandardError);
        stopped.start(ZUA_RENDER_BINARY, {home + "/demo.zua2", home + "/stopped.mp4"});
        QVERIFY(stopped.waitForStarted());
        QByteArray progress;
        while (!progress.contains("progress 10 %") && stopped.waitForReadyRead(60000))
            progress += stopped.readAllStandardError();
        QVERIFY2(progress.contains("progress 10 %"), progress.constData());
        ::kill(pid_t(stopped.processId()), SIGINT);
        QVERIFY(stopped.waitForFinished(30000));
        QCOMPARE(stopped.exitCode(), 1);
        QVERIFY(!QFileInfo::exists(home + "/stopped.mp4"));
        QCOMPARE(QDir(home).entryList({"*.part.*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    // Failures say what the panel would and exit non-zero.
    QCOMPARE(render({home + "/demo.zua2", home + "/missing/x.mp4"}, Shared, &said), 1);
    QVERIFY2(said.contains("the file could not be created"), qPrintable(said.right(500)));
    QCOMPARE(render({home + "/absent.zua2", out}, Shared, &said), 1);
    QVERIFY(said.contains("Invalid file (file does not exist), failed to open"));
    QCOMPARE(render({home + "/demo.zua2", out, "--fps", "90"}, Shared, &said), 2);
    QCOMPARE(render({home + "/demo.zua2", out}, NoneAndNoServer, &said), 2);
    QVERIFY2(said.contains("Xvfb could not be started"), qPrintable(said));
}

QTEST_GUILESS_MAIN(TestExportFlow)
#include "tst_exportflow.moc"
