#pragma once
// The timeline's pictures of each material: its sound's waveform peaks and its
// video's filmstrip. Asked for by path while the timeline is drawn: what is ready
// is returned at once; what is not is read from the cache beside the thumbnails,
// or computed, on a worker thread, and `sig_ready` tells the views to draw again.
// Lives on: main thread (the results and the wanted list); one worker thread of its
// own (a JobWorker) takes paths from its queue and hands back plain values through a
// mailbox under a standard mutex. The worker stops when the application object goes.

#include "Filmstrip.h"
#include "WaveformPeaks.h"
#include "common/JobWorker.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class MaterialPictures : public QObject {
    Q_OBJECT
public:
    static MaterialPictures &instance();
    ~MaterialPictures() override;

    // Null until ready (the request is then under way).
    const WaveformPeaks *peaks(const QString &materialPath);
    const Filmstrip *filmstrip(const QString &materialPath);
    // Blocks until every request made so far is answered (benchmarks and tests).
    void waitForAll();

    // The cache files of a material (they may not exist yet).
    static QString peaksFile(const QString &materialPath);
    static QString filmstripFile(const QString &materialPath);

signals:
    // The pictures of this material are ready to draw.
    void sig_ready(const QString &materialPath);

private:
    enum Kind { Peaks, Strip };
    struct Done {
        QString path;
        Kind kind;
        std::shared_ptr<WaveformPeaks> peaks;
        std::shared_ptr<Filmstrip> strip;
    };
    struct Job {
        QString path;
        Kind kind;
    };
    MaterialPictures();
    void request(const QString &path, Kind kind);
    void work(const Job &job); // on the worker thread
    static Done make(const Job &job, const std::atomic<bool> &cancel);
    void stop(); // ends the worker (the application object is going)
    Q_INVOKABLE void takeDone();

    QHash<QString, std::shared_ptr<const WaveformPeaks>> m_peaks;
    QHash<QString, std::shared_ptr<const Filmstrip>> m_strips;
    QSet<QString> m_wanted; // kind + path, asked and not yet answered
    std::mutex m_doneMutex; // the mailbox: results made, not yet taken
    std::vector<Done> m_done;
    JobWorker<Job> m_worker{[this](const Job &job) { work(job); }}; // last: it uses the rest
};
