// Limits and special values shared by the engine and its callers.
#pragma once

#include <cstdint>
#include <limits>

namespace kavro {

constexpr int MaxFiles = 20;   // input files, and output files, per task
constexpr int MaxStreams = 20; // streams per file
// A 64-bit time (microseconds) that has no value.
constexpr int64_t NoTimeValue = std::numeric_limits<int64_t>::min();

} // namespace kavro
