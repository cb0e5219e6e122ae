#include "EncoderNames.h"

#include <string_view>

#include "FormatKeys.h"
#include "platform/Convert.h"

namespace kavro {
namespace {

struct TNamePair {
  std::string_view Display;
  std::string_view Stored;
};

constexpr std::string_view H264DisplayName = "h264";

constexpr TNamePair VideoEncoders[] = {
    {"mpeg-4", "mpeg4"},
    {"xvid", "libxvid"},
    {H264DisplayName, "libx264"},
    {"3gp", "3gp"},
    {"3g2", "3g2"},
    {"mov", "mov"},
    {"flv", "flv"},
    {"swf", "swf"},
    {"wmv1", "wmv1"},
    {"wmv2", "wmv2"},
    {"wmv3", "wmv3"},
    {"msmpeg4", "msmpeg4"},
    {"msmpeg4v1", "msmpeg4v1"},
    {"msmpeg4v2", "msmpeg4v2"},
    {"mpeg1video", "mpeg1video"},
    {"mpeg2video", "mpeg2video"},
    {"h263", "h263"},
    {"h263p", "h263p"},
    {"rawvideo", "rawvideo"},
    {"rv10", "rv10"},
    {"rv20", "rv20"},
    {"dvvideo", "dvvideo"},
    {"huffyuv", "huffyuv"},
    {"ljpeg", "ljpeg"},
    {"mjpeg", "mjpeg"},
    {"svq1", "svq1"},
    {"zlib", "zlib"},
};

// The retired names ("libfaac", "vorbis", "libflac") are kept: the engine maps them to their
// successors, and stored settings of older versions hold them too.
constexpr TNamePair AudioEncoders[] = {
    {"mp3", "libmp3lame"},
    {"ogg", "vorbis"},
    {"mp2", "mp2"},
    {"aac", "libfaac"},
    {"ac-3", "ac3"},
    {"flac", "libflac"},
    {"amr_nb", "libopencore_amrnb"},
    {"pcm_s16", "pcm_s16le"},
    {"pcm_u16", "pcm_u16le"},
    {"pcm_alaw", "pcm_alaw"},
    {"pcm_mulaw", "pcm_mulaw"},
    {"adpcm_ms", "adpcm_ms"},
    {"adpcm_ima_wav", "adpcm_ima_wav"},
    {"wma1", "wmav1"},
    {"wma2", "wmav2"},
};

constexpr TNamePair Channels[] = {
    {"as source", "as source"},
    {"mono 1 channel", "1"},
    {"stereo 2 channels", "2"},
};

struct TVolumeStep {
  int Percent;
  int Stored;
};

constexpr TVolumeStep Volumes[] = {
    {25, 64},   {50, 128},  {75, 192},  {100, 256}, {125, 320}, {150, 384},
    {175, 448}, {200, 512}, {250, 640}, {300, 768}, {350, 896}, {400, 1024},
};

template <size_t Count>
std::optional<std::string> Lookup(const TNamePair (&table)[Count], const std::string& display) {
  for (const auto& pair : table)
    if (SameText(display, pair.Display)) return std::string(pair.Stored);
  return std::nullopt;
}

} // namespace

std::optional<std::string> VideoEncoderWord(const std::string& displayName) {
  return Lookup(VideoEncoders, displayName);
}

bool IsH264DisplayName(const std::string& displayName) {
  return SameText(displayName, H264DisplayName);
}

std::optional<std::string> AudioEncoderWord(const std::string& displayName) {
  return Lookup(AudioEncoders, displayName);
}

std::optional<std::string> ChannelValue(const std::string& text) {
  return Lookup(Channels, text);
}

std::optional<std::string> VolumeValue(const std::string& itemText) {
  const int percent = StrToInt(itemText.empty() ? itemText : itemText.substr(0, itemText.size() - 1));
  for (const auto& step : Volumes)
    if (step.Percent == percent) return std::to_string(step.Stored);
  return std::nullopt;
}

} // namespace kavro
