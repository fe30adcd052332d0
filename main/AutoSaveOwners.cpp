#include "AutoSaveOwners.h"

#include "bridge/UserSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <string>

namespace {

constexpr char kGroup[] = "autoSaves";

std::string keyOf(const QString &owner)
{
    return std::string(kGroup) + "/" + owner.toStdString();
}

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

namespace AutoSaveOwners {

QString self()
{
    static const QString name = [] {
        const qint64 pid = QCoreApplication::applicationPid();
        return nameOf(bootId(), pid, startTime(pid));
    }();
    return name;
}

bool isRunning(const QString &owner)
{
    const QStringList parts = owner.split('_');
    if (parts.size() != 3 || parts[1].size() < 2)
        return false;
    const qint64 pid = parts[1].mid(1).toLongLong();
    if (pid <= 0)
        return false;
    return nameOf(bootId(), pid, startTime(pid)) == owner;
}

void recordOwn(const QString &path)
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    settings.set("autoSavePath", path.toStdString());
    if (path.isEmpty())
        settings.remove(keyOf(self()));
    else
        settings.set(keyOf(self()), path.toStdString());
    settings.save();
}

QStringList orphaned()
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    QStringList paths, recorded;
    bool dropped = false;
    for (const std::string &key : settings.keysUnder(kGroup)) {
        const QString owner = QString::fromStdString(key);
        const QString path = QString::fromStdString(settings.get(keyOf(owner)));
        recorded << path;
        if (owner == self() || isRunning(owner))
            continue;
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            settings.remove(keyOf(owner));
            dropped = true;
        } else if (!paths.contains(path)) {
            paths << path;
        }
    }
    // Written by an editor that kept no record of its own (an older release).
    const QString shared = QString::fromStdString(settings.get("autoSavePath"));
    if (!shared.isEmpty() && !recorded.contains(shared) && QFileInfo::exists(shared))
        paths << shared;
    if (dropped)
        settings.save();
    return paths;
}

void forget(const QString &path)
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    for (const std::string &key : settings.keysUnder(kGroup)) {
        const QString owner = QString::fromStdString(key);
        if (owner != self() && !isRunning(owner) &&
            QString::fromStdString(settings.get(keyOf(owner))) == path)
            settings.remove(keyOf(owner));
    }
    if (QString::fromStdString(settings.get("autoSavePath")) == path)
        settings.set("autoSavePath", "");
    settings.save();
}

} // namespace AutoSaveOwners
