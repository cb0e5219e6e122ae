// Limits and special values shared by the engine and its callers.
#pragma once

#include <cstdint>
#include <limits>

namespace kavro {

constexpr int MaxFiles = 20;   // input files, and output files, per task
constexpr int MaxStreams = 20; // streams per file
// The smallest output size limit (option fs): room for the header of any container and a few
// frames after it.
constexpr int MinFileSizeLimit = 65536;
// The fastest frame rate and sample rate an output may ask for: beyond them no encoder or container
// carries the stream, and the run would only write without end.
constexpr int MaxFrameRate = 1000;
constexpr int MaxSampleRate = 768000;
// The most channels the resampler mixes.
constexpr int MaxAudioChannels = 64;
// A 64-bit time (microseconds) that has no value.
constexpr int64_t NoTimeValue = std::numeric_limits<int64_t>::min();

} // namespace kavro
