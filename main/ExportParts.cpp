#include "ExportParts.h"

#include "ProcessIdentity.h"

#include "bridge/UserSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <string>

namespace {

constexpr char kGroup[] = "exportParts";

std::string keyOf(const QString &writer)
{
    return std::string(kGroup) + "/" + writer.toStdString();
}

} // namespace

namespace ExportParts {

bool isPartName(const QString &path)
{
    static const QRegularExpression name(
        QStringLiteral("^\\..+\\.[A-Za-z0-9]{6}\\.part\\.[^./]+$"));
    return name.match(QFileInfo(path).fileName()).hasMatch();
}

void record(const QString &part)
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    settings.set(keyOf(ProcessIdentity::self()), part.toStdString());
    settings.save();
}

void clear()
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    settings.remove(keyOf(ProcessIdentity::self()));
    settings.save();
}

int removeLeftovers()
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    int removed = 0;
    bool changed = false;
    for (const std::string &key : settings.keysUnder(kGroup)) {
        const QString writer = QString::fromStdString(key);
        if (writer == ProcessIdentity::self() || ProcessIdentity::isRunning(writer))
            continue;
        const QString part = QString::fromStdString(settings.get(keyOf(writer)));
        const QFileInfo file(part);
        if (isPartName(part) && file.isFile() && !file.isSymLink() && QFile::remove(part))
            ++removed;
        settings.remove(keyOf(writer));
        changed = true;
    }
    if (changed)
        settings.save();
    return removed;
}

} // namespace ExportParts
