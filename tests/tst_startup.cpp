// Start-up of the real editor binary with the recovery prompt. Observed through exit
// codes, settings and the log.
#include "support/EditorProcess.h"
#include "support/Files.h"

#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray err;
    QString log;
};

class Editor {
public:
    explicit Editor(const QString &home) : m_home(home)
    {
        QDir().mkpath(home + "/config/ZuAEdit");
        QDir().mkpath(home + "/data");
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("XDG_CONFIG_HOME", home + "/config");
        m_env.insert("XDG_DATA_HOME", home + "/data");
        m_env.insert("HOME", home);
        m_env.remove("QT_QPA_PLATFORM");
    }

    QString settingsFile() const { return m_home + "/config/ZuAEdit/ZuAEdit.ini"; }
    QProcessEnvironment &env() { return m_env; }

    QString log() const { return fixtures::readLog(m_home); }

    // Runs to completion (for the commands that exit on their own).
    Run runToEnd(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(ZUA_BINARY, args);
        p.waitForFinished(20000);
        return {p.exitCode(), p.readAllStandardError(), log()};
    }

    // Starts the editor and leaves it running.
    void start(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(m_env);
        p.start(ZUA_BINARY, args);
        p.waitForStarted();
    }

    // Starts the editor, waits until the log shows `until` (or the time runs out),
    // then ends it. Returns the log.
    QString runUntil(const QStringList &args, const QString &until, int ms)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(ZUA_BINARY, args);
        p.waitForStarted();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && !log().contains(until) && p.state() == QProcess::Running)
            QTest::qWait(100);
        p.kill();
        p.waitForFinished();
        return log();
    }

private:
    QString m_home;
    QProcessEnvironment m_env;
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void autoSaveFileBringsTheRecoveryPromptInstead()
    {
        const QString dir = home("recover");
        Editor editor(dir);
        const QString autoSave = dir + "/~temp_film.zua2";
        const QString project = dir + "/film.zua2";
        for (const QString &path : {autoSave, project})
            QVERIFY(!fixtures::writeFile(path, "<VoVive/>").isEmpty());
        {
            QSettings s(editor.settingsFile(), QSettings::IniFormat);
            s.setValue("autoSavePath", autoSave);
        }
        const QString log = editor.runUntil({project}, "offering to recover the auto-save", 15000);
        QVERIFY2(log.contains("---> offering to recover the auto-save: " + autoSave),
                 qPrintable(log));
        QVERIFY(!log.contains("---> opening project"));
    }
    void terminationDuringTheRecoveryPromptAnswersNothing()
    {
        const QString dir = home("terminate");
        Editor editor(dir);
        const QString autoSave = dir + "/~temp_film.zua2";
        QVERIFY(!fixtures::writeFile(autoSave, "<VoVive/>").isEmpty());
        {
            QSettings s(editor.settingsFile(), QSettings::IniFormat);
            s.setValue("autoSavePath", autoSave);
        }
        QProcess p;
        editor.start(p, {});
        QVERIFY(fixtures::waitForLog(dir, "offering to recover the auto-save", 15000));
        QTest::qWait(300);
        p.terminate(); // as at log-out: the open question is left unanswered
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFile::exists(autoSave)); // the work is still there for the next start
        QVERIFY(!editor.log().contains("---> opening project"));
    }

private:
    QString home(const char *name) { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
