// The zoom modes of a row written into an output option record: the frame size, the aspect, the
// crop bands and the filter chain each mode needs. Any thread; no state.
#pragma once

#include <string>

#include "JobRecord.h"
#include "TaskRecords.h"

namespace kavro {

// For a source of sourceWidth × sourceHeight shown in a frame of width × height by the row's
// ZoomMode ("full", "lbox", "pan", "center"; any other word sets nothing). Sets the output's
// FrameSize, FrameAspectRatio and crops as the mode needs and returns the filter chain it needs,
// empty for none. The output's crops must already be 0 or more.
std::string ApplyZoomMode(const TlvFilesRecord& row, int sourceWidth, int sourceHeight, int width, int height,
                          TOutputOptions& output);

} // namespace kavro
