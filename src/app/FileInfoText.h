// What the file information window shows of a probed file: the shortened name, the duration, the
// container format and the numbers of the first video and first audio stream, all as text. Owner's
// thread only (the probe and the component are not shared).
#pragma once

#include <cstdint>
#include <string>

namespace kavro {

class TCustomAVProbe;
class TCustomFFmpegVCL;

struct TFileInfo {
  // The probe opened the file and found at least one stream; every other field is empty otherwise.
  bool Found = false;
  std::string SourceName;
  std::string Duration;
  std::string Format;
  // Empty when the file has no video stream.
  std::string Resolution;
  std::string FrameRate;
  std::string TotalFrame;
  std::string BitRate;
  // Empty when the file has no audio stream.
  std::string AudioFormat;
  std::string SampleRate;
  std::string Channel;
  std::string AudioBitRate;
};

// The path when it has fewer than 46 characters, else its first 40 characters, "..", its extension
// and two spaces. Characters are those of UTF-8 text, so a name is never cut inside one; bytes that
// are not UTF-8 count as one character each.
std::string ShortSourceName(const std::string& path);
// "%d.%.3d Second" of whole seconds and milliseconds; "N/A" when unknown (negative).
std::string DurationText(int64_t microseconds);
// The codec of an audio stream line: from the 7th character after "Audio:" up to the next comma or
// line end; empty when there is no "Audio:".
std::string AudioFormatText(const std::string& description);
// Every field from an open probe; nothing when it has no stream.
TFileInfo FileInfoFromProbe(TCustomAVProbe& probe, const std::string& sourceFile);
// Clears the component's tasks and probes the file through a task of its own, which stays until the
// tasks are cleared again. On failure nothing is found, no task is left and error says why.
TFileInfo ProbeFileInfo(TCustomFFmpegVCL& component, const std::string& sourceFile, std::string& error);

} // namespace kavro
