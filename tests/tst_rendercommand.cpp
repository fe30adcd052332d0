// The render command: the demo project written at the asked size and rate (checked
// with ffprobe), a private X server when none is set, existing files and materials
// left alone, Ctrl-C leaving nothing, and failures told with their exit codes.
#include "support/EditorProcess.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using fixtures::readFile;
using fixtures::writeFile;

namespace {

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

class TestRenderCommand : public QObject {
    Q_OBJECT
private slots:
    void renderCommandWritesTheProject()
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
        QCOMPARE(
            render({home + "/demo.zua2", out, "--size", "640x360", "--fps", "15"}, Shared, &said),
            0);
        QVERIFY2(said.contains("progress 100 %") && said.contains("written: " + out),
                 qPrintable(said.right(500)));
        const QJsonObject v = videoStream(out);
        QCOMPARE(v["codec_name"].toString(), QString("h264"));
        QCOMPARE(v["width"].toInt(), 640);
        QCOMPARE(v["nb_read_frames"].toString().toInt(), 120); // 8 s at 15 frames a second

        // No display set: it draws on a private X server of its own.
        QCOMPARE(
            render({home + "/demo.zua2", home + "/quiet.mp4", "--size", "320x180"}, None, &said),
            0);
        QVERIFY2(said.contains("written: "), qPrintable(said.right(500)));
        QCOMPARE(videoStream(home + "/quiet.mp4")["width"].toInt(), 320);

        // An existing file is replaced only when asked to; a material never.
        const QByteArray before = readFile(out);
        QCOMPARE(render({home + "/demo.zua2", out, "--size", "320x180"}, Shared, &said), 1);
        QVERIFY2(said.contains("already there"), qPrintable(said.right(500)));
        QCOMPARE(readFile(out), before);
        const QByteArray music = readFile(home + "/music.wav");
        QCOMPARE(render({home + "/demo.zua2", home + "/music.wav", "--overwrite"}, Shared, &said),
                 1);
        QVERIFY2(said.contains("This project uses the file"), qPrintable(said.right(500)));
        QCOMPARE(readFile(home + "/music.wav"), music);
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

        // A newer element inside the first clip is left out and the rest rendered whole;
        // a project cut short is not rendered at all.
        const QByteArray demo = readFile(home + "/demo.zua2");
        QByteArray newer = demo;
        newer.replace(newer.indexOf("<sourceItem>"), 12,
                      "<sourceItem><speedCurve><pt t=\"0\" v=\"2\"/></speedCurve>");
        writeFile(home + "/newer.zua2", newer);
        QCOMPARE(
            render({home + "/newer.zua2", home + "/newer.mp4", "--size", "320x180", "--fps", "15"},
                   Shared, &said),
            0);
        QVERIFY2(said.contains("Not understood and left out: speedCurve"), qPrintable(said));
        QCOMPARE(videoStream(home + "/newer.mp4")["nb_read_frames"].toString().toInt(), 120);
        writeFile(home + "/cut.zua2", demo.left(demo.size() * 6 / 10));
        QCOMPARE(render({home + "/cut.zua2", home + "/cut.mp4"}, Shared, &said), 1);
        QVERIFY2(said.contains("Parts of this project could not be read") &&
                     said.contains("it ends too early"),
                 qPrintable(said));
        QVERIFY(!QFileInfo::exists(home + "/cut.mp4"));

        // Failures say what the panel would and exit non-zero.
        QCOMPARE(render({home + "/demo.zua2", home + "/missing/x.mp4"}, Shared, &said), 1);
        QVERIFY2(said.contains("could not be created in " + home +
                               "/missing (No such file or "
                               "directory)"),
                 qPrintable(said.right(500)));
        QCOMPARE(render({home + "/absent.zua2", out}, Shared, &said), 1);
        QVERIFY(said.contains("Invalid file (file does not exist), failed to open"));
        QCOMPARE(render({home + "/demo.zua2", out, "--fps", "90"}, Shared, &said), 2);
        QCOMPARE(render({home + "/demo.zua2", out}, NoneAndNoServer, &said), 2);
        QVERIFY2(said.contains("Xvfb could not be started"), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestRenderCommand)
#include "tst_rendercommand.moc"
