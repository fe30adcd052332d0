// End to end with the real editor: one editor per user and installation. A second
// launch hands over to the running one and ends with the guard's code, touching none
// of its files; a killed editor's record does not stop the next launch; untitled work
// killed with the editor is offered again even after the temporary folder was emptied;
// two login sessions of one user never take each other's auto-saves.
#include "support/EditorProcess.h"
#include "support/Files.h"
#include "support/MediaFixtures.h"

#include <QtTest>

#include <csignal>

using fixtures::readLog;
using fixtures::waitForLog;

using fixtures::readFile;
using fixtures::writeFile;

namespace {

void writeProject(const QString &path, int width)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QString("<VoVive Version=\"1.0.0\" Archived=\"0\"><Render><scene><width>%1</width>"
                    "<height>360</height></scene></Render><Resource/><Timeline/><Preview/>"
                    "</VoVive>")
                .arg(width)
                .toUtf8());
}

// Starts an editor; true when it is still running after `ms` (it became the primary).
bool startsAndStays(QProcess &p, const QProcessEnvironment &env, const QStringList &args, int ms)
{
    p.setProcessEnvironment(env);
    p.start(ZUA_BINARY, args);
    return p.waitForStarted() && !p.waitForFinished(ms);
}

// Starts an editor that should hand over and end: its exit code, or -2 if it stayed.
int handsOver(const QProcessEnvironment &env, const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ZUA_BINARY, args);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

void killHard(QProcess &p)
{
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished();
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void secondLaunchHandsOverAndEnds()
    {
        QTemporaryDir dir;
        const QString home = dir.path();
        const QProcessEnvironment env = fixtures::editorEnvironment(home);
        const QString first = home + "/first.zua2", other = home + "/other.zua2";
        writeProject(first, 640);
        writeProject(other, 800);
        const QByteArray firstBytes = readFile(first);

        QProcess primary;
        QVERIFY(startsAndStays(primary, env, {first}, 3000));
        QVERIFY(waitForLog(home, "---> opening project: " + first, 15000));

        // Launched again with nothing: it ends with the guard's code (-1) at once.
        QCOMPARE(handsOver(env, {}), 255);
        QCOMPARE(readFile(first), firstBytes);
        QVERIFY(!QFileInfo::exists(home + "/~temp_first.zua2"));
        QCOMPARE(primary.state(), QProcess::Running);

        // Launched with another project: the running editor opens it, this one ends.
        QCOMPARE(handsOver(env, {other}), 255);
        QVERIFY2(waitForLog(home, "---> opening project: " + other, 15000),
                 qPrintable(readLog(home)));
        QCOMPARE(readFile(first), firstBytes);

        // The primary is killed: its record stays behind, but the next launch sees that
        // its process is gone and becomes the primary well within the guard's 5 s.
        killHard(primary);
        QProcess next;
        QVERIFY(startsAndStays(next, env, {}, 3000));
        QVERIFY(waitForLog(home, "the primary instance", 5000));
        QCOMPARE(handsOver(env, {}), 255); // and it is the primary now
        killHard(next);

        // Killed while its parent never collects it (a zombie still answers signals):
        // gone all the same for the next launch.
        const int primaries = readLog(home).count("the primary instance");
        QProcess parent; // bash starts the editor, then becomes a sleep that never waits
        parent.setProcessEnvironment(env);
        parent.start("bash", {"-c", QString("'%1' & echo $!; exec sleep 60").arg(ZUA_BINARY)});
        QVERIFY(parent.waitForReadyRead(5000));
        const qint64 zombie = parent.readLine().trimmed().toLongLong();
        QVERIFY(zombie > 0);
        QVERIFY(waitForLog(home, "the primary instance", 15000, primaries + 1));
        ::kill(pid_t(zombie), SIGKILL);
        QProcess after;
        QVERIFY(startsAndStays(after, env, {}, 3000));
        killHard(after);
        killHard(parent);
    }
    void untitledWorkSurvivesAnEmptiedTempFolder()
    {
        QTemporaryDir dir;
        const QString home = dir.path();
        QProcessEnvironment env = fixtures::editorEnvironment(home);
        const QString tmp = home + "/tmp";
        QDir().mkpath(tmp);
        env.insert("TMPDIR", tmp);

        QProcess untitled;
        QVERIFY(startsAndStays(untitled, env, {}, 3000));
        // The 30 s auto-save of untitled work lands in the data folder, not the temp folder.
        const QString autoSaveDir = home + "/data/ZuAEdit/autosave";
        QElapsedTimer t;
        t.start();
        while (QDir(autoSaveDir).entryList({"~temp_*.zua2"}).isEmpty() && t.elapsed() < 45000)
            QTest::qWait(250);
        const QStringList saved = QDir(autoSaveDir).entryList({"~temp_*.zua2"});
        QCOMPARE(saved.size(), 1);
        QTest::qWait(300);
        killHard(untitled);

        // A reboot empties the temporary folder.
        QDir(tmp).removeRecursively();
        QDir().mkpath(tmp);

        QProcess again;
        QVERIFY(startsAndStays(again, env, {}, 2000));
        QVERIFY2(
            waitForLog(home,
                       "offering to recover the auto-save: " + autoSaveDir + "/" + saved.first(),
                       15000),
            qPrintable(readLog(home)));
        killHard(again);
    }
    void twoSessionsKeepTheirOwnWork()
    {
        // One user, two login sessions (two runtime folders, one home): each runs an
        // editor. The second neither offers nor touches the first one's live auto-save,
        // and opens the project it was given; once the first is killed, its work is
        // offered to the next start.
        QTemporaryDir dir;
        const QString home = dir.path();
        auto session = [&home](const QString &name) {
            QProcessEnvironment env = fixtures::editorEnvironment(home);
            const QString runtime = home + "/run-" + name;
            QDir().mkpath(runtime);
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            env.insert("XDG_RUNTIME_DIR", runtime);
            return env;
        };
        const QString film = home + "/film.zua2", other = home + "/other.zua2";
        writeProject(film, 640);
        writeProject(other, 800);
        const QString filmAutoSave = home + "/~temp_film.zua2";
        QProcess first;
        QVERIFY(startsAndStays(first, session("a"), {film}, 2000));
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(filmAutoSave) && t.elapsed() < 45000)
            QTest::qWait(250);
        QVERIFY(QFileInfo::exists(filmAutoSave));

        QProcess second;
        QVERIFY(startsAndStays(second, session("b"), {other}, 2000));
        QVERIFY2(waitForLog(home, "---> opening project: " + other, 15000),
                 qPrintable(readLog(home)));
        QTest::qWait(1500); // past the moment a recovery question would be asked
        QVERIFY2(!readLog(home).contains("offering to recover"), qPrintable(readLog(home)));
        QVERIFY(QFileInfo::exists(filmAutoSave));
        killHard(second);

        killHard(first);
        QProcess third;
        QVERIFY(startsAndStays(third, session("c"), {}, 2000));
        QVERIFY2(waitForLog(home, "offering to recover the auto-save: " + filmAutoSave, 15000),
                 qPrintable(readLog(home)));
        killHard(third);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
