#include "ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ThumbnailCache {

QString folder()
{
    // Made once: every clip loaded and every thumbnail written asks for it.
    static const QString dir = [] {
        const QString path =
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/thumbnails";
        QDir().mkpath(path);
        return path;
    }();
    return dir;
}

QString pathFor(const QString &materialPath)
{
    const QFileInfo info(materialPath);
    QString identity = info.canonicalFilePath();
    if (identity.isEmpty())
        identity = QDir::cleanPath(info.absoluteFilePath());
    const QString key = identity + QLatin1Char('\n') + QString::number(info.size()) +
                        QLatin1Char('\n') +
                        QString::number(info.lastModified().toMSecsSinceEpoch());
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder() + QLatin1Char('/') + QString::fromLatin1(hash) + QStringLiteral(".png");
}

} // namespace ThumbnailCache
