#pragma once
// Running the real editor in end-to-end tests: a private home for its settings
// and log, reading the log, and driving the X display with xdotool.

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTest>

namespace fixtures {

// Environment of an editor whose settings and log live under `home`, in English.
inline QProcessEnvironment editorEnvironment(const QString &home)
{
    QDir().mkpath(home + "/config/ZuAEdit");
    {
        QSettings s(home + "/config/ZuAEdit/ZuAEdit.ini", QSettings::IniFormat);
        s.setValue("IsEnglish", "English");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_STATE_HOME", home + "/state");
    env.insert("HOME", home);
    env.remove("QT_QPA_PLATFORM");
    return env;
}

inline QString readLog(const QString &home)
{
    QString all;
    QDirIterator it(home + "/data/ZuAEdit/log", {"*.log"}, QDir::Files);
    while (it.hasNext()) {
        QFile f(it.next());
        f.open(QIODevice::ReadOnly);
        all += QString::fromUtf8(f.readAll());
    }
    return all;
}

// Waits until the log holds `text` at least `times` times (earlier runs of the
// editor in the same home count too).
inline bool waitForLog(const QString &home, const QString &text, int ms, int times = 1)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (readLog(home).count(text) >= times)
            return true;
        QTest::qWait(200);
    }
    return false;
}

// Runs an xdotool command line (through the shell); true when it succeeded.
inline bool xdo(const QString &commands, int timeoutMs = 15000)
{
    QProcess p;
    p.start("sh", {"-c", commands});
    return p.waitForFinished(timeoutMs) && p.exitCode() == 0;
}

// Starts the editor on `project` with its own folders under `home` and waits until
// the project is open and the window shows; false when it does not get there, with
// what the editor had done so far in the test's output. The waits are generous: the
// first start on a fresh machine builds the font cache while other tests run.
inline bool startEditor(QProcess &editor, const QString &home, const QString &project,
                        const QString &program = ZUA_BINARY)
{
    editor.setProcessEnvironment(editorEnvironment(home));
    editor.start(program, {project});
    const bool shown = editor.waitForStarted() &&
                       waitForLog(home, "---> opening project: " + project, 40000) &&
                       xdo("xdotool search --sync --onlyvisible --name '^ZuAEdit$'", 40000);
    if (!shown)
        qWarning("the editor %s; its log ends with:\n%s",
                 editor.state() == QProcess::Running ? "runs" : "is not running",
                 qPrintable(readLog(home).right(2000)));
    return shown;
}

} // namespace fixtures
