#include "ProcessIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QStringList>

namespace {

QByteArray bootId()
{
    QFile f(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("boot");
}

// The process's start time in clock ticks since boot (field 22 of its stat line),
// which tells a reused process number from the editor that had it.
QByteArray startTime(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray line = f.readAll();
    const int nameEnd = line.lastIndexOf(')'); // the name may hold spaces
    const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
    return fields.size() > 19 ? fields[19] : QByteArray(); // fields from the 3rd on
}

QString nameOf(const QByteArray &boot, qint64 pid, const QByteArray &start)
{
    return QStringLiteral("b%1_p%2_t%3")
        .arg(QString::fromLatin1(boot).remove('-'))
        .arg(pid)
        .arg(QString::fromLatin1(start));
}

} // namespace

namespace ProcessIdentity {

QString self()
{
    static const QString name = [] {
        const qint64 pid = QCoreApplication::applicationPid();
        return nameOf(bootId(), pid, startTime(pid));
    }();
    return name;
}

bool isRunning(const QString &name)
{
    const QStringList parts = name.split('_');
    if (parts.size() != 3 || parts[1].size() < 2)
        return false;
    const qint64 pid = parts[1].mid(1).toLongLong();
    if (pid <= 0)
        return false;
    return nameOf(bootId(), pid, startTime(pid)) == name;
}

} // namespace ProcessIdentity
