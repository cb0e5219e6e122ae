#include "FormatProfile.h"

#include "FormatKeys.h"

namespace kavro {
namespace {

constexpr TFormatListInfo ListTable[] = {
    {TFormatList::VideoSize, "VideoSize", "iVideoSize", false},
    {TFormatList::VideoBitRate, "VideoBitRate", "iVideoBitRate", false},
    {TFormatList::FrameRate, "FrameRate", "iFrameRate", false},
    {TFormatList::VideoEncoder, "VideoEncoder", "iVideoEncoder", true},
    {TFormatList::AudioBitRate, "AudioBitRate", "iAudioBitRate", true},
    {TFormatList::SampleRate, "SampleRate", "iSampleRate", true},
    {TFormatList::AudioEncoder, "AudioEncoder", "iAudioEncoder", true},
    {TFormatList::Channel, "Channel", "iChannel", true},
    {TFormatList::Volume, "Volume", "iVolume", true},
};
static_assert(std::size(ListTable) == FormatListCount);

constexpr bool ListTableInOrder() {
  for (int i = 0; i < FormatListCount; ++i)
    if (static_cast<int>(ListTable[i].List) != i) return false;
  return true;
}
static_assert(ListTableInOrder());

enum class TExtraTest { IsTrue, AboveZero, ZeroOrMore };

struct TExtraInfo {
  const char* Key;
  TExtraTest Test;
};

constexpr TExtraInfo H264Extras[] = {
    {"paraBitExact", TExtraTest::IsTrue},      {"paraMaxBitrate", TExtraTest::AboveZero},
    {"paraBufferSize", TExtraTest::AboveZero}, {"paraLevel", TExtraTest::AboveZero},
    {"paraQscale", TExtraTest::AboveZero},     {"paraGop", TExtraTest::AboveZero},
    {"paraCoder", TExtraTest::ZeroOrMore},
};

bool Passes(TExtraTest test, const std::string& value) {
  switch (test) {
  case TExtraTest::IsTrue:
    return SameText(value, "true");
  case TExtraTest::AboveZero:
    return IsInteger(value) && StrToInt(value) > 0;
  case TExtraTest::ZeroOrMore:
    return IsInteger(value) && StrToInt(value) >= 0;
  }
  return false;
}

} // namespace

const TFormatListInfo& FormatListInfo(TFormatList list) {
  return ListTable[static_cast<size_t>(list)];
}

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ',') {
      items.push_back(item);
      item.clear();
    } else {
      item += text[i];
    }
    if (i + 1 == text.size()) items.push_back(item);
  }
  return items;
}

TChoiceList ParseChoiceList(TFormatList list, const std::string& value) {
  if (value == "null" || (value.empty() && FormatListInfo(list).EmptyIsNull)) return {};
  return {true, SplitCommaList(value)};
}

TChoiceList ReadChoiceList(const TIniFile& formats, int code, TFormatList list) {
  return ParseChoiceList(list, formats.ReadString(FormatSection(code), FormatListInfo(list).Key, "null"));
}

int ReadDefaultIndex(const TIniFile& formats, int code, TFormatList list) {
  return formats.ReadInteger(FormatSection(code), FormatListInfo(list).IndexKey, 0);
}

bool H264ExtraPasses(const std::string& key, const std::string& value) {
  for (const auto& extra : H264Extras)
    if (SameText(extra.Key, key)) return Passes(extra.Test, value);
  return false;
}

std::vector<TFormatExtra> H264ExtrasToCopy(const TIniFile& formats, int code) {
  std::vector<TFormatExtra> extras;
  for (const auto& extra : H264Extras) {
    const std::string value = formats.ReadString(FormatSection(code), extra.Key, "");
    if (Passes(extra.Test, value)) extras.push_back({extra.Key, value});
  }
  return extras;
}

TFormatProfile ReadFormatProfile(const TIniFile& formats, int code) {
  TFormatProfile profile;
  profile.Code = code;
  profile.Format = FormatWordOf(formats, code);
  profile.FileExt = FileExtOf(formats, code);
  for (const auto& info : ListTable) {
    profile.Lists[static_cast<size_t>(info.List)] = ReadChoiceList(formats, code, info.List);
    profile.DefaultIndices[static_cast<size_t>(info.List)] = ReadDefaultIndex(formats, code, info.List);
  }
  profile.H264Extras = H264ExtrasToCopy(formats, code);
  return profile;
}

std::string FileExtOf(const TIniFile& formats, int code) {
  return formats.ReadString(FormatSection(code), "FileExt", "mp4");
}

std::string FormatWordOf(const TIniFile& formats, int code) {
  return formats.ReadString(FormatSection(code), "Format", "null");
}

} // namespace kavro
