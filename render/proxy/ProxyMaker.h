#pragma once
// Makes the materials' proxies in the background: for footage this machine cannot
// decode in time for playback (a heavy format such as 4K HEVC or 4K above 30 fps,
// or a file whose first second decodes slower than one and a half times its rate),
// or for any video when the user asks. A proxy is the material at most 960 pixels
// wide, at the timeline's 30 fps, a key frame every half second, without sound,
// made at the lowest priority and written under a temporary name that becomes its
// own only when complete. A file with a proxy that changes gets it made again.
// Lives on: main thread (requests, progress signals); its worker thread (a JobWorker)
// decodes and encodes, reporting back through queued calls.

#include "common/JobWorker.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

class ProxyMaker : public QObject {
    Q_OBJECT
public:
    enum class Want { IfHeavy, Always };
    explicit ProxyMaker(QObject *parent = nullptr);
    // Stops the worker; a proxy being made is left unfinished (nothing of it stays).
    ~ProxyMaker() override;
    // The editor's maker (the first one made and not yet destroyed), or null.
    static ProxyMaker *instance();

    // Queues `source` (a video); does nothing when proxies are off, it has one or
    // it is queued already.
    void request(const QString &source, Want want = Want::IfHeavy);
    // Cancels its making and removes its proxy.
    void drop(const QString &source);
    // Proxies on or off; off cancels everything and removes every proxy.
    void setEnabled(bool on);

    // -1: no proxy and none being made; 0..99: being made (0 also while it waits);
    // 100: ready.
    int progressOf(const QString &source) const;
    // What the worker decided for a file: a heavy format, or too slow a decode.
    static bool heavyFormat(const QString &source);
    // Pictures a second the first second of `source` decodes at, at proxy size.
    static double measuredDecodeRate(const QString &source);
    // Makes the proxy of `source` at `target` (written under a temporary name in
    // its folder first); `progress` gets 0..100, `cancelled` is polled. The time
    // it took in seconds, or a negative number when it failed or was cancelled.
    static double make(const QString &source, const QString &target,
                       const std::function<void(int)> &progress,
                       const std::function<bool()> &cancelled);

signals:
    // A proxy's making moved on (percent), finished (made) or was given up.
    void sig_progress(const QString &source, int percent);
    void sig_finished(const QString &source, bool made);

private:
    struct Job {
        QString source;
        Want want;
    };
    struct Report {
        QString source;
        int percent;
        bool finished, made;
    };
    void makeOne(const Job &job); // on the worker thread
    // Queues again the sources whose proxy file changed (worker thread, while idle).
    void requeueChanged(std::deque<Job> &queue);
    void report(const QString &source, int percent, bool finished, bool made);
    void deliverReports(); // main thread

    std::mutex m_mutex; // guards the two below; taken after the worker's lock, never before
    // Sources with a proxy made or found, and its file then.
    QHash<QString, QString> m_made;
    std::deque<Report> m_reports; // from the worker
    // The job running is to stop (set under the worker's lock, cleared as a job is taken).
    std::atomic<bool> m_cancelCurrent{false};
    QHash<QString, int> m_progress;                                    // main thread
    JobWorker<Job> m_worker{[this](const Job &job) { makeOne(job); }}; // last: it uses the rest
};
