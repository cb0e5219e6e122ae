#include "TrimEditor.h"

#include "PreviewControls.h"

#include <algorithm>

namespace kavro {

namespace {

// Anything shorter than a millisecond counts as nothing.
constexpr int64_t Tolerance = 1000;

} // namespace

void TTrimEditor::Open(const TlvFilesRecord& row, int64_t duration) {
  FDuration = duration > 0 ? duration : 0;
  FStart = row.TrimStart > 0 ? row.TrimStart : 0;
  FEnd = row.TrimLength > 0 ? FStart + row.TrimLength : FDuration;
  FLengthText = PreviewPositionText(FEnd > FStart ? FEnd - FStart : FEnd);
}

bool TTrimEditor::SetStart(int64_t position) {
  if (position <= 0) return false;
  FStart = position;
  return true;
}

bool TTrimEditor::SetEnd(int64_t position) {
  if (position <= 0) return false;
  FEnd = position;
  if (FStart < FEnd) FLengthText = PreviewPositionText(FEnd - FStart);
  return true;
}

void TTrimEditor::Reset() {
  FStart = 0;
  FEnd = FDuration;
  FLengthText = PreviewPositionText(FDuration);
}

std::string TTrimEditor::StartText() const {
  return PreviewPositionText(FStart);
}

std::string TTrimEditor::EndText() const {
  return PreviewPositionText(FEnd);
}

std::pair<int, int> TTrimEditor::Selection(int maximum) const {
  return {PreviewTrackPosition(FStart, FDuration, maximum), PreviewTrackPosition(FEnd, FDuration, maximum)};
}

std::string TTrimEditor::Store(TlvFilesRecord& row) const {
  const bool marked = FStart >= 0 && FEnd > 0 && FStart < FEnd && FEnd <= FDuration;
  // Without a valid range the file is kept from the start mark to its end.
  const int64_t length = marked ? FEnd - FStart : FDuration;
  if (length <= 0) {
    row.TrimStart = 0;
    row.TrimLength = 0;
    return {};
  }
  row.TrimStart = FStart > 0 ? FStart : 0;
  row.TrimLength = length < Tolerance || FDuration - length < Tolerance ? 0 : length;
  // The column shows what will be converted: the rest of the file after the start when no length is kept.
  const int64_t converted = row.TrimLength > 0 ? row.TrimLength : FDuration - row.TrimStart;
  return std::to_string(std::max<int64_t>(0, converted) / 1000000);
}

} // namespace kavro
