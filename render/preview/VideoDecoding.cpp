#include "VideoDecoding.h"

#include "common/FrameRate.h"

#include "bridge/Logger.h"
#include "media/MovieInfo.h"

#include <algorithm>
#include <atomic>

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

VideoDecoderTask::VideoDecoderTask(const QString &path) : m_path(path)
{
    ++g_videoTasks;
    BG_LOG_D("vedio DecoderTask");
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    if (movie && movie->videoStream())
        m_decoder.open(*movie->videoStream());
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

QList<VFrameInfo> VideoTaskManager::fetch(const VideoFrameData &request)
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
        if (it != carried.end()) {
            m_used.push_back(std::move(*it));
            carried.erase(it);
            task = m_used.back().get();
        } else if ((it = std::find_if(m_used.begin(), m_used.end(), same)) != m_used.end()) {
            task = it->get(); // both sides of a transition in one file: one decoder
        } else {
            m_used.push_back(std::make_unique<VideoDecoderTask>(source->path));
            task = m_used.back().get();
        }
        out << infoOf(*source, task->frame(source->time, source->decodeSize));
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
