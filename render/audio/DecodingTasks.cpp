#include "DecodingTasks.h"

#include "common/FrameRate.h"

#include "AudioMixerPlayer.h"

#include "bridge/Logger.h"
#include "media/MovieInfo.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<int> g_videoTasks{0};
std::atomic<int> g_audioTasks{0};

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

// ---- video ---------------------------------------------------------------------

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

// ---- audio ---------------------------------------------------------------------

AudioDecoderTask::AudioDecoderTask(const QString &path) : m_path(path)
{
    ++g_audioTasks;
    BG_LOG_D("Audio DecoderTask");
    const ff::MovieCtx *movie = ff::getMovieInfo(path.toUtf8().constData());
    if (movie)
        for (const ff::StreamCtx &s : movie->streams)
            m_audioStreams += s.kind == ff::StreamKind::Audio;
    if (m_audioStreams > 0) {
        const ff::AudioMixer::Format f = AudioMixerPlayer::instance().format();
        const bool opened = m_decoder.open(*movie->audioStream(), f.sampleRate, f.channels);
        BG_LOG_D("Success: %d", int(opened));
    }
}

AudioDecoderTask::~AudioDecoderTask()
{
    BG_LOG_D("~Audio DecoderTask");
    m_decoder.close();
    --g_audioTasks;
}

int AudioDecoderTask::liveCount()
{
    return g_audioTasks;
}

void AudioDecoderTask::decode(const ff::Rational &position, int volume)
{
    if (m_audioStreams <= 0 || !m_decoder.isOpened())
        return;
    // Exactly as many samples as the mixer's range holds, so that consecutive ranges
    // tile the file without a gap or a repeat whatever the clip's offset.
    AudioMixerPlayer &mixer = AudioMixerPlayer::instance();
    const int rate = mixer.format().sampleRate;
    const int64_t first = position.toSamples(rate);
    const ff::AFramePtr slice = m_decoder.getAudioFrame(
        {ff::Rational(first, rate), ff::Rational(first + mixer.rangeSamples(), rate)});
    if (slice)
        mixer.add(this, *slice, volume);
}

void AudioTaskManager::decode(QList<AudioFrameData> &list)
{
    for (auto it = m_tasks.begin(); it != m_tasks.end();) {
        auto entry = std::find_if(list.begin(), list.end(),
                                  [&](const AudioFrameData &a) { return a.path == (*it)->path(); });
        if (entry == list.end()) {
            it = m_tasks.erase(it);
            continue;
        }
        (*it)->decode(entry->position, entry->volume);
        list.erase(entry);
        ++it;
    }
    for (const AudioFrameData &entry : list) {
        m_tasks.push_back(std::make_unique<AudioDecoderTask>(entry.path));
        m_tasks.back()->decode(entry.position, entry.volume);
    }
    list.clear();
}

QStringList AudioTaskManager::paths() const
{
    QStringList out;
    for (const auto &t : m_tasks)
        out << t->path();
    return out;
}
