#include "ArchivePlan.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// The same material: equal size and equal bytes at its start and end (a full
// comparison would read every video twice).
bool sameFile(const QFileInfo &a, const QFileInfo &b)
{
    if (a.size() != b.size())
        return false;
    QFile fa(a.absoluteFilePath()), fb(b.absoluteFilePath());
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kProbe = 64 * 1024;
    if (fa.read(kProbe) != fb.read(kProbe))
        return false;
    const qint64 tail = std::max<qint64>(0, a.size() - kProbe);
    return fa.seek(tail) && fb.seek(tail) && fa.read(kProbe) == fb.read(kProbe);
}

} // namespace

QString ArchivePlan::copyOf(const QString &material)
{
    for (const ArchiveCopy &copy : qAsConst(m_copies))
        if (copy.from == material)
            return copy.to;
    const QString folder = m_folder + QStringLiteral("/resource");
    const QFileInfo source(material);
    for (int n = 1;; ++n) {
        const QString name =
            n == 1 ? source.fileName()
                   : source.completeBaseName() + QStringLiteral("-%1").arg(n) +
                         (source.suffix().isEmpty() ? QString() : "." + source.suffix());
        const QString target = folder + "/" + name;
        const bool planned = std::any_of(m_copies.begin(), m_copies.end(),
                                         [&](const ArchiveCopy &c) { return c.to == target; });
        const QFileInfo there(target);
        if (planned || (there.exists() && !sameFile(source, there)))
            continue;
        m_copies.append({material, target});
        return target;
    }
}
