#pragma once
// Media descriptions and stills.
// Lives on: any thread; the description cache is guarded by a mutex.

#include "MediaTypes.h"

#include <atomic>

namespace ff {

// Description of a local media file, cached per path (refreshed when the file's
// size or modification time changes). Null for anything that cannot be read.
// The cache owns the result; it stays valid for the life of the process.
const MovieCtx *getMovieInfo(const char *path, const std::atomic<bool> *cancel = nullptr);

struct ImageRequest {
    double position = 0; // fraction of the duration, 0..1
    int width = 0;       // bounding box of the result; 0 keeps the source size
    int height = 0;
};

// One still of the file's video stream at a fraction of its duration, scaled to
// fit inside the requested box with its aspect ratio kept. `timeUs` receives the
// still's presentation time. Null when the file has no decodable picture.
VFramePtr getMovieImage(const char *path, const ImageRequest &request, int64_t *timeUs = nullptr);

} // namespace ff
