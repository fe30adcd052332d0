#include "VideoDecoding.h"

#include "common/FrameRate.h"
#include "render/proxy/ProxyStore.h"

#include "bridge/Logger.h"
#include "media/MovieInfo.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<int> g_videoTasks{0};

VFrameInfo infoOf(const FrameSource &s, ff::VFramePtr frame)
{
    VFrameInfo info;
    info.frame = std::move(frame);
    info.crop = s.crop;
    info.id = s.id;
    info.transparency = s.transparency;
    info.temperature = s.temperature;
    info.saturation = s.saturation;
    info.hue = s.hue;
    info.brightness = s.brightness;
    info.contrast = s.contrast;
    info.highlight = s.highlight;
    info.fitMode = s.fitMode;
    info.x = s.x;
    info.y = s.y;
    info.width = s.width;
    info.height = s.height;
    info.rotation = s.rotation;
    return info;
}
} // namespace

namespace {
QSize shownSize(const ff::MovieCtx *movie)
{
    const ff::StreamCtx *video = movie ? movie->videoStream() : nullptr;
    return video ? QSize(video->width, video->height) : QSize();
}
} // namespace

VideoDecoderTask::VideoDecoderTask(const QString &path, bool useProxy)
    : m_path(path), m_useProxy(useProxy)
{
    ++g_videoTasks;
    BG_LOG_D("vedio DecoderTask");
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    m_shown = m_decodedShown = shownSize(movie);
    if (useProxy) {
        m_proxyGeneration = ProxyStore::generation();
        const QString proxy = ProxyStore::readyProxy(path);
        const ff::MovieCtx *small =
            proxy.isEmpty() ? nullptr : ff::getMovieInfo(proxy.toUtf8().constData());
        if (small && small->videoStream() && !m_shown.isEmpty() &&
            m_decoder.open(*small->videoStream())) {
            m_decodedShown = shownSize(small);
            return;
        }
    }
    if (movie && movie->videoStream())
        m_decoder.open(*movie->videoStream());
}

bool VideoDecoderTask::proxiesChanged() const
{
    return m_useProxy && ProxyStore::generation() != m_proxyGeneration;
}

VideoDecoderTask::~VideoDecoderTask()
{
    m_decoder.close();
    BG_LOG_D("~Vedio DecoderTask");
    --g_videoTasks;
}

int VideoDecoderTask::liveCount()
{
    return g_videoTasks;
}

ff::VFramePtr VideoDecoderTask::frame(int64_t time, const QSize &size)
{
    if (!m_decoder.isOpened())
        return nullptr;
    ff::VideoRequest request;
    request.time = ff::Rational(std::max<int64_t>(0, time), timebase::kFps);
    if (!size.isEmpty()) {
        request.width = size.width();
        request.height = size.height();
    }
    return m_decoder.getVideoFrame(request);
}

ff::VFramePtr VideoDecoderTask::frame(const FrameSource &source, const DecodeFit &fit, QRect *crop)
{
    *crop = source.crop;
    if (!m_decoder.isOpened())
        return nullptr;
    ff::VideoRequest request;
    request.time = ff::Rational(std::max<int64_t>(0, source.time), timebase::kFps);
    request.stillWanted = fit.stillWanted;
    if (!source.decodeSize.isEmpty() || m_shown.isEmpty() || m_decodedShown.isEmpty()) {
        request.width = source.decodeSize.width();
        request.height = source.decodeSize.height();
        request.yuvMatrix = fit.yuvMatrix;
        if (fit.partOnly && !source.crop.isEmpty() && !source.decodeSize.isEmpty()) {
            request.cropX = source.crop.x();
            request.cropY = source.crop.y();
            request.cropWidth = source.crop.width();
            request.cropHeight = source.crop.height();
            *crop = QRect();
        }
        return m_decoder.getVideoFrame(request);
    }
    // The crop in the decoded file's pixels (a proxy is the material made smaller).
    const QRect whole(QPoint(0, 0), m_shown);
    const QRect part = source.crop.isEmpty() ? whole : source.crop.intersected(whole);
    if (part.isEmpty())
        return m_decoder.getVideoFrame(request);
    const double kx = double(m_decodedShown.width()) / m_shown.width();
    const double ky = double(m_decodedShown.height()) / m_shown.height();
    const QRect decodedPart(int(part.x() * kx), int(part.y() * ky),
                            std::max(1, int(std::lround(part.width() * kx))),
                            std::max(1, int(std::lround(part.height() * ky))));
    // The size the part is drawn at, never more than it has.
    QSize out = decodedPart.size();
    if (fit.pixelsPerUnit > 0) {
        const QSizeF box(source.width * fit.pixelsPerUnit, source.height * fit.pixelsPerUnit);
        QSizeF drawn = box;
        if (source.fitMode == 1 && box.height() > 0)
            drawn = box.width() / box.height() >= double(part.width()) / part.height()
                        ? QSizeF(box.height() * part.width() / part.height(), box.height())
                        : QSizeF(box.width(), box.width() * part.height() / part.width());
        out = QSize(std::clamp(int(std::ceil(drawn.width())), 1, out.width()),
                    std::clamp(int(std::ceil(drawn.height())), 1, out.height()));
        // Nearly its own size: converted as it is (the direct converters are fastest).
        if (out.width() * 20 >= decodedPart.width() * 19 &&
            out.height() * 20 >= decodedPart.height() * 19)
            out = decodedPart.size();
    }
    const bool wholeFile = decodedPart == QRect(QPoint(0, 0), m_decodedShown);
    if (fit.partOnly && !wholeFile) {
        request.cropX = decodedPart.x();
        request.cropY = decodedPart.y();
        request.cropWidth = decodedPart.width();
        request.cropHeight = decodedPart.height();
        request.width = out.width();
        request.height = out.height();
        *crop = QRect();
        return m_decoder.getVideoFrame(request);
    }
    const double sx = double(out.width()) / decodedPart.width();
    const double sy = double(out.height()) / decodedPart.height();
    if (out != decodedPart.size()) {
        request.width = std::max(1, int(std::lround(m_decodedShown.width() * sx)));
        request.height = std::max(1, int(std::lround(m_decodedShown.height() * sy)));
    }
    *crop = wholeFile && out == decodedPart.size() && source.crop.isEmpty()
                ? QRect()
                : QRect(int(decodedPart.x() * sx), int(decodedPart.y() * sy), out.width(),
                        out.height());
    return m_decoder.getVideoFrame(request);
}

QList<VFrameInfo> VideoTaskManager::fetch(const VideoFrameData &request, const DecodeFit &fit)
{
    std::vector<std::unique_ptr<VideoDecoderTask>> carried;
    carried.swap(m_used);
    QList<VFrameInfo> out;
    const std::pair<const FrameSource *, int> sources[] = {
        {&request.current, DECODE_CURRENT}, {&request.from, DECODE_FROM}, {&request.to, DECODE_TO}};
    for (const auto &entry : sources) {
        const FrameSource *source = entry.first;
        const int bit = entry.second;
        if (!(request.decodeMask & bit) || source->path.isEmpty()) {
            out << VFrameInfo();
            continue;
        }
        VideoDecoderTask *task = nullptr;
        auto same = [source](const std::unique_ptr<VideoDecoderTask> &t) {
            return t->path() == source->path;
        };
        auto it = std::find_if(carried.begin(), carried.end(), same);
        if (it != carried.end() && (*it)->proxiesChanged()) {
            carried.erase(it); // opened again, with or without its proxy
            it = carried.end();
        }
        if (it != carried.end()) {
            m_used.push_back(std::move(*it));
            carried.erase(it);
            task = m_used.back().get();
        } else if ((it = std::find_if(m_used.begin(), m_used.end(), same)) != m_used.end()) {
            task = it->get(); // both sides of a transition in one file: one decoder
        } else {
            m_used.push_back(std::make_unique<VideoDecoderTask>(source->path, fit.useProxies));
            task = m_used.back().get();
        }
        QRect crop;
        ff::VFramePtr picture = task->frame(*source, fit, &crop);
        VFrameInfo info = infoOf(*source, std::move(picture));
        info.crop = crop;
        out << info;
    }
    return out; // the tasks left in `carried` are closed here
}

QStringList VideoTaskManager::paths() const
{
    QStringList out;
    for (const auto &t : m_used)
        out << t->path();
    return out;
}

void VideoTaskManager::clear()
{
    m_used.clear();
}
