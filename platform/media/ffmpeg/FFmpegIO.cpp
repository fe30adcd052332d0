#include "FFmpegIO.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace ff::detail {

namespace {

// Demuxers for the media people edit. Playlists, concatenation lists, image
// sequences with patterns and other formats that open further files are absent.
constexpr const char *kFormatWhitelist =
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,flv,mpegts,mpeg,asf,ogg,wav,mp3,aac,flac,"
    "ac3,eac3,w64,aiff,amr,gif,apng,image2,png_pipe,jpeg_pipe,bmp_pipe,webp_pipe,tiff_pipe,"
    "h264,hevc,m4v,mjpeg,caf";

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void quietLogs()
{
    // The library reports failures through its results; FFmpeg's chatter stays off.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

FormatPtr openLocalMedia(const std::string &path)
{
    quietLogs();
    if (!isRegularFile(path))
        return nullptr;
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return nullptr;
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "protocol_whitelist", "file", 0);
    av_dict_set(&opts, "format_whitelist", kFormatWhitelist, 0);
    av_dict_set(&opts, "pattern_type", "none", 0); // image2: the name is one file
    av_dict_set(&opts, "enable_drefs", "0", 0);    // mov: no external references
    // The "file:" prefix keeps names such as "concat:x" or "http:x" local paths.
    const std::string url = "file:" + path;
    const int rc = avformat_open_input(&raw, url.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (rc < 0)
        return nullptr; // avformat_open_input frees the context on failure
    FormatPtr fmt(raw);
    if (avformat_find_stream_info(fmt.get(), nullptr) < 0)
        return nullptr;
    return fmt;
}

CodecPtr openDecoder(const AVStream *stream, int threads)
{
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0)
        return nullptr;
    ctx->pkt_timebase = stream->time_base;
    ctx->thread_count = threads;
    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return nullptr;
    return ctx;
}

Geometry geometryOf(const AVStream *stream)
{
    Geometry g;
    const AVCodecParameters *par = stream->codecpar;
    g.width = par->width;
    g.height = par->height;
    AVRational sar = stream->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0)
        sar = par->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den && g.width > 0)
        g.width = std::max(1, int(std::lround(double(g.width) * sar.num / sar.den)));
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix) {
        // The matrix turns counter-clockwise; pictures are turned back clockwise.
        const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        if (std::isfinite(angle)) {
            const long quarters = std::lround(angle / 90.0);
            g.quarterTurns = int(((quarters % 4) + 4) % 4);
        }
    }
    return g;
}

void ConverterCloser::operator()(SwsContext *c) const
{
    sws_freeContext(c);
}

bool isHd(int width, int height)
{
    return width >= 1280 || height >= 720;
}

ConverterPtr makeConverter(int srcWidth, int srcHeight, int srcFormat, int dstWidth, int dstHeight,
                           int dstFormat, int flags, int matrix, bool yuvFullRange)
{
    ConverterPtr sws(sws_alloc_context());
    if (!sws)
        return nullptr;
    av_opt_set_int(sws.get(), "srcw", srcWidth, 0);
    av_opt_set_int(sws.get(), "srch", srcHeight, 0);
    av_opt_set_int(sws.get(), "src_format", srcFormat, 0);
    av_opt_set_int(sws.get(), "dstw", dstWidth, 0);
    av_opt_set_int(sws.get(), "dsth", dstHeight, 0);
    av_opt_set_int(sws.get(), "dst_format", dstFormat, 0);
    av_opt_set_int(sws.get(), "sws_flags", flags, 0);
    av_opt_set_int(sws.get(), "threads", 0, 0); // one slice per core
    if (sws_init_context(sws.get(), nullptr, nullptr) < 0)
        return nullptr;
    auto isRgb = [](int format) {
        const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(format));
        return d && (d->flags & AV_PIX_FMT_FLAG_RGB);
    };
    int *inverse = nullptr, *table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if ((isRgb(srcFormat) && isRgb(dstFormat)) ||
        sws_getColorspaceDetails(sws.get(), &inverse, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation) < 0)
        return sws; // no YUV side: no matrix to choose
    const int *coefficients = sws_getCoefficients(matrix);
    if (!isRgb(srcFormat)) {
        inverse = const_cast<int *>(coefficients);
        srcRange = yuvFullRange;
    } else {
        srcRange = 1;
    }
    if (!isRgb(dstFormat)) {
        table = const_cast<int *>(coefficients);
        dstRange = yuvFullRange;
    }
    sws_setColorspaceDetails(sws.get(), inverse, srcRange, table, dstRange, brightness, contrast,
                             saturation);
    return sws;
}

FramePtr wrapPicture(const uint8_t *data, int stride, int width, int height, int format)
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    auto *bytes = const_cast<uint8_t *>(data);
    frame->buf[0] = av_buffer_create(
        bytes, int(size_t(stride) * size_t(height)), [](void *, uint8_t *) {}, nullptr, 0);
    if (!frame->buf[0])
        return nullptr;
    frame->data[0] = bytes;
    frame->linesize[0] = stride;
    return frame;
}

FramePtr wrapPicture(VFrameCtx &picture)
{
    if (!picture.yuv)
        return wrapPicture(picture.data(), picture.stride, picture.width, picture.height,
                           AV_PIX_FMT_RGBA);
    FramePtr frame(av_frame_alloc());
    if (!frame)
        return nullptr;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = picture.width;
    frame->height = picture.height;
    // One buffer holds the three planes.
    frame->buf[0] = av_buffer_create(
        picture.data(), int(picture.pixels.size()), [](void *, uint8_t *) {}, nullptr, 0);
    if (!frame->buf[0])
        return nullptr;
    for (int i = 0; i < 3; ++i) {
        frame->data[i] = picture.plane(i);
        frame->linesize[i] = picture.planeStride(i);
    }
    return frame;
}

} // namespace ff::detail
