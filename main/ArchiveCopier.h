#pragma once
// Copies the material files an archive needs, in chunks, so that progress can be
// shown in bytes and a cancel takes effect within one chunk even for a large video.
// Lives on: the archive's worker (a pool thread); it shares nothing but the flag.

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

struct ArchiveCopy {
    QString from, to;
};

class ArchiveCopier {
public:
    // Called with the bytes copied so far and the total, at most once per thousandth.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    ArchiveCopier(QList<ArchiveCopy> plan, const std::atomic<bool> &cancel);

    // Makes every copy whose target is not there yet. On failure or cancel the
    // copies this run made are removed again and the reason is returned;
    // an empty string means every copy is in place.
    QString run(const Progress &progress);

private:
    bool copyOne(const ArchiveCopy &copy, QString &error);
    void report();

    QList<ArchiveCopy> m_plan;
    const std::atomic<bool> &m_cancel;
    Progress m_progress;
    qint64 m_total = 0;
    qint64 m_done = 0;
    qint64 m_lastReported = -1;
};
