#include "FFDecoder.h"

#include "ffmpeg/FFmpegIO.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace ff {

using namespace detail;

namespace {

struct SwrCloser {
    void operator()(SwrContext *c) const { swr_free(&c); }
};

constexpr int kMaxSeekRetries = 4;
// Pictures skipped after a seek while waiting for a key frame before the seek is
// given up (about half a minute of video).
constexpr int kMaxSkippedPackets = 1000;
constexpr size_t kPoolSize = 4;
// Sound this far ahead of what is buffered is reached by decoding on, not seeking.
constexpr int64_t kAudioForwardSeconds = 2;

} // namespace

struct FFDecoder::Impl {
    std::string path;
    FormatPtr fmt;
    bool rewindByReopening = false;
    CodecPtr codec;
    PacketPtr packet{av_packet_alloc()};
    AVStream *stream = nullptr;
    int streamIndex = -1;
    AVRational tb{1, 1};
    int64_t startPts = 0;
    int64_t frameTicks = 1; // one video frame in stream ticks
    int64_t firstPts = 0;   // the stream's first picture (video may start after the sound)
    bool demuxEof = false;  // no more packets
    bool decodeEof = false; // decoder drained
    // After a seek into the middle of a stream, packets before the next key frame
    // and pictures decoded without their references are skipped.
    bool awaitKey = false;    // packets until the next key frame are dropped
    int skippedPackets = 0;   // dropped so far while waiting for one
    bool skipCorrupt = false; // pictures until the first whole one are dropped
    Stats stats;

    // ---- video state ----
    FramePtr cur{av_frame_alloc()};  // latest frame with pts <= target
    FramePtr next{av_frame_alloc()}; // first frame past the target, held back
    bool hasCur = false, hasNext = false;
    int64_t curPts = 0, nextPts = 0;
    ConverterPtr sws;
    int swsWidth = 0, swsHeight = 0, swsFormat = -1, swsMatrix = -1, swsFullRange = -1;
    int swsOutWidth = 0, swsOutHeight = 0;
    int wantWidth = 0, wantHeight = 0; // the size asked for, as shown (0: the shown size)
    int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0; // the part asked for, as shown
    FramePtr cropped{av_frame_alloc()};        // a reference to the asked part of a picture
    int64_t lastImageCrop = 0;                 // the part lastImage holds (packed)
    int lastWantWidth = 0, lastWantHeight = 0; // the size lastImage was asked at
    int yuvMatrix = 0;                         // the YUV asked for (0: RGBA)
    int lastYuvMatrix = 0;                     // the YUV lastImage was asked in
    ConverterPtr yuvSws;                       // into YUV 4:2:0 (the requests with yuvMatrix)
    int yuvKey[6] = {0, 0, -1, -1, 0, 0};      // its input size, format, range and output size
    Geometry geometry;    // square pixels and the turn the pictures are shown with
    PixelBuffer turnable; // the converted picture before it is turned upright
    int turnableStride = 0;
    std::vector<std::shared_ptr<VFrameCtx>> pool;
    VFramePtr lastImage;
    int64_t lastImagePts = INT64_MIN;

    // ---- audio state ----
    int outRate = 44100;
    int outChannels = 2;
    std::unique_ptr<SwrContext, SwrCloser> swr;
    int swrInRate = 0, swrInFormat = -1, swrInChannels = 0;
    std::vector<int16_t> fifo; // interleaved, starting at fifoStart
    std::vector<int16_t, AlignedAllocator<int16_t>> swrScratch;
    int64_t fifoStart = 0;
    bool fifoAnchored = false; // fifoStart known from a decoded frame's time

    int64_t fifoEnd() const { return fifoStart + int64_t(fifo.size()) / outChannels; }

    bool open(const StreamCtx &s, int rate, int channels, int threads)
    {
        if (!s.movie)
            return false;
        path = s.movie->path;
        streamIndex = s.index;
        if (!openFormat())
            return false;
        codec = openDecoder(stream, threads);
        if (!codec)
            return false;
        tb = stream->time_base;
        // Positions count from the start of the media as a whole, so the streams of
        // one file stay in step.
        startPts = fmt->start_time == AV_NOPTS_VALUE
                       ? 0
                       : av_rescale_q(fmt->start_time, AVRational{1, AV_TIME_BASE}, tb);
        firstPts = stream->start_time == AV_NOPTS_VALUE ? startPts : stream->start_time;
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            geometry = geometryOf(stream);
        if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
            frameTicks =
                std::max<int64_t>(1, av_rescale_q(1, av_inv_q(stream->avg_frame_rate), tb));
        outRate = rate > 0 ? rate : 44100;
        outChannels = channels > 0 ? channels : 2;
        return true;
    }

    bool openFormat()
    {
        FormatPtr opened = openLocalMedia(path);
        if (!opened || streamIndex < 0 || unsigned(streamIndex) >= opened->nb_streams)
            return false; // a reopening that fails keeps the old context (at its end)
        fmt = std::move(opened);
        stream = fmt->streams[streamIndex];
        for (unsigned i = 0; i < fmt->nb_streams; ++i)
            fmt->streams[i]->discard = int(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        // The single-picture demuxer answers a seek to its start with an empty stream.
        rewindByReopening = std::strcmp(fmt->iformat->name, "image2") == 0;
        return true;
    }

    // Next decoded frame into `out`; false at the end of the stream or on a hard error.
    bool decodeOne(AVFrame *out)
    {
        for (;;) {
            const int rc = avcodec_receive_frame(codec.get(), out);
            if (rc == 0) {
                ++stats.decodedFrames;
                if (skipCorrupt && (out->flags & AV_FRAME_FLAG_CORRUPT)) {
                    av_frame_unref(out); // a picture whose references were skipped
                    continue;
                }
                skipCorrupt = false;
                return true;
            }
            if (rc == AVERROR_EOF) {
                decodeEof = true;
                return false;
            }
            if (rc != AVERROR(EAGAIN))
                return false;
            if (demuxEof)
                return false;
            // Feed one packet of our stream.
            for (;;) {
                const int r = av_read_frame(fmt.get(), packet.get());
                if (r < 0) {
                    demuxEof = true;
                    avcodec_send_packet(codec.get(), nullptr);
                    break;
                }
                if (packet->stream_index != streamIndex) {
                    av_packet_unref(packet.get());
                    continue;
                }
                if (awaitKey && !(packet->flags & AV_PKT_FLAG_KEY)) {
                    av_packet_unref(packet.get());
                    // A stream with no key frame for this long (one at its start only) is
                    // not read to its end: the seek counts as failed and is tried earlier.
                    if (++skippedPackets > kMaxSkippedPackets)
                        return false;
                    continue;
                }
                awaitKey = false;
                skippedPackets = 0;
                const int s = avcodec_send_packet(codec.get(), packet.get());
                av_packet_unref(packet.get());
                if (s < 0 && s != AVERROR(EAGAIN) && s != AVERROR_INVALIDDATA)
                    return false;
                break;
            }
        }
    }

    void seekTo(int64_t ts)
    {
        ++stats.seeks;
        bool readable = true;
        bool midStream = false;
        if (!rewindByReopening)
            midStream = av_seek_frame(fmt.get(), streamIndex, ts, AVSEEK_FLAG_BACKWARD) >= 0;
        else
            readable = openFormat();
        restart(readable, midStream);
    }

    // Back to the stream's very first packet. A demuxer with a real index seeks to
    // its first entry; others (MPEG-TS, FLV: no index, or one built while reading)
    // are opened again, which always lands on the first packet. With `toKey`, a
    // stream recorded from the middle of a group of pictures starts at its first key
    // frame, as it would after a seek.
    void rewind(bool toKey = true)
    {
        ++stats.seeks;
        bool readable = true;
        const bool indexed = !(fmt->iformat->flags & AVFMT_GENERIC_INDEX) &&
                             avformat_index_get_entries_count(stream) > 0;
        // A demuxer that finds time stamps by searching the file (MPEG program
        // streams) gathers its index while it searches; a seek to its first entry
        // lands after the first packet, so it is opened again instead.
        const bool searched = fmt->iformat->read_timestamp != nullptr;
        const AVIndexEntry *first =
            indexed && !searched ? avformat_index_get_entry(stream, 0) : nullptr;
        if (rewindByReopening || !first ||
            av_seek_frame(fmt.get(), streamIndex, first->timestamp,
                          AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
            readable = openFormat();
        restart(readable, toKey);
    }

    void restart(bool readable, bool midStream)
    {
        avcodec_flush_buffers(codec.get());
        demuxEof = !readable;
        decodeEof = false;
        awaitKey = skipCorrupt = midStream && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        skippedPackets = 0;
        hasCur = hasNext = false;
        fifo.clear();
        fifoAnchored = false;
        swr.reset();
    }

    int64_t framePts(const AVFrame *f) const
    {
        const int64_t pts =
            f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        if (pts != AV_NOPTS_VALUE)
            return pts;
        return hasCur ? curPts + std::max<int64_t>(1, f->pkt_duration) : startPts;
    }

    // Stream time stamp of a position in seconds, relative to the media start.
    int64_t toStreamTs(const Rational &t) const
    {
        const Rational c = t.num < 0 ? Rational(0, 1) : t;
        return startPts + av_rescale_rnd(c.num, tb.den, c.den * tb.num, AV_ROUND_NEAR_INF);
    }

    // Time stamp of the key frame at or before ts, or INT64_MIN when unknown.
    int64_t keyFrameAtOrBefore(int64_t ts) const
    {
        const int idx = av_index_search_timestamp(stream, ts, AVSEEK_FLAG_BACKWARD);
        if (idx < 0)
            return INT64_MIN;
        const AVIndexEntry *e = avformat_index_get_entry(stream, idx);
        return e ? e->timestamp : INT64_MIN;
    }

    // Advances so that `cur` is the frame shown at ts (when one exists).
    void decodeUpTo(int64_t ts)
    {
        if (hasNext && nextPts <= ts) {
            std::swap(cur, next);
            curPts = nextPts;
            hasCur = true;
            hasNext = false;
        }
        while (!hasNext) {
            if (!decodeOne(next.get()))
                break;
            const int64_t pts = framePts(next.get());
            if (pts <= ts) {
                std::swap(cur, next);
                av_frame_unref(next.get());
                curPts = pts;
                hasCur = true;
            } else {
                nextPts = pts;
                hasNext = true;
            }
        }
    }

    // A picture buffer of this size that no caller still holds, or a new one. Reusing
    // buffers spares an 8 MB allocation, its page faults and its clearing per frame.
    std::shared_ptr<VFrameCtx> takeBuffer(int width, int height, bool yuv = false)
    {
        for (auto &buffer : pool)
            if (buffer.use_count() == 1 && buffer->width == width && buffer->height == height &&
                buffer->yuv == yuv)
                return buffer;
        auto image = std::make_shared<VFrameCtx>();
        if (yuv)
            image->allocateYuv(width, height);
        else
            image->allocate(width, height);
        // Keep it for reuse, in place of a buffer nobody holds any more.
        auto idle = std::find_if(pool.begin(), pool.end(),
                                 [](const auto &b) { return b.use_count() == 1; });
        if (idle != pool.end())
            *idle = image;
        else if (pool.size() < kPoolSize)
            pool.push_back(image);
        return image;
    }

    // The matrix a picture was encoded with: its tag, or for untagged pictures what
    // players assume (BT.709 from HD up, BT.601 below).
    static int matrixOf(const AVFrame *f)
    {
        switch (f->colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return isHd(f->width, f->height) ? SWS_CS_ITU709 : SWS_CS_ITU601;
        }
    }

    static bool fullRangeOf(const AVFrame *f)
    {
        switch (f->format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            return f->color_range == AVCOL_RANGE_JPEG;
        }
    }

    // Converts to RGBA at the square-pixel size, with the picture's own matrix and range.
    bool ensureSws(const AVFrame *f, int outWidth, int outHeight, int matrix, int fullRange)
    {
        if (sws && swsWidth == f->width && swsHeight == f->height && swsFormat == f->format &&
            swsMatrix == matrix && swsFullRange == fullRange && swsOutWidth == outWidth &&
            swsOutHeight == outHeight)
            return true;
        // Enlarged: bicubic (sharper, and the faster path of the converter); made
        // smaller: bilinear down to half size, area averaging below; the same size
        // takes the direct converters, whatever the filter.
        const bool small = outWidth * 2 < f->width || outHeight * 2 < f->height;
        const bool larger = outWidth > f->width || outHeight > f->height;
        sws = makeConverter(f->width, f->height, f->format, outWidth, outHeight, AV_PIX_FMT_RGBA,
                            small    ? SWS_AREA
                            : larger ? SWS_BICUBIC
                                     : SWS_BILINEAR,
                            matrix, fullRange);
        if (!sws)
            return false;
        swsWidth = f->width;
        swsHeight = f->height;
        swsFormat = f->format;
        swsMatrix = matrix;
        swsFullRange = fullRange;
        swsOutWidth = outWidth;
        swsOutHeight = outHeight;
        return true;
    }

    // The part of `f` asked for, as a reference into its planes (even offsets, so
    // that subsampled colour stays aligned), or `f` itself when all of it is asked
    // for or it is turned (turned pictures are cut after turning).
    const AVFrame *partOf(const AVFrame *f)
    {
        if (cropWidth <= 0 || geometry.quarterTurns != 0)
            return f;
        const int shownWidth =
            geometry.width > 0 && f->width == stream->codecpar->width ? geometry.width : f->width;
        // Shown columns map to stored ones through the pixel aspect.
        auto column = [&](int x) { return int(int64_t(x) * f->width / std::max(1, shownWidth)); };
        const int left = std::clamp(column(cropX), 0, f->width - 1) & ~1;
        const int right = std::clamp(column(cropX + cropWidth), left + 1, f->width);
        const int top = std::clamp(cropY, 0, f->height - 1) & ~1;
        const int bottom = std::clamp(cropY + cropHeight, top + 1, f->height);
        if (left == 0 && top == 0 && right == f->width && bottom == f->height)
            return f;
        av_frame_unref(cropped.get());
        if (av_frame_ref(cropped.get(), f) < 0)
            return f;
        cropped->crop_left = size_t(left);
        cropped->crop_right = size_t(f->width - right);
        cropped->crop_top = size_t(top);
        cropped->crop_bottom = size_t(f->height - bottom);
        if (av_frame_apply_cropping(cropped.get(), AV_FRAME_CROP_UNALIGNED) < 0)
            return f;
        return cropped.get();
    }

    VFramePtr toImage(const AVFrame *f, int64_t pts)
    {
        const int turns = geometry.quarterTurns;
        // Non-square pixels are widened; a picture stored at another size than the
        // stream says (a size change mid-stream) keeps the stream's aspect.
        int width = f->width, height = f->height;
        if (geometry.width > 0 && f->width == stream->codecpar->width)
            width = geometry.width;
        // A part of a turned picture: the whole is converted at the scale asked for,
        // turned, and the part copied out.
        const bool cutAfter = cropWidth > 0 && turns != 0;
        if (wantWidth > 0 && wantHeight > 0) { // another size asked for (before the turn)
            int w = wantWidth, h = wantHeight;
            if (cutAfter) { // the whole picture at the part's scale
                const int shownW = turns % 2 ? height : width, shownH = turns % 2 ? width : height;
                w = std::max(1, int(int64_t(shownW) * wantWidth / std::max(1, cropWidth)));
                h = std::max(1, int(int64_t(shownH) * wantHeight / std::max(1, cropHeight)));
            }
            width = turns % 2 ? h : w;
            height = turns % 2 ? w : h;
        }
        const int64_t part = (int64_t(cropX) << 48) ^ (int64_t(cropY) << 32) ^
                             (int64_t(cropWidth) << 16) ^ int64_t(cropHeight);
        if (lastImage && pts == lastImagePts && part == lastImageCrop &&
            wantWidth == lastWantWidth && wantHeight == lastWantHeight &&
            yuvMatrix == lastYuvMatrix)
            return lastImage;
        const int matrix = matrixOf(f);
        const int fullRange = fullRangeOf(f) ? 1 : 0;
        const AVFrame *source = partOf(f);
        if (source != f && (wantWidth <= 0 || wantHeight <= 0)) {
            // The part at its own shown size.
            width = int(int64_t(source->width) * width / std::max(1, f->width));
            height = source->height;
        }
        if (yuvMatrix && !turns && !cutAfter)
            if (VFramePtr yuv = toYuv(source, pts, part, width, height, matrix, fullRange))
                return yuv;
        if (!ensureSws(source, width, height, matrix, fullRange))
            return nullptr;
        std::shared_ptr<VFrameCtx> image =
            turns % 2 ? takeBuffer(height, width) : takeBuffer(width, height);
        uint8_t *target = image->pixels.data();
        int targetStride = image->stride;
        if (turns) { // converted first into a buffer of its own, then turned into place
            turnableStride =
                int((size_t(width) * 4 + kBufferAlign - 1) / kBufferAlign * kBufferAlign);
            const size_t bytes = size_t(turnableStride) * size_t(height) + kBufferPadding;
            if (turnable.size() < bytes)
                turnable.resize(bytes);
            target = turnable.data();
            targetStride = turnableStride;
        }
        // The converter writes straight into our buffer.
        FramePtr dst = wrapPicture(target, targetStride, width, height, AV_PIX_FMT_RGBA);
        if (!dst)
            return nullptr;
        const int rc = sws_scale_frame(sws.get(), dst.get(), source);
        if (source == cropped.get())
            av_frame_unref(cropped.get());
        if (rc < 0)
            return nullptr;
        if (turns)
            turn(turnable.data(), turnableStride, width, height, turns, *image);
        if (cutAfter)
            image = cutOut(image);
        const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(f->format));
        image->opaque = desc && !(desc->flags & AV_PIX_FMT_FLAG_ALPHA);
        return remember(image, pts, part);
    }

    // A converted picture of `pts` is kept as the answer to the same request again.
    VFramePtr remember(const std::shared_ptr<VFrameCtx> &image, int64_t pts, int64_t part)
    {
        image->ptsUs = av_rescale_q(pts - startPts, tb, AVRational{1, 1000000});
        lastImage = image;
        lastImagePts = pts;
        lastImageCrop = part;
        lastWantWidth = wantWidth;
        lastWantHeight = wantHeight;
        lastYuvMatrix = yuvMatrix;
        return image;
    }

    // `source` (the part of `f` asked for) as YUV 4:2:0 of the matrix asked for, at
    // width × height made even; null when the picture is not of that matrix or has
    // alpha (then it is converted to RGBA as usual).
    VFramePtr toYuv(const AVFrame *source, int64_t pts, int64_t part, int width, int height,
                    int matrix, int fullRange)
    {
        const int wanted = yuvMatrix == 709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
        const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(source->format));
        if (!desc || matrix != wanted ||
            (desc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_RGB)))
            return nullptr;
        width = std::max(2, width & ~1);
        height = std::max(2, height & ~1);
        const int key[6] = {source->width, source->height, source->format,
                            fullRange,     width,          height};
        if (!yuvSws || !std::equal(key, key + 6, yuvKey)) {
            // YUV to YUV of one matrix: only the size and the range change.
            const bool larger = width > source->width || height > source->height;
            const bool small = width * 2 < source->width || height * 2 < source->height;
            yuvSws = makeConverter(source->width, source->height, source->format, width, height,
                                   AV_PIX_FMT_YUV420P,
                                   small    ? SWS_AREA
                                   : larger ? SWS_BICUBIC
                                            : SWS_BILINEAR,
                                   wanted, fullRange);
            if (!yuvSws)
                return nullptr;
            std::copy(key, key + 6, yuvKey);
            // The limited range out, whatever the source's.
            int *inverse = nullptr, *table = nullptr;
            int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
            if (sws_getColorspaceDetails(yuvSws.get(), &inverse, &srcRange, &table, &dstRange,
                                         &brightness, &contrast, &saturation) >= 0)
                sws_setColorspaceDetails(yuvSws.get(), inverse, fullRange, table, 0, brightness,
                                         contrast, saturation);
        }
        std::shared_ptr<VFrameCtx> image = takeBuffer(width, height, true);
        FramePtr dst = wrapPicture(*image);
        if (!dst)
            return nullptr;
        const int rc = sws_scale_frame(yuvSws.get(), dst.get(), source);
        if (source == cropped.get())
            av_frame_unref(cropped.get());
        if (rc < 0)
            return nullptr;
        return remember(image, pts, part);
    }

    // The asked part of a whole turned picture (scaled as asked), in a buffer of its own.
    std::shared_ptr<VFrameCtx> cutOut(const std::shared_ptr<VFrameCtx> &whole)
    {
        const Geometry g = geometry;
        const double sx = double(whole->width) / std::max(1, g.shownWidth());
        const double sy = double(whole->height) / std::max(1, g.shownHeight());
        const int x = std::clamp(int(cropX * sx), 0, whole->width - 1);
        const int y = std::clamp(int(cropY * sy), 0, whole->height - 1);
        const int w = std::clamp(int(std::lround(cropWidth * sx)), 1, whole->width - x);
        const int h = std::clamp(int(std::lround(cropHeight * sy)), 1, whole->height - y);
        auto part = std::make_shared<VFrameCtx>();
        part->allocate(w, h);
        for (int row = 0; row < h; ++row)
            std::memcpy(part->data() + size_t(row) * part->stride, whole->pixel(x, y + row),
                        size_t(w) * 4);
        return part;
    }

    // Turns a w × h RGBA picture clockwise by `turns` quarters into `out`, in tiles
    // that keep both sides in the cache.
    static void turn(const uint8_t *src, int srcStride, int w, int h, int turns, VFrameCtx &out)
    {
        constexpr int kTile = 32;
        const int ow = out.width, oh = out.height;
        for (int ty = 0; ty < oh; ty += kTile)
            for (int tx = 0; tx < ow; tx += kTile)
                for (int y = ty; y < std::min(ty + kTile, oh); ++y) {
                    auto *row = reinterpret_cast<uint32_t *>(out.data() + size_t(y) * out.stride);
                    for (int x = tx; x < std::min(tx + kTile, ow); ++x) {
                        // A quarter clockwise: the left column becomes the top row.
                        int sx, sy;
                        if (turns == 1) {
                            sx = y;
                            sy = h - 1 - x;
                        } else if (turns == 2) {
                            sx = w - 1 - x;
                            sy = h - 1 - y;
                        } else {
                            sx = w - 1 - y;
                            sy = x;
                        }
                        std::memcpy(&row[x], src + size_t(sy) * srcStride + size_t(sx) * 4, 4);
                    }
                }
    }

    VFramePtr videoFrame(const VideoRequest &req)
    {
        yuvMatrix = req.yuvMatrix == 601 || req.yuvMatrix == 709 ? req.yuvMatrix : 0;
        wantWidth = std::clamp(req.width, 0, 16384);
        wantHeight = std::clamp(req.height, 0, 16384);
        const bool part = req.cropWidth > 0 && req.cropHeight > 0;
        cropX = part ? std::max(0, req.cropX) : 0;
        cropY = part ? std::max(0, req.cropY) : 0;
        cropWidth = part ? std::min(req.cropWidth, 16384) : 0;
        cropHeight = part ? std::min(req.cropHeight, 16384) : 0;
        const int64_t ts = toStreamTs(req.time);
        if (hasCur && curPts <= ts && ((hasNext && nextPts > ts) || decodeEof))
            return toImage(cur.get(), curPts);

        const int64_t key = keyFrameAtOrBefore(ts);
        const bool behind = hasCur ? ts < curPts : (hasNext && ts < nextPts);
        // Seek only when it skips frames that decoding on would have to go through.
        const int64_t nextToDecode = hasNext ? nextPts : curPts + frameTicks;
        const bool keyAhead = key != INT64_MIN && hasCur && key > nextToDecode;
        const bool fresh = !hasCur && !hasNext;
        if (behind || keyAhead || fresh || (decodeEof && !hasCur))
            position(ts, req.exact != 0);
        else
            decodeUpTo(ts);
        if (req.stillWanted && !req.stillWanted())
            return nullptr;
        if (hasCur)
            return toImage(cur.get(), curPts);
        if (hasNext) // the request lies before the first frame: show the first
            return toImage(next.get(), nextPts);
        return nullptr;
    }

    // Places the stream so that `cur` is the frame shown at ts. A seek must land on
    // a key frame at or before ts: one that lands after it (an imprecise index, a
    // stream with one key frame) is tried further back, and a time before the first
    // picture (video starting after the sound) starts from the first packet.
    void position(int64_t ts, bool exact)
    {
        if (ts <= firstPts) {
            fromStart(ts, exact);
            return;
        }
        int64_t target = ts;
        for (int attempt = 0; attempt < kMaxSeekRetries; ++attempt) {
            seekTo(target);
            if (!exact) { // the key frame the seek landed on will do
                decodeUpTo(INT64_MIN / 2);
                if (hasNext)
                    return;
            } else {
                decodeUpTo(ts);
                if (hasCur)
                    return;
            }
            target -= av_rescale_q(int64_t(2) << attempt, AVRational{1, 1}, tb);
            if (target <= firstPts)
                break;
        }
        fromStart(ts, exact);
    }

    void fromStart(int64_t ts, bool exact)
    {
        rewind();
        decodeUpTo(exact ? ts : INT64_MIN / 2);
        if (!hasCur && !hasNext) { // no packet marked as a key frame: take them all
            rewind(false);
            decodeUpTo(exact ? ts : INT64_MIN / 2);
        }
    }

    bool ensureSwr(const AVFrame *f)
    {
        const int channels = f->ch_layout.nb_channels;
        if (swr && swrInRate == f->sample_rate && swrInFormat == f->format &&
            swrInChannels == channels)
            return true;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, outChannels);
        AVChannelLayout inLayout;
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, channels);
        else
            av_channel_layout_copy(&inLayout, &f->ch_layout);
        SwrContext *raw = nullptr;
        const int rc = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, outRate, &inLayout,
                                           AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        if (rc < 0 || !raw)
            return false;
        swr.reset(raw);
        if (channels == 1) {
            // A mono source plays at full level on every output channel.
            std::vector<double> matrix(size_t(outChannels), 1.0);
            swr_set_matrix(raw, matrix.data(), 1);
        }
        if (swr_init(raw) < 0) {
            swr.reset();
            return false;
        }
        swrInRate = f->sample_rate;
        swrInFormat = f->format;
        swrInChannels = channels;
        return true;
    }

    void appendConverted(const uint8_t **in, int inCount)
    {
        const int room = swr_get_out_samples(swr.get(), inCount);
        if (room <= 0)
            return;
        // The resampler writes into an aligned, padded scratch block, then the samples
        // are appended: the fifo's own storage is neither aligned nor padded.
        const size_t values = size_t(room) * size_t(outChannels);
        if (swrScratch.size() < values + kBufferPadding / sizeof(int16_t))
            swrScratch.resize(values + kBufferPadding / sizeof(int16_t));
        uint8_t *out = reinterpret_cast<uint8_t *>(swrScratch.data());
        const int got = swr_convert(swr.get(), &out, room, in, inCount);
        if (got > 0)
            fifo.insert(fifo.end(), swrScratch.begin(),
                        swrScratch.begin() + ptrdiff_t(got) * outChannels);
    }

    // Decodes until the buffer reaches `end` (a sample index) or the stream ends.
    void fillAudioTo(int64_t end, AVFrame *frame)
    {
        while (fifoEnd() < end || !fifoAnchored) {
            if (!decodeOne(frame)) {
                if (swr) // drain what the resampler still holds
                    appendConverted(nullptr, 0);
                break;
            }
            const int64_t pts = frame->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE) {
                const int64_t at =
                    av_rescale_q_rnd(pts - startPts, tb, AVRational{1, outRate}, AV_ROUND_NEAR_INF);
                if (!fifoAnchored) {
                    fifoStart = at;
                    fifoAnchored = true;
                } else if (at > fifoEnd() + outRate / 100) {
                    // A gap in the stream is filled with silence.
                    fifo.resize(fifo.size() + size_t(at - fifoEnd()) * size_t(outChannels), 0);
                }
            } else if (!fifoAnchored) {
                fifoStart = 0;
                fifoAnchored = true;
            }
            if (ensureSwr(frame))
                appendConverted(const_cast<const uint8_t **>(frame->extended_data),
                                frame->nb_samples);
            av_frame_unref(frame);
        }
    }

    AFramePtr audioFrame(const AudioRequest &req)
    {
        const int64_t s = std::max<int64_t>(0, req.from.toSamples(outRate));
        const int64_t e = req.to.toSamples(outRate);
        if (e <= s)
            return nullptr;

        // Straight after opening, the stream stands at its very first packet (encoder
        // priming included), which decoding on from there handles best.
        const bool atStart = !fifoAnchored && stats.decodedFrames == 0 && stats.seeks == 0;
        const bool covered =
            (atStart && s <= kAudioForwardSeconds * outRate) ||
            (fifoAnchored && s >= fifoStart && s <= fifoEnd() + kAudioForwardSeconds * outRate);
        // A little earlier than needed: the decoder's overlap with the previous packet
        // is then restored and the samples equal those of playing straight through.
        if (!covered)
            seekTo(startPts + av_rescale_q(s - outRate / 10, AVRational{1, outRate}, tb));
        FramePtr frame(av_frame_alloc());
        fillAudioTo(e, frame.get());
        if (fifoAnchored && fifoStart > s && !covered && fifoStart > 0) {
            // The seek landed after the interval: go back further once.
            seekTo(toStreamTs(Rational(std::max<int64_t>(0, s - outRate), outRate)));
            fillAudioTo(e, frame.get());
        }
        if (decodeEof && s >= fifoEnd())
            return nullptr;

        auto out = std::make_shared<AFrameCtx>();
        out->sampleRate = outRate;
        out->channels = outChannels;
        out->firstSample = s;
        out->samples.assign(size_t(e - s) * size_t(outChannels), 0);
        const int64_t from = std::max(s, fifoStart);
        const int64_t to = std::min(e, fifoEnd());
        if (to > from)
            std::memcpy(out->samples.data() + (from - s) * outChannels,
                        fifo.data() + (from - fifoStart) * outChannels,
                        size_t(to - from) * size_t(outChannels) * sizeof(int16_t));
        // Keep only what a following request can still use.
        if (s > fifoStart) {
            const int64_t drop = std::min(s, fifoEnd()) - fifoStart;
            fifo.erase(fifo.begin(), fifo.begin() + drop * outChannels);
            fifoStart += drop;
        }
        return out;
    }
};

FFDecoder::FFDecoder() = default;
FFDecoder::~FFDecoder() = default;

bool FFDecoder::open(const StreamCtx &stream, int audioRate, int audioChannels, int threads)
{
    close();
    auto impl = std::make_unique<Impl>();
    if (!impl->open(stream, audioRate, audioChannels, threads))
        return false;
    d = std::move(impl);
    return true;
}

bool FFDecoder::isOpened() const
{
    return d != nullptr;
}

void FFDecoder::close()
{
    d.reset();
}

VFramePtr FFDecoder::getVideoFrame(const VideoRequest &request)
{
    if (!d || d->stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
        return nullptr;
    return d->videoFrame(request);
}

AFramePtr FFDecoder::getAudioFrame(const AudioRequest &request)
{
    if (!d || d->stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
        return nullptr;
    return d->audioFrame(request);
}

FFDecoder::Stats FFDecoder::stats() const
{
    return d ? d->stats : Stats{};
}

} // namespace ff
