#pragma once
// Talks to the private sound server a PULSE test runs next to (with_pulse.sh).

#include <QProcess>
#include <QString>
#include <QStringList>

namespace fixtures {

// Runs pactl; its output (a module's number for load-module), empty on failure.
inline QString pactl(const QStringList &args)
{
    QProcess p;
    p.start("pactl", args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A microphone that says a sine tone (float mono at 44.1 kHz, half of full scale).
inline QString loadSineSource(const QString &id, int hz)
{
    return pactl({"load-module", "module-sine-source", "source_name=" + id,
                  "frequency=" + QString::number(hz), "rate=44100"});
}

// A microphone that hears nothing, listed as `name`.
inline QString loadSilentSource(const QString &id, const QString &name)
{
    return pactl(
        {"load-module", "module-null-source", "source_name=" + id, "description='" + name + "'"});
}

// No server to be found while it lives.
struct NoServer {
    QByteArray saved = qgetenv("PULSE_SERVER");
    NoServer() { qputenv("PULSE_SERVER", "unix:/nonexistent/zua-no-server"); }
    ~NoServer()
    {
        if (saved.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
    }
};

} // namespace fixtures
