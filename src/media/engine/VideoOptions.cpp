// Handlers of the video options, and the codec, tag and new-stream handlers that the audio and
// subtitle options share.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "engine/HookArguments.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/ProgramPaths.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

namespace kavro {
namespace {

void WarnIfLowBitrate(TCustomFFmpeg* sender, AVCodecContext* codec) {
  if (codec->bit_rate < 1000)
    TFFLogger::Instance().Log(
        sender, llWarning,
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

// The libraries read the numbers of a size into ints unchecked: 4294967616x4294967536 would come
// out as 320x240. Any number in the text must fit an int before the text is read.
bool NumbersFitInt(const std::string& value) {
  for (size_t at = value.find_first_of("0123456789"); at != std::string::npos;
       at = value.find_first_of("0123456789", at)) {
    const size_t end = std::min(value.find_first_not_of("0123456789", at), value.size());
    const std::string digits = value.substr(at, end - at);
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos &&
        (digits.size() - first > 10 || std::stoll(digits.substr(first)) > INT_MAX))
      return false;
    at = end;
  }
  return true;
}

} // namespace

void TCustomFFmpeg::OptVideoBitrate(const std::string& name, const std::string& value) {
  if (SetOptionParameter(name, value)) WarnIfLowBitrate(this, FParams.CodecContext(ptVideo));
}

void TCustomFFmpeg::OptAudioBitrate(const std::string& name, const std::string& value) {
  if (SetOptionParameter(name, value)) WarnIfLowBitrate(this, FParams.CodecContext(ptAudio));
}

void TCustomFFmpeg::OptFrameRate(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  AVRational rate;
  if (av_parse_video_rate(&rate, value.c_str()) < 0) throw EOptionError("Incorrect frame rate");
  if (av_cmp_q(rate, AVRational{MaxFrameRate, 1}) > 0)
    throw EOptionError(
        Format("Incorrect frame rate: %s is above %d frames a second", value.c_str(), MaxFrameRate));
  FSettings.FrameRate = {rate.num, rate.den};
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptFrameSize(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  int width = 0;
  int height = 0;
  const auto beyond = [&] {
    return EOptionError("Incorrect frame size: " + value + " is beyond the largest picture");
  };
  if (!NumbersFitInt(value)) throw beyond();
  if (av_parse_video_size(&width, &height, value.c_str()) < 0) throw EOptionError("Incorrect frame size");
  if (av_image_check_size(static_cast<unsigned>(width), static_cast<unsigned>(height), 0, nullptr) < 0)
    throw beyond();
  FSettings.FrameWidth = width;
  FSettings.FrameHeight = height;
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptAspect(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  double aspect = 0;
  const size_t colon = value.find(':');
  if (colon != std::string::npos) {
    const int width = std::atoi(value.substr(0, colon).c_str());
    const int height = std::atoi(value.substr(colon + 1).c_str());
    if (height > 0) aspect = static_cast<double>(width) / height;
  } else {
    try {
      aspect = StrToFloat(value);
    } catch (const EConvertError&) {
      aspect = 0;
    }
  }
  if (aspect == 0 || !std::isfinite(aspect)) throw EOptionError("Incorrect aspect ratio specification.");
  // The sample aspect is written with terms up to 255; a display shape beyond that is no picture.
  constexpr double MaxAspect = 255;
  if (!(aspect >= 1 / MaxAspect && aspect <= MaxAspect))
    throw EOptionError("Incorrect aspect ratio specification: " + value + " is not between 1:255 and 255:1");
  FSettings.FrameAspectRatio = static_cast<float>(aspect);
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptPixelFormat(const std::string& name, const std::string& value) {
  if (value == "list") {
    TFFLogger::Instance().Log(this, llInfo, "Pixel formats:  NAME            NB_COMPONENTS BITS_PER_PIXEL");
    for (const AVPixFmtDescriptor* d = av_pix_fmt_desc_next(nullptr); d; d = av_pix_fmt_desc_next(d))
      TFFLogger::Instance().Log(
          this, llInfo, Trim(Format("%-16s %d %d", d->name, d->nb_components, av_get_bits_per_pixel(d))));
    return;
  }
  const AVPixelFormat format = av_get_pix_fmt(value.c_str());
  if (format == AV_PIX_FMT_NONE) throw EOptionError("Unknown pixel format requested: " + value);
  FSettings.FramePixelFormat = format;
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptCrop(const std::string& name, const std::string& value) {
  const int band = StrToInt(value);
  if (band <= 0) return;
  const bool vertical = name == "croptop" || name == "cropbottom";
  int& size = vertical ? FSettings.FrameHeight : FSettings.FrameWidth;
  if (band >= size)
    throw EOptionError(std::string(vertical ? "Vertical" : "Horizontal") +
                       " crop dimensions are outside the range of the original image.\n"
                       "Remember to crop first and scale second.");
  const char* caption = name == "croptop"      ? "CropTop"
                        : name == "cropbottom" ? "CropBottom"
                        : name == "cropleft"   ? "CropLeft"
                                               : "CropRight";
  TFFLogger::Instance().LogFmt(this, llWarning, "%s is deprecated in favor of the crop avfilter", caption);
  int& stored = name == "croptop"      ? FSettings.FrameTopBand
                : name == "cropbottom" ? FSettings.FrameBottomBand
                : name == "cropleft"   ? FSettings.FrameLeftBand
                                       : FSettings.FrameRightBand;
  stored = band;
  size -= band;
}

void TCustomFFmpeg::OptQScale(const std::string&, const std::string& value) {
  const double quality = StrToFloat(value);
  // Written so that "nan" fails the range too.
  if (!(quality > 0 && quality <= 255)) throw EOptionError("qscale must be > 0.0 and <= 255");
  FSettings.VideoQScale = static_cast<float>(quality);
}

// vcodec, acodec and scodec: a codec name, or "copy" for stream copy.
void TCustomFFmpeg::OptCodec(const std::string& name, const std::string& value) {
  std::string& codec = name[0] == 'v'   ? FSettings.VideoCodecName
                       : name[0] == 'a' ? FSettings.AudioCodecName
                                        : FSettings.SubtitleCodecName;
  bool& copy = name[0] == 'v'   ? FSettings.VideoStreamCopy
               : name[0] == 'a' ? FSettings.AudioStreamCopy
                                : FSettings.SubtitleStreamCopy;
  codec.clear();
  if (value == "copy")
    copy = true;
  else
    codec = value;
}

void TCustomFFmpeg::OptPass(const std::string&, const std::string& value) {
  const int pass = StrToInt(value);
  if (pass != 1 && pass != 2) throw EOptionError("pass number can be only 1 or 2");
  FSettings.DoPass = pass;
}

void TCustomFFmpeg::OptVStats(const std::string&, const std::string&) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H%M%S", &local);
  FSettings.VStatsFileName = Format("%svstats_%s.log", ProgramFolder().c_str(), clock);
}

void TCustomFFmpeg::OptVStatsFile(const std::string&, const std::string& value) {
  FSettings.VStatsFileName = value;
}

void TCustomFFmpeg::OptVideoHook(const std::string&, const std::string& value) {
  if (AddHookModule(SplitHookArguments(value)) != 0)
    throw FFmpegException("Failed to add video hook function: " + value);
}

void TCustomFFmpeg::OptVideoFilters(const std::string&, const std::string& value) {
  if (!value.empty()) FSettings.VideoFilters = value;
}

void TCustomFFmpeg::OptMatrix(const std::string& name, const std::string& value) {
  std::vector<uint16_t> matrix(64);
  const char* at = value.c_str();
  for (int i = 0; i < 64; ++i) {
    matrix[static_cast<size_t>(i)] = static_cast<uint16_t>(std::atoi(at));
    at = std::strchr(at, ',');
    if (!at && i < 63)
      throw EOptionError(Format("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), i));
    if (at) ++at;
  }
  (name == "intra_matrix" ? FSettings.IntraMatrix : FSettings.InterMatrix) = matrix;
}

void TCustomFFmpeg::OptCodecTag(const std::string& name, const std::string& value) {
  const char kind = name[0];
  if (kind == 'v' && value.empty()) return;
  if (value.size() != 4)
    throw EOptionError(std::string(kind == 'v'   ? "video"
                                   : kind == 'a' ? "audio"
                                                 : "subtitle") +
                       " tag parameter must be 4 chars");
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(value[i])); };
  const uint32_t tag = byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24);
  (kind == 'v'   ? FSettings.VideoCodecTag
   : kind == 'a' ? FSettings.AudioCodecTag
                 : FSettings.SubtitleCodecTag) = tag;
}

void TCustomFFmpeg::OptNewStream(const std::string& name, const std::string&) {
  if (OutputFileCount() < 1) throw EOptionError("At least one output file must be specified");
  NewStreamForOption(name == "newvideo"   ? AVMEDIA_TYPE_VIDEO
                     : name == "newaudio" ? AVMEDIA_TYPE_AUDIO
                                          : AVMEDIA_TYPE_SUBTITLE);
}

void TCustomFFmpeg::OptStreamId(const std::string& name, const std::string& value) {
  const size_t colon = value.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
    throw EOptionError(Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                              value.c_str(), name.c_str()));
  const int index = StrToInt(value.substr(0, colon));
  if (index < 0 || index >= MaxStreams)
    throw EOptionError(
        Format("Invalid stream index %d for option \"%s\": 0 to %d", index, name.c_str(), MaxStreams - 1));
  FSettings.StreamIds[static_cast<size_t>(index)] = StrToInt(value.substr(colon + 1));
}

} // namespace kavro
