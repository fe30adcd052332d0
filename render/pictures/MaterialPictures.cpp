#include "MaterialPictures.h"

#include "common/ThumbnailCache.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
QString key(int kind, const QString &path)
{
    return QString::number(kind) + QLatin1Char(':') + path;
}
} // namespace

MaterialPictures &MaterialPictures::instance()
{
    static MaterialPictures *pictures = new MaterialPictures; // lives as long as the process
    return *pictures;
}

MaterialPictures::MaterialPictures()
{
    // One worker: pictures are filled in as they come, never at the cost of playback.
    m_pool.setMaxThreadCount(1);
}

MaterialPictures::~MaterialPictures()
{
    m_cancel = true;
    m_pool.waitForDone();
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
    if (path.isEmpty() || m_wanted.contains(key(kind, path)))
        return;
    m_wanted.insert(key(kind, path));
    m_pool.start([this, path, kind] {
        Done done{path, kind, nullptr, nullptr};
        if (kind == Peaks) {
            const QString file = peaksFile(path);
            auto peaks = std::make_shared<WaveformPeaks>(WaveformPeaks::load(file));
            if (peaks->isEmpty() && !m_cancel) {
                *peaks = WaveformPeaks::compute(path, &m_cancel);
                if (!peaks->isEmpty())
                    peaks->save(file); // a cache: a failed write only costs the next start
            }
            done.peaks = std::move(peaks);
        } else {
            const QString file = filmstripFile(path);
            auto strip = std::make_shared<Filmstrip>(Filmstrip::load(file));
            if (strip->isEmpty() && !m_cancel) {
                *strip = Filmstrip::compute(path, &m_cancel);
                if (!strip->isEmpty())
                    strip->save(file);
            }
            done.strip = std::move(strip);
        }
        {
            std::lock_guard<std::mutex> lock(m_doneMutex);
            m_done.push_back(std::move(done));
        }
        QMetaObject::invokeMethod(this, "takeDone", Qt::QueuedConnection);
    });
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
    m_pool.waitForDone();
    takeDone();
}
