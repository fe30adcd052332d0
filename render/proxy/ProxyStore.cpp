#include "ProxyStore.h"

#include "bridge/UserSettings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {
std::atomic<uint64_t> g_generation{0};
constexpr char kEnabledKey[] = "proxy.enabled";
constexpr char kLimitKey[] = "proxy.limit_mb";
const QString kSuffix = QStringLiteral(".mp4");

QFileInfoList proxies()
{
    return QDir(ProxyStore::folder())
        .entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Time | QDir::Reversed);
}
} // namespace

QString ProxyStore::folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/proxies");
}

namespace {
// A proxy's name: the source's path, then its state (size, time of change), so that
// the proxies of one path are found whatever state they were made from.
QString pathPart(const QFileInfo &info)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16));
}
} // namespace

QString ProxyStore::proxyPathFor(const QString &source)
{
    const QFileInfo info(source);
    if (!info.isFile())
        return QString();
    const QByteArray state = QByteArray::number(info.size()) + '\n' +
                             QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    const QByteArray statePart =
        QCryptographicHash::hash(state, QCryptographicHash::Sha1).toHex().left(8);
    return folder() + QLatin1Char('/') + pathPart(info) + QLatin1Char('-') +
           QString::fromLatin1(statePart) + kSuffix;
}

void ProxyStore::removeStale(const QString &source)
{
    const QString current = QFileInfo(proxyPathFor(source)).fileName();
    const QString prefix = pathPart(QFileInfo(source)) + QLatin1Char('-');
    bool any = false;
    for (const QFileInfo &info : proxies())
        if (info.fileName().startsWith(prefix) && info.fileName() != current)
            any = QFile::remove(info.absoluteFilePath()) || any;
    if (any)
        changed();
}

QString ProxyStore::readyProxy(const QString &source)
{
    if (!enabled())
        return QString();
    const QString path = proxyPathFor(source);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

bool ProxyStore::enabled()
{
    return bg::UserSettings::instance().get(kEnabledKey, "1") != "0";
}

void ProxyStore::setEnabled(bool on)
{
    bg::UserSettings::instance().set(kEnabledKey, on ? "1" : "0");
    bg::UserSettings::instance().save();
    if (!on)
        removeAll();
    changed();
}

int64_t ProxyStore::limitBytes()
{
    bool ok = false;
    const qint64 mb =
        QString::fromStdString(bg::UserSettings::instance().get(kLimitKey)).toLongLong(&ok);
    // Nonsense reads as the default; at least 100 MB, at most 1 TB.
    if (!ok || mb <= 0)
        return kDefaultLimitBytes;
    return std::clamp<int64_t>(mb, 100, 1 << 20) << 20;
}

void ProxyStore::setLimitBytes(int64_t bytes)
{
    bg::UserSettings::instance().set(kLimitKey,
                                     std::to_string(std::max<int64_t>(bytes >> 20, 100)));
    bg::UserSettings::instance().save();
    trim();
}

int64_t ProxyStore::diskUse()
{
    int64_t sum = 0;
    for (const QFileInfo &info : proxies())
        sum += info.size();
    return sum;
}

void ProxyStore::remove(const QString &source)
{
    removeStale(source);
    const QString path = proxyPathFor(source);
    if (!path.isEmpty() && QFile::remove(path))
        changed();
}

void ProxyStore::removeAll()
{
    bool any = false;
    for (const QFileInfo &info : proxies())
        any = QFile::remove(info.absoluteFilePath()) || any;
    if (any)
        changed();
}

void ProxyStore::trim(const QString &keep)
{
    const int64_t limit = limitBytes();
    const QFileInfoList all = proxies(); // oldest first
    int64_t use = 0;
    for (const QFileInfo &info : all)
        use += info.size();
    bool any = false;
    for (const QFileInfo &info : all) {
        if (use <= limit)
            break;
        if (info.absoluteFilePath() == QFileInfo(keep).absoluteFilePath())
            continue;
        if (QFile::remove(info.absoluteFilePath())) {
            use -= info.size();
            any = true;
        }
    }
    if (any)
        changed();
}

uint64_t ProxyStore::generation()
{
    return g_generation.load();
}

void ProxyStore::changed()
{
    ++g_generation;
}
