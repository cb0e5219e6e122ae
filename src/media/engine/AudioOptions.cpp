// Handlers of the audio options and of the bitstream filter options.
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Convert.h"

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/samplefmt.h>
}

namespace kavro {

void TCustomFFmpeg::OptAudioRate(const std::string& name, const std::string& value) {
  const int rate = StrToInt(value);
  if (rate > MaxSampleRate)
    throw EOptionError(
        Format("Invalid sample rate for %s: %s (at most %d)", name.c_str(), value.c_str(), MaxSampleRate));
  if (rate > 0) FSettings.AudioSampleRate = rate;
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptAudioChannels(const std::string& name, const std::string& value) {
  const int channels = StrToInt(value);
  if (channels > MaxAudioChannels)
    throw EOptionError(Format("Invalid channel count for %s: %s (at most %d)", name.c_str(), value.c_str(),
                              MaxAudioChannels));
  if (channels > 0) FSettings.AudioChannels = channels;
  FSettings.StreamHints.emplace_back(name, value);
}

void TCustomFFmpeg::OptSampleFormat(const std::string&, const std::string& value) {
  if (value == "list") {
    char line[128];
    for (int i = -1; i < AV_SAMPLE_FMT_NB; ++i) {
      av_get_sample_fmt_string(line, sizeof line, static_cast<AVSampleFormat>(i));
      TFFLogger::Instance().Log(this, llInfo, Trim(line));
    }
    return;
  }
  const AVSampleFormat format = av_get_sample_fmt(value.c_str());
  if (format == AV_SAMPLE_FMT_NONE) throw EOptionError("Unknown sample format requested: " + value);
  FSettings.AudioSampleFormat = format;
}

void TCustomFFmpeg::OptBitstreamFilter(const std::string& name, const std::string& value) {
  if (value.starts_with("=")) return;
  const size_t equals = value.find('=');
  TBitstreamFilterSpec filter;
  filter.Name = Trim(value.substr(0, equals));
  if (equals != std::string::npos) filter.Arguments = value.substr(equals + 1);
  if (!av_bsf_get_by_name(filter.Name.c_str())) throw EOptionError("Unknown bitstream filter " + Trim(value));
  auto& chain = name[0] == 'a'   ? FSettings.AudioBitstreamFilters
                : name[0] == 'v' ? FSettings.VideoBitstreamFilters
                                 : FSettings.SubtitleBitstreamFilters;
  chain.push_back(filter);
}

} // namespace kavro
