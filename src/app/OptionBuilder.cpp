#include "OptionBuilder.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

#include "AVProbe.h"
#include "FormatKeys.h"
#include "FormatProfile.h"
#include "ZoomOptions.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace kavro {
namespace {

constexpr const char* AsSource = "as source";

template <size_t N> bool OneOf(const std::string& word, const char* const (&words)[N]) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// The value of a text that passed IsInteger or IsDecimal; only finite numbers count.
bool NumberValue(const std::string& text, double& value) {
  if (IsInteger(text)) {
    value = StrToInt(text);
    return true;
  }
  if (!IsDecimal(text)) return false;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return std::isfinite(value);
}

// A positive integer choice, unless it is "as source".
bool PositiveInteger(const std::string& text, int& value) {
  if (text == AsSource || !IsInteger(text) || StrToInt(text) <= 0) return false;
  value = StrToInt(text);
  return true;
}

// kbit/s to bit/s, truncated. The small lift keeps decimals such as 64.1 from landing one below.
bool KilobitsToBits(double kilobits, int& bits) {
  const double product = std::trunc(kilobits * 1000.0 + 1e-6);
  if (!(product > 0) || product > INT_MAX) return false;
  bits = static_cast<int>(product);
  return true;
}

struct TTargetPreset {
  const char* Format;
  int Type;
  int Norm;
  const char* WideSize; // the size that makes a DVD 16:9; null: always 4:3
};

constexpr TTargetPreset TargetPresets[] = {{"ntsc-dvd", 3, 2, "720x480"}, {"pal-dvd", 3, 1, "720x576"},
                                           {"ntsc-vcd", 1, 2, nullptr},   {"pal-vcd", 1, 1, nullptr},
                                           {"ntsc-svcd", 2, 2, nullptr},  {"pal-svcd", 2, 1, nullptr}};

// Encoder words the engine takes as they are; any other word leaves the container's default.
constexpr const char* const NamedVideoEncoders[] = {
    "mpeg4",   "libxvid", "mpeg1video", "mpeg2video", "msmpeg4", "msmpeg4v1", "msmpeg4v2",
    "huffyuv", "dvvideo", "rawvideo",   "h263p",      "h263",    "rv10",      "rv20",
    "ljpeg",   "mjpeg",   "svq1",       "zlib",       "wmv1",    "wmv2",      "libx264"};

constexpr const char* const Containers[] = {"ipod", "3gp", "3g2", "avi",    "psp",
                                            "mov",  "vcd", "flv", "mpegts", "vob"};

constexpr const char* const H263Sizes[] = {"704x576", "352x288", "176x144", "160x120", "128x96"};

// One side of a typed size; the source's side when the text is not a usable number.
int SizeSide(const std::string& text, int sourceSide) {
  return IsInteger(text) && StrToInt(text) > 0 ? StrToInt(text) : sourceSide;
}

} // namespace

TSourceFacts SourceFactsOf(TCustomAVProbe& probe) {
  TSourceFacts facts;
  facts.VideoStreamCount = std::max(0, probe.VideoStreamCount());
  if (facts.VideoStreamCount == 0) return facts;
  TVideoStreamInfo video;
  probe.GetVideoInfo(-1, video);
  facts.Width = std::max(0, video.Width);
  facts.Height = std::max(0, video.Height);
  facts.VideoBitRate = std::max(0, video.BitRate);
  return facts;
}

TOptionBuilder::TOptionBuilder(const TIniFile& settings, const TIniFile& formats, TAppDialogs& dialogs)
    : FSettings(settings), FFormats(formats), FDialogs(dialogs) {}

std::string TOptionBuilder::Choice(const std::string& key, const std::string& defaultValue) const {
  return FSettings.ReadString(FSection, key, defaultValue);
}

void TOptionBuilder::BuildOptions(const TlvFilesRecord& row, int formatCode, TOutputOptions& output,
                                  const TSourceFacts& source, TInputOptions& input) {
  FSection = FormatSection(formatCode);
  const std::string format = FormatWordOf(FFormats, formatCode);
  if (row.TrimStart >= 0) input.StartTime = row.TrimStart;
  if (row.TrimLength > 0) output.RecordingTime = row.TrimLength;

  ApplyTarget(LowerCase(format), output);
  if (Trim(Choice("paraVideoEncoder", "")).empty()) {
    ApplyAudioOnly(output, input);
    return;
  }
  ApplyVideoEncoder(LowerCase(format), output);
  if (source.VideoStreamCount <= 0)
    output.DisableVideo = true;
  else
    ApplyVideo(row, format, source, output);
  ApplyAudio(output);
}

void TOptionBuilder::ApplyTarget(const std::string& format, TOutputOptions& output) const {
  for (const TTargetPreset& preset : TargetPresets) {
    if (format != preset.Format) continue;
    output.TargetType = preset.Type;
    output.TargetNorm = preset.Norm;
    const bool wide = preset.WideSize && Choice("paraVideoSize", "null") == preset.WideSize;
    output.FrameAspectRatio = wide ? "16:9" : "4:3";
  }
}

void TOptionBuilder::ApplyAudioOnly(TOutputOptions& output, TInputOptions& input) const {
  output.AudioCodec = Choice("paraAudioEncoder", "libfaac");
  PositiveInteger(Choice("paraChannel", "2"), output.AudioChannels);
  ApplySampleRateAndBitrate(output);
  ApplyVolume(output);
  input.ExtOptions = "vn=1";
  output.DisableVideo = true;
  output.DisableSubtitle = true;
}

void TOptionBuilder::ApplyVideoEncoder(const std::string& format, TOutputOptions& output) const {
  const std::string encoder = Choice("paraVideoEncoder", "");
  if (!OneOf(encoder, NamedVideoEncoders)) return;
  output.VideoCodec = encoder;
  // An SVCD or VCD target stays what it is: MPEG-2 only means DVD when no disc was chosen.
  if (encoder == "mpeg2video" && output.TargetType == 0) output.TargetType = 3;
  if (encoder != "libx264") return;
  if (format == "psp")
    output.VideoPreset = "libx264-psp";
  else if (format == "ipod")
    output.VideoPreset = "libx264-ipod";
  else if (format == "ps3")
    output.VideoPreset = "libx264-ps3";
  else
    output.VideoPreset = "libx264-mp4";
}

void TOptionBuilder::ApplyVideo(const TlvFilesRecord& row, const std::string& format,
                                const TSourceFacts& source, TOutputOptions& output) {
  const std::string bitRate = Choice("paraVideoBitRate", "512");
  if (bitRate != AsSource && IsInteger(bitRate)) {
    // A rate beyond the int range in bit/s is left alone rather than wrapped.
    const int64_t bits = static_cast<int64_t>(StrToInt(bitRate)) * 1000;
    if (bits > 0 && bits <= INT_MAX) output.VideoBitrate = static_cast<int>(bits);
  } else if (source.VideoBitRate > 0) {
    output.VideoBitrate = source.VideoBitRate;
  }

  const std::string frameRate = Choice("paraFrameRate", "29.97");
  double rate = 0;
  if (frameRate != AsSource && NumberValue(frameRate, rate) && rate > 0) output.FrameRate = frameRate;

  if (OneOf(LowerCase(format), Containers)) output.FileFormat = format;

  int width = 0;
  int height = 0;
  TargetSize(source, output.VideoCodec, width, height);

  for (int* crop : {&output.CropTop, &output.CropBottom, &output.CropLeft, &output.CropRight})
    if (*crop == -1) *crop = 0;

  // A disc's picture is 4:3 or 16:9 whatever the zoom makes of it; any other aspect is not allowed there.
  const std::string discAspect = output.TargetType > 0 ? output.FrameAspectRatio : "";
  const std::string chain = ApplyZoomMode(row, source.Width, source.Height, width, height, output);
  if (!discAspect.empty()) output.FrameAspectRatio = discAspect;
  if (!chain.empty())
    output.VideoFilters = output.VideoFilters.empty() ? chain : output.VideoFilters + "," + chain;
}

void TOptionBuilder::TargetSize(const TSourceFacts& source, const std::string& videoCodec, int& width,
                                int& height) {
  const std::string size = Choice("paraVideoSize", "null");
  const size_t x = size.find('x');
  const bool parsed = size != AsSource && x != std::string::npos && x > 0 && x + 1 < size.size();
  if (parsed) {
    width = SizeSide(size.substr(0, x), source.Width);
    height = SizeSide(size.substr(x + 1), source.Height);
  } else if (size != AsSource &&
             FDialogs.AskYesNo("Error output Video Size.Use the default size 320x240?", CaptionWarning)) {
    width = 320;
    height = 240;
  } else {
    width = source.Width;
    height = source.Height;
  }
  // H.263 takes only its own picture sizes; the size is settled first, so a default or a source's size
  // is brought to one as well.
  if (LowerCase(videoCodec) == "h263" && !OneOf(Format("%dx%d", width, height), H263Sizes)) {
    if (width > 352) {
      width = 704;
      height = 576;
    } else if (width > 176) {
      width = 352;
      height = 288;
    }
  }
}

void TOptionBuilder::ApplyAudio(TOutputOptions& output) const {
  std::string encoder = Choice("paraAudioEncoder", "");
  if (encoder == "libamr_nb") encoder = "libopencore_amrnb";
  output.AudioCodec = encoder;
  if (Trim(encoder).empty()) output.DisableAudio = true;
  const std::string channels = Choice("paraChannel", "2");
  if (channels != AsSource && IsInteger(channels)) output.AudioChannels = StrToInt(channels);
  ApplyVolume(output);
  ApplySampleRateAndBitrate(output);
}

void TOptionBuilder::ApplySampleRateAndBitrate(TOutputOptions& output) const {
  PositiveInteger(Choice("paraSampleRate", "44100"), output.AudioSampleRate);
  const std::string bitRate = Choice("paraAudioBitRate", "128");
  double kilobits = 0;
  if (bitRate != AsSource && NumberValue(bitRate, kilobits)) KilobitsToBits(kilobits, output.AudioBitrate);
}

void TOptionBuilder::ApplyVolume(TOutputOptions& output) const {
  // A format without a volume choice keeps the sound as it is.
  const std::string volume = Choice("paraVolume", "256");
  if (volume != "256") output.Volume = StrToInt(volume);
}

} // namespace kavro
