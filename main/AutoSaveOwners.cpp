#include "AutoSaveOwners.h"
#include "ProcessIdentity.h"

#include "bridge/UserSettings.h"

#include <QFile>
#include <QFileInfo>

#include <string>

namespace {

constexpr char kGroup[] = "autoSaves";

std::string keyOf(const QString &owner)
{
    return std::string(kGroup) + "/" + owner.toStdString();
}

} // namespace

namespace AutoSaveOwners {

void recordOwn(const QString &path)
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    settings.set("autoSavePath", path.toStdString());
    if (path.isEmpty())
        settings.remove(keyOf(ProcessIdentity::self()));
    else
        settings.set(keyOf(ProcessIdentity::self()), path.toStdString());
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
        if (owner == ProcessIdentity::self() || ProcessIdentity::isRunning(owner))
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
        if (owner != ProcessIdentity::self() && !ProcessIdentity::isRunning(owner) &&
            QString::fromStdString(settings.get(keyOf(owner))) == path)
            settings.remove(keyOf(owner));
    }
    if (QString::fromStdString(settings.get("autoSavePath")) == path)
        settings.set("autoSavePath", "");
    settings.save();
}

} // namespace AutoSaveOwners
