#include "DecodeReference.h"

#include "../ffmpeg/FFmpegIO.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <chrono>

namespace ff::benchref {

using namespace ff::detail;

std::vector<double> keyFrameTimes(const std::string &path)
{
    std::vector<double> out;
    FormatPtr fmt = openLocalMedia(path);
    if (!fmt)
        return out;
    const int v = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v < 0)
        return out;
    AVStream *st = fmt->streams[v];
    const int n = avformat_index_get_entries_count(st);
    for (int i = 0; i < n; ++i) {
        const AVIndexEntry *e = avformat_index_get_entry(st, i);
        if (e && (e->flags & AVINDEX_KEYFRAME))
            out.push_back(double(e->timestamp) * av_q2d(st->time_base));
    }
    return out;
}

double bareAccessMs(const std::string &path, double targetSeconds)
{
    FormatPtr fmt = openLocalMedia(path);
    if (!fmt)
        return -1;
    const int v = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v < 0)
        return -1;
    AVStream *st = fmt->streams[v];
    CodecPtr codec = openDecoder(st, 0);
    if (!codec)
        return -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        fmt->streams[i]->discard = int(i) == v ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const int64_t target = int64_t(targetSeconds / av_q2d(st->time_base) + 0.5);
    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc()), shown(av_frame_alloc());
    bool haveShown = false;

    const auto start = std::chrono::steady_clock::now();
    av_seek_frame(fmt.get(), v, target, AVSEEK_FLAG_BACKWARD);
    bool eof = false;
    while (true) {
        const int rc = avcodec_receive_frame(codec.get(), frame.get());
        if (rc == 0) {
            if (frame->best_effort_timestamp > target)
                break;
            av_frame_unref(shown.get());
            av_frame_move_ref(shown.get(), frame.get());
            haveShown = true;
            continue;
        }
        if (rc == AVERROR_EOF || eof)
            break;
        if (av_read_frame(fmt.get(), pkt.get()) < 0) {
            eof = true;
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        if (pkt->stream_index == v)
            avcodec_send_packet(codec.get(), pkt.get());
        av_packet_unref(pkt.get());
    }
    if (!haveShown)
        return -1;
    SwsContext *sws =
        sws_getContext(shown->width, shown->height, AVPixelFormat(shown->format), shown->width,
                       shown->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    std::vector<uint8_t> rgba(size_t(shown->width) * size_t(shown->height) * 4);
    uint8_t *dst[4] = {rgba.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {shown->width * 4, 0, 0, 0};
    sws_scale(sws, shown->data, shown->linesize, 0, shown->height, dst, dstStride);
    const auto end = std::chrono::steady_clock::now();
    sws_freeContext(sws);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace ff::benchref
