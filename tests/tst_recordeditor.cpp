// End to end with the real editor and a private sound server whose default input is
// a 440 Hz sine source: Dub, two seconds, Dub again makes a dub clip from the start;
// replayed, the tone is heard on the output's monitor; Space ends the next take.
#include "support/EditorProcess.h"
#include "support/HeardTone.h"
#include "support/SoundServer.h"

#include <QtTest>

namespace {
// Screen positions in the window at the screen's corner (English interface).
constexpr int kDubX = 297, kDubY = 385;       // the tool bar's Dub button
constexpr int kReplayX = 911, kReplayY = 339; // the preview's replay button
} // namespace

class TestRecordEditor : public QObject {
    Q_OBJECT
private slots:
    void dubbedToneIsHeardWhenPlayedBack();
};

void TestRecordEditor::dubbedToneIsHeardWhenPlayedBack()
{
    QVERIFY(!fixtures::loadSineSource("voice", 440).isEmpty());
    fixtures::pactl({"set-default-source", "voice"});

    QTemporaryDir dir;
    const QString home = dir.path(), project = home + "/dub.zua2";
    QFile f(project);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>640</width><height>360"
            "</height></scene></Render><Resource/><Timeline/><Preview/></VoVive>");
    f.close();
    QProcess editor;
    QVERIFY(fixtures::startEditor(editor, home, project, 1500));

    const QString click = QStringLiteral("xdotool mousemove %1 %2 click 1");
    QVERIFY(fixtures::xdo(click.arg(kDubX).arg(kDubY)));
    QVERIFY(fixtures::waitForLog(home, "sig_activated", 5000));
    QTest::qWait(2000);
    QVERIFY(fixtures::xdo(click.arg(kDubX).arg(kDubY)));
    QTest::qWait(2000);
    const QStringList takes = QDir(home + "/RuZOVaza").entryList({"*.wav"});
    QCOMPARE(takes.size(), 1);

    const QString heardFile = home + "/heard.raw";
    {
        fixtures::MonitorRecorder recorder(heardFile);
        QVERIFY(recorder.started());
        QVERIFY(fixtures::xdo(click.arg(kReplayX).arg(kReplayY)));
        QTest::qWait(4500); // two seconds of take, and the null sink's start-up
    }
    QFile raw(heardFile);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const fixtures::HeardTone heard = fixtures::heardTone(raw.readAll(), 3000);
    QVERIFY2(heard.heard, "the take was not heard");
    QVERIFY2(std::abs(heard.pitch - 440) < 5, qPrintable(QString::number(heard.pitch)));
    QVERIFY2(heard.seconds > 0.8, qPrintable(QString::number(heard.seconds)));

    // Space ends a take too.
    QVERIFY(fixtures::xdo(click.arg(kDubX).arg(kDubY)));
    QTest::qWait(1500);
    QVERIFY(fixtures::xdo("xdotool key space"));
    QTest::qWait(1500);
    const QStringList both = QDir(home + "/RuZOVaza").entryList({"*.wav"});
    QCOMPARE(both.size(), 2);
    QString second = home + "/RuZOVaza/" + (both[0] == takes[0] ? both[1] : both[0]);
    const qint64 size = QFileInfo(second).size();
    QTest::qWait(1000);
    QCOMPARE(QFileInfo(second).size(), size);
    QVERIFY(size > 44100 * 4 / 2);

    // Saved, then closed during a third take: the take is stopped and made a clip
    // first, so closing asks, and Save keeps it in the project.
    auto takesSaved = [&project] {
        QFile saved(project);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll().count("/RuZOVaza/") : -1;
    };
    QVERIFY(fixtures::xdo("xdotool key ctrl+s"));
    QTRY_COMPARE_WITH_TIMEOUT(takesSaved(), 2, 5000);
    QVERIFY(fixtures::xdo(click.arg(kDubX).arg(kDubY)));
    QTest::qWait(1500);
    ::kill(pid_t(editor.processId()), SIGTERM); // closes the window the usual way
    QVERIFY(fixtures::xdo("xdotool search --sync --onlyvisible --name '^Hint$'"));
    QVERIFY(fixtures::xdo("xdotool key Return")); // Save
    QVERIFY(editor.waitForFinished(15000));
    QCOMPARE(takesSaved(), 3);
}

QTEST_GUILESS_MAIN(TestRecordEditor)
#include "tst_recordeditor.moc"
