#pragma once
// Reference measurements for the decoder benchmarks (built only for bench/): the
// bare cost of reaching a frame by decoding from the key frame before it, with
// nothing else done, so that the decoder's own overhead can be judged against it.
// Lives on: the benchmark's thread.

#include <cstdint>
#include <string>
#include <vector>

namespace ff::benchref {

// Presentation times (seconds) of the video stream's key frames, from the index.
std::vector<double> keyFrameTimes(const std::string &path);

// Milliseconds to seek to the key frame at or before `targetSeconds`, decode up to
// the frame shown at that time and convert that one frame to RGBA. The file is
// opened before the clock starts. Negative on failure.
double bareAccessMs(const std::string &path, double targetSeconds);

} // namespace ff::benchref
