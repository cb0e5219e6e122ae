// The profile of one format as the format file holds it in section "formatInfo" + code: the
// container word, the file extension, the choice lists of the parameter panel with their default
// indices, and the H.264 extras. The format file is read-only; every read opens it afresh.
// Any thread.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "IniFile.h"

namespace kavro {

// The nine choice lists, in the order of the format file's table.
enum class TFormatList {
  VideoSize,
  VideoBitRate,
  FrameRate,
  VideoEncoder,
  AudioBitRate,
  SampleRate,
  AudioEncoder,
  Channel,
  Volume
};
inline constexpr int FormatListCount = 9;

struct TFormatListInfo {
  TFormatList List;
  const char* Key;      // the list, "VideoSize"
  const char* IndexKey; // its default index, "iVideoSize"; the settings file's item index key too
  bool EmptyIsNull;     // an empty value means the parameter does not apply, like "null"
};

const TFormatListInfo& FormatListInfo(TFormatList list);

// A list of choices; Applies is false for "null" (its combo is emptied and disabled).
struct TChoiceList {
  bool Applies = false;
  std::vector<std::string> Items;
};

// Split at every comma; items are not trimmed and a trailing comma gives a last, empty item.
std::vector<std::string> SplitCommaList(const std::string& text);
// A list value as written in the format file, with its "null" rule.
TChoiceList ParseChoiceList(TFormatList list, const std::string& value);
TChoiceList ReadChoiceList(const TIniFile& formats, int code, TFormatList list);
// The default item index of a list (0 when absent).
int ReadDefaultIndex(const TIniFile& formats, int code, TFormatList list);

// A key and value copied from the format file into the settings file when H.264 is chosen.
struct TFormatExtra {
  std::string Key;
  std::string Value;
  bool operator==(const TFormatExtra&) const = default;
};

// Whether an H.264 extra's value passes its test: "paraBitExact" reads "true" (any case),
// "paraCoder" is an integer of 0 or more, the others integers above 0.
bool H264ExtraPasses(const std::string& key, const std::string& value);
// The extras of the format's section that pass their tests, in the table's order.
std::vector<TFormatExtra> H264ExtrasToCopy(const TIniFile& formats, int code);

struct TFormatProfile {
  int Code = 0;
  std::string Format = "null";
  std::string FileExt = "mp4";
  std::array<TChoiceList, FormatListCount> Lists;
  std::array<int, FormatListCount> DefaultIndices{};
  std::vector<TFormatExtra> H264Extras;

  const TChoiceList& List(TFormatList list) const { return Lists[static_cast<size_t>(list)]; }
  int DefaultIndex(TFormatList list) const { return DefaultIndices[static_cast<size_t>(list)]; }
};

TFormatProfile ReadFormatProfile(const TIniFile& formats, int code);
// "FileExt", default "mp4": the extension of the output files, without the dot.
std::string FileExtOf(const TIniFile& formats, int code);
// "Format", default "null": the container or target word of the format.
std::string FormatWordOf(const TIniFile& formats, int code);

} // namespace kavro
