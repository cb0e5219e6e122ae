#include "RunText.h"

#include <cstdint>
#include <filesystem>

namespace kavro {

size_t CharacterOffset(const std::string& text, size_t characters) {
  size_t offset = 0;
  for (; offset < text.size() && characters > 0; --characters) {
    ++offset;
    while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80)
      ++offset;
  }
  return offset;
}

int ProgressPercent(int64_t current, int64_t total) {
  if (total <= 0 || current <= 0) return 0;
  if (current >= total) return 100;
  if (current <= INT64_MAX / 100) return static_cast<int>(current * 100 / total);
  return static_cast<int>(static_cast<long double>(current) * 100 / static_cast<long double>(total));
}

std::string ShortFileLabel(const std::string& caption) {
  if (CharacterOffset(caption, 50) == caption.size()) return caption;
  return caption.substr(0, CharacterOffset(caption, 44)) + ".." +
         std::filesystem::path(caption).extension().string();
}

std::string ShortSourceLabel(const std::string& path) {
  const std::string label = ShortFileLabel(path);
  return label == path ? label : label + "  ";
}

TRunProgress ProgressTexts(const TProgressInfo& info, int row, int taskCount, const std::string& caption) {
  TRunProgress text;
  text.Row = row;
  text.Percent = ProgressPercent(info.CurrentDuration, info.TotalDuration);
  text.TimeLabel = std::to_string(info.CurrentDuration / 1000000) + " Second";
  text.LengthLabel = std::to_string(info.TotalDuration > 0 ? info.TotalDuration / 1000000 : 0) + " Second";
  text.SizeLabel = std::to_string(info.CurrentSize / 1000) + " kb";
  text.TaskLabel = "[" + std::to_string(info.TaskIndex + 1) + "/" + std::to_string(taskCount) + "]";
  text.FileLabel = ShortFileLabel(caption);
  text.RowText = std::to_string(text.Percent) + "%";
  return text;
}

std::string BatchSummary(int converted, int failed) {
  return std::to_string(converted) + (converted == 1 ? " file" : " files") + " converted, " +
         std::to_string(failed) + " failed";
}

} // namespace kavro
