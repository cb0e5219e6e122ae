// The rules of the trim dialog: the start and end marks set while the file plays, the times its three
// fields show, the range the track bar selects, and what Ok stores in the row. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "JobRecord.h"

namespace kavro {

class TTrimEditor {
public:
  // The file is open: its duration in microseconds, and the marks the row stores (the end is the
  // file's end when the row keeps the rest of the file).
  void Open(const TlvFilesRecord& row, int64_t duration);
  // The marks at the playing position; nothing happens at 0 (the start, or no position reported yet).
  bool SetStart(int64_t position);
  bool SetEnd(int64_t position);
  // The whole file.
  void Reset();

  int64_t StartPTS() const { return FStart; }
  int64_t EndPTS() const { return FEnd; }
  int64_t Duration() const { return FDuration; }
  std::string StartText() const;
  std::string EndText() const;
  // The marked length; it keeps the last valid one while the end is not after the start.
  const std::string& LengthText() const { return FLengthText; }
  // The marked range in track-bar units of a bar whose end is `maximum`.
  std::pair<int, int> Selection(int maximum) const;

  // Ok: TrimStart and TrimLength of the row (a length within 1 ms of the rest of the file keeps the
  // rest, as 0); the "Trimmed Length" column's text, empty when the column keeps its text.
  std::string Store(TlvFilesRecord& row) const;

private:
  int64_t FStart = 0;
  int64_t FEnd = 0;
  int64_t FDuration = 0;
  std::string FLengthText;
};

} // namespace kavro
