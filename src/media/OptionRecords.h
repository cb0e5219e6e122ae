// How the option records of the task component reach a task engine: which option text lines each
// side takes, and the order in which text, defaults and record fields are applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OptionText.h"
#include "TaskRecords.h"

namespace kavro {

class TCustomFFmpeg;

// Option text of an input, then FileFormat, StartTime and ProgramID; a set field therefore wins over
// a line for the same setting.
void ApplyInputOptions(TCustomFFmpeg& engine, const TInputOptions& options);

// Everything an output's record and option text set before the output is created: the target preset,
// codecs and presets from the defaults, the option text, the record's fields, then frame size and
// video filters.
void ApplyOutputOptions(TCustomFFmpeg& engine, const TOutputOptions& options,
                        const std::vector<TOptionLine>& lines, const TDefaultList& defaults);

// After the output exists: one extra stream per newaudio, newvideo or newsubtitle line, each with the
// next queued codec, preset, size and filter values, or the output's defaults.
void AddExtraStreams(TCustomFFmpeg& engine, const std::vector<TOptionLine>& lines, TDefaultList& defaults);

// A local date-time (days since 30 Dec 1899) as seconds since 1 Jan 1970 UTC, rounded.
int64_t DateTimeToUnixTime(double dateTime);

} // namespace kavro
