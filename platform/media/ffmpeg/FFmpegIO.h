#pragma once
// Internal to the decoder library: FFmpeg helpers shared by the decoder, the
// still-image reader and the media description cache.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include "../MediaTypes.h"

#include <memory>
#include <string>

struct SwsContext;

namespace ff::detail {

struct FormatCloser {
    void operator()(AVFormatContext *ctx) const { avformat_close_input(&ctx); }
};
struct CodecCloser {
    void operator()(AVCodecContext *ctx) const { avcodec_free_context(&ctx); }
};
struct FrameCloser {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketCloser>;
struct ConverterCloser {
    void operator()(SwsContext *c) const;
};
using ConverterPtr = std::unique_ptr<SwsContext, ConverterCloser>;

// Lowers FFmpeg's own logging to errors (once per process).
void quietLogs();

// Opens a local regular file for demuxing, and nothing else: no network or pipe
// protocols, no device or FIFO paths, no demuxer that reads other files named
// inside this one. Null when the file cannot be read.
FormatPtr openLocalMedia(const std::string &path);

// Opens a decoder for one stream; `threads` 0 lets FFmpeg choose.
CodecPtr openDecoder(const AVStream *stream, int threads);

// How a video stream's pictures are shown: non-square pixels widened to square
// ones, then turned as the display matrix says (phones store portrait video
// landscape with a quarter turn).
struct Geometry {
    int width = 0, height = 0; // square-pixel size before the turn
    int quarterTurns = 0;      // clockwise, 0..3
    int shownWidth() const { return quarterTurns % 2 ? height : width; }
    int shownHeight() const { return quarterTurns % 2 ? width : height; }
};
Geometry geometryOf(const AVStream *stream);

// HD and up (1280 × 720 and larger) is BT.709; smaller pictures are BT.601.
bool isHd(int width, int height);

// A converter between pictures of two sizes and pixel formats, run in slices on
// every core (`flags` are the SWS_* filter flags). The YUV side is read or written
// with `matrix` (an SWS_CS_* value) at full or limited range; RGB is full range.
// Null when it cannot be made.
ConverterPtr makeConverter(int srcWidth, int srcHeight, int srcFormat, int dstWidth, int dstHeight,
                           int dstFormat, int flags, int matrix, bool yuvFullRange);

// A frame over memory the caller keeps (not owned, not freed): one plane of
// `format` pictures, rows `stride` bytes apart, for the converter to read or write.
FramePtr wrapPicture(const uint8_t *data, int stride, int width, int height, int format);
// The same for a decoded picture of ours, RGBA or YUV 4:2:0 (all its planes).
FramePtr wrapPicture(VFrameCtx &picture);

} // namespace ff::detail
