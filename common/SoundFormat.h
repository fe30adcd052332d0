#pragma once
// The sound every mix is made in: playback, the export's sound track and the
// decoders that feed them. Material of any other rate or layout is converted to it.
// Lives on: any thread (constants).

namespace soundformat {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;

} // namespace soundformat
