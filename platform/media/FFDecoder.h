#pragma once
// Decodes one stream of a local media file: exact video frames as shared RGBA
// images, exact intervals of sound as interleaved 16-bit stereo.
// Lives on: the one thread that uses it (decoders are never shared between threads).

#include "MediaTypes.h"

#include <functional>
#include <memory>

namespace ff {

struct VideoRequest {
    Rational time;     // position from the start of the media; negative reads as 0
    int32_t exact = 1; // 1: exactly the frame shown at `time`; 0: a nearby key frame will do
    int32_t rgba = 1;  // output is always 32-bit RGBA
    // The picture's size when it is drawn at another size than it is shown (turned
    // upright, square pixels): scaled in the one conversion pass, which is cheaper
    // than scaling it again when it is drawn. 0 × 0 keeps the shown size.
    int32_t width = 0, height = 0;
    // Only this part of the picture as shown (upright, square pixels; 0 wide: all of
    // it) is converted, to width × height: the converter reads no more than is drawn.
    int32_t cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    // Asked once the picture is decoded, before it is converted: false drops it (null
    // is returned), so that a picture that would be shown late costs no conversion.
    std::function<bool()> stillWanted = nullptr;
    // 601 or 709: the picture as 8-bit YUV 4:2:0 in the limited range of that matrix
    // (VFrameCtx::yuv), when it was encoded with that matrix, is upright and has no
    // alpha; otherwise RGBA as usual. Sizes are then even.
    int32_t yuvMatrix = 0;
};

struct AudioRequest {
    Rational from;
    Rational to;
};

class FFDecoder {
public:
    FFDecoder();
    ~FFDecoder();
    FFDecoder(const FFDecoder &) = delete;
    FFDecoder &operator=(const FFDecoder &) = delete;

    // Opens the stream's file and a decoder for that stream. Sound is delivered at
    // `audioRate` Hz in `audioChannels` channels. `threads`: the decoder's threads,
    // 0 for as many as the machine has.
    bool open(const StreamCtx &stream, int audioRate = 44100, int audioChannels = 2,
              int threads = 0);
    bool isOpened() const;
    void close();

    // The frame shown at the requested time (the last frame past the end), or null.
    VFramePtr getVideoFrame(const VideoRequest &request);
    // Exactly the samples of [from, to) at the output rate: consecutive requests
    // tile without gap or overlap; silence where the stream has none. Null when
    // the interval is empty or lies wholly past the end of the stream.
    AFramePtr getAudioFrame(const AudioRequest &request);

    struct Stats {
        int64_t seeks = 0;
        int64_t decodedFrames = 0;
    };
    Stats stats() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ff
