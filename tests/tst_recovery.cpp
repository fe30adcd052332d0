// End to end: the real editor auto-saves, is killed, starts again, offers the
// auto-save, and continuing brings the project back intact.
#include "support/EditorProcess.h"

#include <QtTest>

#include <csignal>

using fixtures::readLog;
using fixtures::waitForLog;

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void killedEditorIsRecovered();
};

void TestRecovery::killedEditorIsRecovered()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    const QProcessEnvironment env = fixtures::editorEnvironment(home);

    // A project with clips on two tracks and a subtitle.
    const QString clip = home + "/beach.mp4";
    QVERIFY(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                         "testsrc2=s=320x240:d=2", "-pix_fmt", "yuv420p", clip}) ==
            0);
    const QString project = home + "/trip.zua2";
    {
        QFile f(project);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            QString("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>1280</width>"
                    "<height>720</height></scene></Render><Resource/><Timeline>"
                    "<classify type=\"2\" row=\"-1\"><sourceItem><start>10</start>"
                    "<duration>40</duration><offset>5</offset><path>%1</path>"
                    "<uuid>{clip-one}</uuid><roration>15</roration></sourceItem></classify>"
                    "<classify type=\"2\" row=\"0\"><sourceItem><start>70</start>"
                    "<duration>20</duration><offset>0</offset><path>%1</path>"
                    "<uuid>{clip-two}</uuid></sourceItem></classify>"
                    "<classify type=\"8\" row=\"-1\"><sourceItem><start>0</start>"
                    "<duration>90</duration><offset>0</offset><uuid>{words}</uuid>"
                    "<subtitle>true</subtitle><content>Hello beach</content></sourceItem>"
                    "</classify><Trans/></Timeline><Preview/></VoVive>")
                .arg(clip)
                .toUtf8());
    }

    // First run: opens the project, auto-saves after 30 s, and is killed.
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(ZUA_BINARY, QStringList{project});
    QVERIFY(first.waitForStarted());
    const QString autoSave = home + "/~temp_trip.zua2";
    QElapsedTimer t;
    t.start();
    while (!QFileInfo::exists(autoSave) && t.elapsed() < 45000)
        QTest::qWait(250);
    QVERIFY2(QFileInfo::exists(autoSave), "no auto-save within 45 s");
    // Killed once the setting that points the next start at it is written too.
    const auto pointedAt = [&] {
        return QSettings(home + "/config/ZuAEdit/ZuAEdit.ini", QSettings::IniFormat)
                   .value("autoSavePath")
                   .toString() == autoSave;
    };
    QTRY_VERIFY_WITH_TIMEOUT(pointedAt(), 5000);
    ::kill(pid_t(first.processId()), SIGKILL);
    first.waitForFinished();
    QCOMPARE(first.exitStatus(), QProcess::CrashExit);

    // Second run: the prompt appears; continuing replaces the file by the auto-save.
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(ZUA_BINARY, QStringList{});
    QVERIFY(second.waitForStarted());
    QVERIFY2(waitForLog(home, "offering to recover the auto-save: " + autoSave, 15000),
             "no recovery prompt");
    QProcess xdotool;
    xdotool.start("sh", {"-c", "id=$(xdotool search --sync --name '^Hint$' | head -n1); "
                               "xdotool windowfocus --sync $id; xdotool key --window $id Return"});
    QVERIFY(xdotool.waitForFinished(15000));
    // The first run opened it too: wait for the second opening.
    QVERIFY2(waitForLog(home, "---> opening project: " + project, 15000, 2),
             qPrintable(readLog(home)));
    second.kill();
    second.waitForFinished();

    QVERIFY(!QFileInfo::exists(autoSave));
    QFile recovered(project);
    QVERIFY(recovered.open(QIODevice::ReadOnly));
    const QByteArray content = recovered.readAll();
    QVERIFY(content.contains("<width>1280</width>"));
    QVERIFY(content.contains("<height>720</height>"));
    // Every clip is back with its place, length, in-point and properties.
    for (const char *part :
         {"<uuid>{clip-one}</uuid>", "<start>10</start>", "<duration>40</duration>",
          "<offset>5</offset>", "<roration>15</roration>", "<uuid>{clip-two}</uuid>",
          "<start>70</start>", "<classify type=\"2\" row=\"0\">", "<uuid>{words}</uuid>",
          "<content>Hello beach</content>"})
        QVERIFY2(content.contains(part), part);
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
