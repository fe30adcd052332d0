// End to end: a person's first project in the real editor. Media files are added
// through the Add button, one is dragged onto the timeline, played for a second
// and saved; the editor is asked to quit, started again on the project file, and
// saving again writes the same project.
#include "support/EditorProcess.h"
#include "support/MediaFixtures.h"

#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>

namespace {

// Every element of the file as "path/to/element=text" lines, in order; material
// identities (new on every read) are left out.
QStringList flatten(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out, path;
    QXmlStreamReader r(&f);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            path << r.name().toString();
            QString attributes;
            for (const QXmlStreamAttribute &a : r.attributes())
                attributes += QString(" %1=%2").arg(a.name().toString(), a.value().toString());
            out << path.join('/') + attributes;
        } else if (r.isCharacters() && !r.isWhitespace()) {
            if (path.endsWith("uuid") && path.contains("MaterialData"))
                out.last() += "=<fresh>";
            else
                out.last() += "=" + r.text().toString();
        } else if (r.isEndElement()) {
            path.removeLast();
        }
    }
    return r.hasError() ? QStringList{"broken: " + r.errorString()} : out;
}

bool quit(QProcess &editor)
{
    ::kill(pid_t(editor.processId()), SIGTERM);
    const bool clean = editor.waitForFinished(15000) &&
                       editor.exitStatus() == QProcess::NormalExit && editor.exitCode() == 0;
    if (!clean) // what the editor said last, e.g. a sanitizer's report
        qWarning().noquote() << editor.readAllStandardError().right(6000);
    return clean;
}

} // namespace

class TestEditorFlow : public QObject {
    Q_OBJECT
private slots:
    void firstProjectSurvivesARestart();
};

void TestEditorFlow::firstProjectSurvivesARestart()
{
    QTemporaryDir dir;
    const QString home = dir.path();
    const QString video = home + "/beach.mp4", song = home + "/song.wav", logo = home + "/logo.png",
                  project = home + "/first.zua2";
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=30:d=8", "-f", "lavfi",
                              "-i", "sine=d=8", "-pix_fmt", "yuv420p", "-shortest", video}));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "sine=d=3", song}));
    QVERIFY(fixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=96x72", "-frames:v", "1", logo}));
    const QProcessEnvironment env = fixtures::editorEnvironment(home);

    QProcess editor;
    editor.setProcessEnvironment(env);
    editor.start(ZUA_BINARY, QStringList{});
    QVERIFY(editor.waitForStarted());
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^ZuAEdit$'"));
    QTest::qWait(1500);
    // The window sits at the screen's corner at 1200 x 800: the Add button is at
    // the top of the library, the first tile below it, the video row under the ruler.
    QVERIFY(fixtures::xdo("xdotool mousemove 135 63 click 1"));
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^Open$'"));
    QTest::qWait(500);
    QVERIFY(
        fixtures::xdo(QString("xdotool type --delay 5 '\"%1\" \"%2\" \"%3\"' && xdotool key Return")
                          .arg(video, song, logo)));
    QVERIFY2(fixtures::waitForLog(home, "AddMaterialFiles", 10000), "no materials added");
    QTest::qWait(1500);
    QVERIFY(fixtures::xdo("xdotool mousemove 156 120 mousedown 1 && sleep 0.3 && "
                          "for x in 170 200 250 300 350 400; do xdotool mousemove $x 300; "
                          "sleep 0.1; done && xdotool mousemove 400 476 && sleep 0.5 && "
                          "xdotool mouseup 1"));
    QTest::qWait(1500);
    // Play for a second: Space presses the preview's play button.
    QVERIFY(fixtures::xdo("xdotool mousemove 900 150 click 1 && xdotool key space && sleep 1 && "
                          "xdotool key space"));
    QTest::qWait(500);
    QVERIFY(fixtures::xdo("xdotool key ctrl+s"));
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^Save'"));
    QTest::qWait(500);
    QVERIFY(
        fixtures::xdo(QString("xdotool type --delay 5 '%1' && xdotool key Return").arg(project)));
    QTest::qWait(1500);
    QVERIFY2(quit(editor), qPrintable(fixtures::readLog(home).right(3000)));

    const QStringList saved = flatten(project);
    QVERIFY2(!saved.isEmpty(), "project not saved");
    const QString resource = "VoVive/Resource/MaterialData/";
    auto count = [&saved](const QString &line) {
        return saved.filter(QRegularExpression("^" + QRegularExpression::escape(line) + "$"))
            .size();
    };
    // The three materials in the order they were added, all usable.
    QCOMPARE(saved.filter(QRegularExpression("^VoVive/Resource/MaterialData$")).size(), 3);
    QCOMPARE(saved.filter(resource + "name=").join(','),
             QString("%1name=beach.mp4,%1name=song.wav,%1name=logo.png").arg(resource));
    QCOMPARE(saved.filter(resource + "type=").join(','),
             QString("%1type=2,%1type=16,%1type=1").arg(resource));
    QCOMPARE(count(resource + "draggable=true"), 3);
    QCOMPARE(count(resource + "path=" + video), 1);
    // The dropped video: one clip on the video row, its whole length, the project
    // taking its resolution.
    QCOMPARE(count("VoVive/Render/scene/width=320"), 1);
    QCOMPARE(count("VoVive/Render/scene/height=240"), 1);
    const QString clip = "VoVive/Timeline/classify/sourceItem";
    const int videoRow = saved.indexOf("VoVive/Timeline/classify type=2 row=-1");
    QVERIFY(videoRow > 0);
    QCOMPARE(saved.value(videoRow + 1), clip);
    QCOMPARE(count(clip), 1);
    QCOMPARE(count(clip + "/path=" + video), 1);
    QCOMPARE(count(clip + "/duration=239"), 1);
    QCOMPARE(count(clip + "/offset=0"), 1);
    QCOMPARE(saved.filter("/sourceItem/path=").size(), 1);

    // Second run: the project named on the command line opens; saving it again
    // writes the same project.
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(ZUA_BINARY, QStringList{project});
    QVERIFY(again.waitForStarted());
    QVERIFY2(fixtures::waitForLog(home, "---> opening project: " + project, 15000), "not opened");
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^ZuAEdit$'"));
    QTest::qWait(1500);
    const QDateTime firstWrite = QFileInfo(project).lastModified();
    QVERIFY(fixtures::xdo("xdotool mousemove 900 150 click 1 && xdotool key ctrl+s"));
    QElapsedTimer t;
    t.start();
    while (QFileInfo(project).lastModified() == firstWrite && t.elapsed() < 10000)
        QTest::qWait(200);
    QVERIFY2(QFileInfo(project).lastModified() != firstWrite, "not saved again");
    QVERIFY(quit(again));
    const QStringList resaved = flatten(project);
    QStringList first = saved;
    // Re-read materials are marked as recovered from a file.
    first.replaceInStrings(resource + "archiveRecoverd=false", resource + "archiveRecoverd=true");
    QCOMPARE(resaved.size(), first.size());
    for (int i = 0; i < first.size(); ++i)
        QCOMPARE(resaved[i], first[i]);
}

QTEST_GUILESS_MAIN(TestEditorFlow)
#include "tst_editorflow.moc"
