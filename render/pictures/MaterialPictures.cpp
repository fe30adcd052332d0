#include "MaterialPictures.h"

#include "common/ThumbnailCache.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>

namespace {
QString key(int kind, const QString &path)
{
    return QString::number(kind) + QLatin1Char(':') + path;
}
} // namespace

MaterialPictures &MaterialPictures::instance()
{
    // Made on first use (main thread); lives as long as the process, its worker as
    // long as the application object.
    static MaterialPictures *pictures = [] {
        auto *p = new MaterialPictures;
        qAddPostRoutine([] { MaterialPictures::instance().stop(); });
        return p;
    }();
    return *pictures;
}

MaterialPictures::MaterialPictures()
{
    m_worker.start();
}

MaterialPictures::~MaterialPictures()
{
    stop();
}

void MaterialPictures::stop()
{
    m_worker.stop();
}

QString MaterialPictures::peaksFile(const QString &materialPath)
{
    QString file = ThumbnailCache::pathFor(materialPath);
    file.chop(4); // ".png"
    return file + QStringLiteral(".peaks");
}

QString MaterialPictures::filmstripFile(const QString &materialPath)
{
    QString file = ThumbnailCache::pathFor(materialPath);
    file.chop(4);
    return file + QStringLiteral("-strip.png");
}

const WaveformPeaks *MaterialPictures::peaks(const QString &materialPath)
{
    auto it = m_peaks.constFind(materialPath);
    if (it != m_peaks.constEnd())
        return it->get();
    request(materialPath, Peaks);
    return nullptr;
}

const Filmstrip *MaterialPictures::filmstrip(const QString &materialPath)
{
    auto it = m_strips.constFind(materialPath);
    if (it != m_strips.constEnd())
        return it->get();
    request(materialPath, Strip);
    return nullptr;
}

void MaterialPictures::request(const QString &path, Kind kind)
{
    if (path.isEmpty() || m_worker.stopping() || m_wanted.contains(key(kind, path)))
        return;
    m_wanted.insert(key(kind, path));
    // A waveform is read in a moment, a filmstrip decodes the whole video: waveforms
    // go first, so that a fresh voice-over shows its own at once.
    if (kind == Peaks)
        m_worker.add({path, kind}, [](const Job &queued) { return queued.kind != Peaks; });
    else
        m_worker.add({path, kind});
}

MaterialPictures::Done MaterialPictures::make(const Job &job, const std::atomic<bool> &cancel)
{
    Done done{job.path, job.kind, nullptr, nullptr};
    if (job.kind == Peaks) {
        const QString file = peaksFile(job.path);
        auto peaks = std::make_shared<WaveformPeaks>(WaveformPeaks::load(file));
        if (peaks->isEmpty() && !cancel) {
            *peaks = WaveformPeaks::compute(job.path, &cancel);
            if (!peaks->isEmpty())
                peaks->save(file); // a cache: a failed write only costs the next start
        }
        done.peaks = std::move(peaks);
    } else {
        const QString file = filmstripFile(job.path);
        auto strip = std::make_shared<Filmstrip>(Filmstrip::load(file));
        if (strip->isEmpty() && !cancel) {
            *strip = Filmstrip::compute(job.path, &cancel);
            if (!strip->isEmpty())
                strip->save(file);
        }
        done.strip = std::move(strip);
    }
    return done;
}

void MaterialPictures::work(const Job &job)
{
    Done done = make(job, m_worker.stopFlag());
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_done.push_back(std::move(done));
    }
    // By name, without arguments: the results cross in the mailbox.
    QMetaObject::invokeMethod(this, "takeDone", Qt::QueuedConnection);
}

void MaterialPictures::takeDone()
{
    std::vector<Done> done;
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        done.swap(m_done);
    }
    for (Done &d : done) {
        m_wanted.remove(key(d.kind, d.path));
        // A material without sound or picture keeps an empty entry: asked once.
        if (d.kind == Peaks)
            m_peaks.insert(d.path, std::move(d.peaks));
        else
            m_strips.insert(d.path, std::move(d.strip));
        emit sig_ready(d.path);
    }
}

void MaterialPictures::waitForAll()
{
    m_worker.waitUntilIdle();
    takeDone();
}
