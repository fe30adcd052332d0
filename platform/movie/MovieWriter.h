#pragma once
// Movie writer: encodes composed pictures and mixed sound into ".mp4" (H.264 +
// AAC), ".avi" (MPEG-4 Part 2 + MP3) or ".mp3" (sound only), chosen by extension.
// Lives on: any thread; pictures and sound may be pushed from two threads at once.

#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

struct MVSettings {
    int32_t width = 1920;
    int32_t height = 1080;
    uint8_t audioOnly = 0;
    int32_t reserved0 = 0;
    int32_t frameRate = 25;
    // Key-frame interval in frames. With bitRate 0 it also picks the quality:
    // equal to the frame rate means high quality, 120 means small files.
    int32_t keyInterval = 25;
    int32_t bitRate = 0; // target in kbit/s; 0 = constant quality
    uint8_t gif = 0;
    int32_t reserved1 = 0;
    int32_t channels = 2;
    int64_t sampleRate = 44100;
    double speed = 1.0;
    int64_t reserved2[2] = {0, 0};
    // "title:<text>;comment:<text>", written as the file's metadata.
    std::string metadata;
};

// Timestamps are microseconds; frames are placed by them.
enum PtsType { PTS_MICROSECONDS = 1 };

struct Movie;
using MovieHandle = Movie *;

// Null when the container or an encoder cannot be set up or the file cannot be created.
MovieHandle create_movie(const MVSettings &settings, const char *path);
// One picture of 32-bit RGBA pixels, rows `stride` bytes apart (bytes = stride × height).
bool push_image_frame(MovieHandle movie, const uint8_t *pixels, size_t bytes, int stride,
                      int64_t pts, int ptsType);
// The same for pixels starting on a 64-byte boundary, rows a multiple of 64 bytes
// apart and 64 readable bytes after the last row: converted without a copy first.
bool push_padded_image_frame(MovieHandle movie, const uint8_t *pixels, size_t bytes, int stride,
                             int64_t pts, int ptsType);
// The matrix pictures are encoded with (601 or 709; 0 without pictures): a picture
// handed as YUV must be of it.
int picture_matrix(MovieHandle movie);
// One picture as 8-bit YUV 4:2:0 in the limited range of picture_matrix(), of the
// movie's own size: Y, U and V planes, rows `strides` bytes apart.
bool push_yuv_frame(MovieHandle movie, const uint8_t *const planes[3], const int strides[3],
                    int width, int height, int64_t pts, int ptsType);
// Interleaved signed 16-bit PCM at the settings' rate and channel count.
bool push_pcm_frame(MovieHandle movie, const uint8_t *pcm, size_t bytes, int64_t pts, int ptsType);
// Finishes the file (always a valid file, whatever was pushed) and clears the handle.
bool stop_movie(MovieHandle *movie);

} // namespace mv
