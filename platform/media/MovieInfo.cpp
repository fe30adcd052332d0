#include "MovieInfo.h"

#include "FFDecoder.h"
#include "ffmpeg/FFmpegIO.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <mutex>

namespace ff {

namespace {

struct CacheEntry {
    int64_t size = -1;
    int64_t mtimeNs = 0;
    std::unique_ptr<MovieCtx> movie; // null: the file could not be read
};

std::mutex g_cacheMutex;
// Entries are replaced, never erased, so returned descriptions stay valid.
std::map<std::string, std::vector<std::unique_ptr<CacheEntry>>> g_cache;

std::unique_ptr<MovieCtx> describe(const std::string &path)
{
    detail::FormatPtr fmt = detail::openLocalMedia(path);
    if (!fmt)
        return nullptr;
    auto movie = std::make_unique<MovieCtx>();
    movie->path = path;
    movie->formatName = fmt->iformat ? fmt->iformat->name : "";
    movie->durationUs = fmt->duration == AV_NOPTS_VALUE ? 0 : fmt->duration;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream *st = fmt->streams[i];
        StreamCtx s;
        s.index = int(i);
        s.timeBase = Rational(st->time_base.num, st->time_base.den);
        s.duration =
            st->duration != AV_NOPTS_VALUE
                ? st->duration
                : av_rescale_q(movie->durationUs, AVRational{1, AV_TIME_BASE}, st->time_base);
        switch (st->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            s.kind = StreamKind::Video;
            {
                const detail::Geometry g = detail::geometryOf(st);
                s.width = g.shownWidth();
                s.height = g.shownHeight();
                s.codedWidth = st->codecpar->width;
                s.codedHeight = st->codecpar->height;
                s.quarterTurns = g.quarterTurns;
            }
            if (st->avg_frame_rate.den > 0)
                s.frameRate = av_q2d(st->avg_frame_rate);
            s.codec = avcodec_get_name(st->codecpar->codec_id);
            break;
        case AVMEDIA_TYPE_AUDIO:
            s.kind = StreamKind::Audio;
            s.sampleRate = st->codecpar->sample_rate;
            s.channels = st->codecpar->ch_layout.nb_channels;
            break;
        default:
            break;
        }
        movie->streams.push_back(s);
    }
    // Cover art is not the picture of a video.
    const int v = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v >= 0 && !(fmt->streams[v]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        movie->videoIndex = v;
    const int a = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (a >= 0)
        movie->audioIndex = a;
    for (StreamCtx &s : movie->streams)
        s.movie = movie.get();
    return movie;
}

} // namespace

const MovieCtx *getMovieInfo(const char *path, const std::atomic<bool> *cancel)
{
    if (!path || !*path || (cancel && *cancel))
        return nullptr;
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    const int64_t mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = g_cache.find(path);
        if (it != g_cache.end() && !it->second.empty()) {
            const CacheEntry &e = *it->second.back();
            if (e.size == st.st_size && e.mtimeNs == mtimeNs)
                return e.movie.get();
        }
    }
    // Probed outside the lock: probing can take a while and other threads may ask too.
    auto entry = std::make_unique<CacheEntry>();
    entry->size = st.st_size;
    entry->mtimeNs = mtimeNs;
    entry->movie = describe(path);
    if (cancel && *cancel)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    const MovieCtx *result = entry->movie.get();
    g_cache[path].push_back(std::move(entry));
    return result;
}

VFramePtr getMovieImage(const char *path, const ImageRequest &request, int64_t *timeUs)
{
    const MovieCtx *movie = getMovieInfo(path);
    if (!movie || !movie->videoStream())
        return nullptr;
    const StreamCtx &vs = *movie->videoStream();
    FFDecoder decoder;
    if (!decoder.open(vs))
        return nullptr;
    const double fraction = std::clamp(request.position, 0.0, 1.0);
    const int64_t us = int64_t(fraction * double(movie->durationUs));
    VFramePtr frame = decoder.getVideoFrame({Rational(us, 1000000)});
    if (!frame)
        return nullptr;
    if (timeUs)
        *timeUs = frame->ptsUs;
    if (request.width <= 0 || request.height <= 0)
        return frame;

    // Fit inside the box, aspect ratio kept.
    const double scale =
        std::min(double(request.width) / frame->width, double(request.height) / frame->height);
    const int w = std::max(1, int(frame->width * scale + 0.5));
    const int h = std::max(1, int(frame->height * scale + 0.5));
    SwsContext *sws = sws_getContext(frame->width, frame->height, AV_PIX_FMT_RGBA, w, h,
                                     AV_PIX_FMT_RGBA, SWS_AREA, nullptr, nullptr, nullptr);
    if (!sws)
        return nullptr;
    auto out = std::make_shared<VFrameCtx>();
    out->allocate(w, h);
    out->ptsUs = frame->ptsUs;
    const uint8_t *src[4] = {frame->data(), nullptr, nullptr, nullptr};
    int srcStride[4] = {frame->stride, 0, 0, 0};
    uint8_t *dst[4] = {out->data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {out->stride, 0, 0, 0};
    sws_scale(sws, src, srcStride, 0, frame->height, dst, dstStride);
    sws_freeContext(sws);
    return out;
}

} // namespace ff
