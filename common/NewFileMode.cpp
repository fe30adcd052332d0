#include "NewFileMode.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QFileDevice::Permissions fromMode(unsigned mode)
{
    QFileDevice::Permissions p;
    const std::pair<unsigned, QFileDevice::Permissions> bits[] = {
        {0400, QFileDevice::ReadOwner | QFileDevice::ReadUser},
        {0200, QFileDevice::WriteOwner | QFileDevice::WriteUser},
        {0040, QFileDevice::ReadGroup},
        {0020, QFileDevice::WriteGroup},
        {0004, QFileDevice::ReadOther},
        {0002, QFileDevice::WriteOther}};
    for (const auto &[bit, flags] : bits)
        if (mode & bit)
            p |= flags;
    return p;
}

unsigned processUmask()
{
#ifdef Q_OS_UNIX
    // Linux tells it without changing it; elsewhere it is set and set back, once,
    // before other threads are likely to create files.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mask;
            }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return unsigned(mask);
#else
    return 0;
#endif
}

} // namespace

QFileDevice::Permissions newFilePermissions()
{
    static const unsigned mask = processUmask();
    return fromMode(0666u & ~mask);
}

bool setFinishedFileMode(const QString &made, const QString &replacing)
{
    const QFileInfo existing(replacing);
    const QFileDevice::Permissions mode = existing.exists() && !existing.isSymLink()
                                              ? QFile::permissions(replacing)
                                              : newFilePermissions();
    return QFile::setPermissions(made, mode);
}
