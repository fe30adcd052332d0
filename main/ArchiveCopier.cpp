#include "ArchiveCopier.h"

#include "common/Translate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {
constexpr qint64 kChunk = 1 << 20;
}

ArchiveCopier::ArchiveCopier(QList<ArchiveCopy> plan, const std::atomic<bool> &cancel)
    : m_plan(std::move(plan)), m_cancel(cancel)
{}

QString ArchiveCopier::run(const Progress &progress)
{
    m_progress = progress;
    m_total = 0;
    m_done = 0;
    for (const ArchiveCopy &copy : qAsConst(m_plan))
        if (!QFileInfo::exists(copy.to))
            m_total += QFileInfo(copy.from).size();
    report();

    QString error;
    QStringList made;
    for (const ArchiveCopy &copy : qAsConst(m_plan)) {
        if (QFileInfo::exists(copy.to)) // kept from an earlier archive of this name
            continue;
        if (!copyOne(copy, error))
            break;
        made << copy.to;
    }
    if (!error.isEmpty())
        for (const QString &path : qAsConst(made))
            QFile::remove(path);
    return error;
}

namespace {
// Why a file operation failed: the system's reason when Qt has none of its own (a
// full disk during a flush or close leaves Qt's text at "Unknown error").
QString reasonOf(const QFileDevice &file, int systemError)
{
    const QString qt = file.errorString();
    if (systemError && (qt.isEmpty() || qt == QLatin1String("Unknown error")))
        return QString::fromLocal8Bit(std::strerror(systemError));
    return qt;
}
} // namespace

bool ArchiveCopier::copyOne(const ArchiveCopy &copy, QString &error)
{
    QFile source(copy.from);
    QFile target(copy.to);
    bool opened = false; // only a file this run made is removed again
    auto fail = [&](const QString &why) {
        if (opened) {
            target.close();
            target.remove();
        }
        error = ZTR("archivedialog.CopyFailed").arg(QDir::toNativeSeparators(copy.from), why);
        return false;
    };
    if (!source.open(QIODevice::ReadOnly))
        return fail(source.errorString());
    QDir().mkpath(QFileInfo(copy.to).absolutePath());
    // NewOnly: a file that appeared meanwhile is somebody else's and is not overwritten.
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(target.errorString());
    opened = true;
    QByteArray chunk;
    for (;;) {
        if (m_cancel) {
            fail(QString());
            error = ZTR("archivedialog.Cancelled");
            return false;
        }
        chunk = source.read(kChunk);
        if (chunk.isEmpty()) {
            if (source.error() != QFileDevice::NoError)
                return fail(source.errorString());
            break;
        }
        errno = 0;
        if (target.write(chunk) != chunk.size())
            return fail(reasonOf(target, errno));
        m_done += chunk.size();
        report();
    }
    // Data still buffered is written here, where a full disk shows up too.
    errno = 0;
    if (!target.flush())
        return fail(reasonOf(target, errno));
    errno = 0;
    target.close();
    if (target.error() != QFileDevice::NoError)
        return fail(reasonOf(target, errno));
    target.setPermissions(source.permissions());
    return true;
}

void ArchiveCopier::report()
{
    if (!m_progress)
        return;
    const qint64 step = m_total > 0 ? m_done * 1000 / m_total : 1000;
    if (step == m_lastReported)
        return;
    m_lastReported = step;
    m_progress(m_done, m_total);
}
