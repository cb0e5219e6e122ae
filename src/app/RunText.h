// The texts a conversion run shows for one progress report: the percentage, the progress window's
// labels and the row's progress column. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "TaskRecords.h"

namespace kavro {

struct TRunProgress {
  int Row = -1;
  int Percent = 0;
  std::string TimeLabel;
  std::string LengthLabel;
  std::string SizeLabel;
  std::string TaskLabel;
  std::string FileLabel;
  std::string RowText;
};

// Byte offset of the n-th character of UTF-8 text, or the text's size: where to cut without
// splitting a character.
size_t CharacterOffset(const std::string& text, size_t characters);
// current × 100 div total, kept within 0 to 100; 0 while the total is unknown (-1) or 0.
int ProgressPercent(int64_t current, int64_t total);
// The row caption when it has fewer than 51 characters, else its first 44, "..", and its extension.
std::string ShortFileLabel(const std::string& caption);
// The same followed by two spaces when shortened: the source label of the trim and crop dialogs.
std::string ShortSourceLabel(const std::string& path);
// What a finished batch comes to: "3 files converted, 1 failed" ("1 file converted, 0 failed").
std::string BatchSummary(int converted, int failed);

TRunProgress ProgressTexts(const TProgressInfo& info, int row, int taskCount, const std::string& caption);

} // namespace kavro
