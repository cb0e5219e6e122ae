// The option table of the engine and the way ParseOption walks it.
#include <cmath>
#include <cstring>

#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace kavro {
namespace {

// The multiplexer keeps its delays in an int of microseconds.
constexpr int MaxMuxSeconds = 2147;
// A day: the drift and jump thresholds are seconds, and a larger one only turns the check off.
constexpr int MaxThresholdSeconds = 86400;
// Audio quality scales of every encoder lie well inside this, and so does the mark of none, -99999;
// its lambda is an int.
constexpr int MaxQScale = 99999;

} // namespace

template <bool TTaskSettings::*Field>
void TCustomFFmpeg::OptBool(const std::string&, const std::string& value) {
  FSettings.*Field = value != "0";
}

template <bool TTaskSettings::*Field>
void TCustomFFmpeg::OptAlwaysTrue(const std::string&, const std::string&) {
  FSettings.*Field = true;
}

template <int TTaskSettings::*Field>
void TCustomFFmpeg::OptInt(const std::string&, const std::string& value) {
  FSettings.*Field = StrToInt(value);
}

template <float TTaskSettings::*Field, int Lowest, int Highest>
void TCustomFFmpeg::OptFloat(const std::string& name, const std::string& value) {
  // Every float setting ends up in an integer field somewhere; "nan" or "inf" there is no number,
  // and a value beyond the setting's range would overflow that field.
  const double number = StrToFloat(value);
  if (!std::isfinite(static_cast<float>(number)))
    throw EConvertError("'" + value + "' is not a valid floating point value");
  if (number < Lowest || number > Highest)
    throw EOptionError(Format("Invalid value \"%s\" for option \"%s\": not between %d and %d", value.c_str(),
                              name.c_str(), Lowest, Highest));
  FSettings.*Field = static_cast<float>(number);
}

template <std::string TTaskSettings::*Field>
void TCustomFFmpeg::OptText(const std::string&, const std::string& value) {
  FSettings.*Field = value;
}

const TOptionRow* TCustomFFmpeg::OptionTable(int& count) {
  using T = TCustomFFmpeg;
  using S = TTaskSettings;
  static constexpr TOptionRow Rows[] = {
      // Do nothing, refused, and the log level of the process.
      {"L", okFlag, &T::OptDoNothing, nullptr},
      {"h", okFlag, &T::OptDoNothing, nullptr},
      {"version", okFlag, &T::OptDoNothing, nullptr},
      {"formats", okFlag, &T::OptDoNothing, nullptr},
      {"codecs", okFlag, &T::OptDoNothing, nullptr},
      {"bsfs", okFlag, &T::OptDoNothing, nullptr},
      {"protocols", okFlag, &T::OptDoNothing, nullptr},
      {"filters", okFlag, &T::OptDoNothing, nullptr},
      {"i", okText, &T::OptDoNothing, nullptr},
      {"y", okFlag, &T::OptDoNothing, nullptr},
      {"benchmark", okFlag, &T::OptDoNothing, nullptr},
      {"timelimit", okInt, &T::OptTimeLimit, nullptr},
      {"threads", okInt, &T::OptInt<&S::Threads>, "1"},
      {"loglevel", okText, &T::OptLogLevel, nullptr},
      // General and file options.
      {"f", okText, &T::OptFormat, nullptr},
      {"map", okText, &T::OptMap, nullptr},
      {"map_meta_data", okText, &T::OptMapMetaData, nullptr},
      {"t", okTime, &T::OptRecordingTime, nullptr},
      {"fs", okInt64, &T::OptLimitFileSize, "0"},
      {"ss", okTime, &T::OptStartTime, "0"},
      {"itsoffset", okTime, &T::OptInputTsOffset, "0"},
      {"itsscale", okText, &T::OptInputTsScale, nullptr},
      {"timestamp", okDate, &T::OptRecordingTimestamp, nullptr},
      {"metadata", okText, &T::OptMetadata, nullptr},
      {"dframes", okInt, &T::OptMaxFrames, "2147483647"},
      {"dump", okBool, &T::OptBool<&S::DoPacketDump>, "0"},
      {"hex", okBool, &T::OptBool<&S::DoHexDump>, "0"},
      {"re", okBool, &T::OptBool<&S::ReadAtNativeRate>, "0"},
      {"loop_input", okBool, &T::OptBool<&S::LoopInput>, "0"},
      {"loop_output", okInt, &T::OptInt<&S::LoopOutput>, "-1"},
      {"v", okInt, &T::OptVerbose, "1"},
      {"target", okText, &T::OptTarget, nullptr},
      {"vsync", okInt, &T::OptInt<&S::VideoSyncMethod>, "-1"},
      {"async", okInt, &T::OptInt<&S::AudioSyncMethod>, "0"},
      {"adrift_threshold", okFloat, &T::OptFloat<&S::AudioDriftThreshold, 0, MaxThresholdSeconds>, "0.1"},
      {"vglobal", okInt, &T::OptInt<&S::VideoGlobalHeader>, "0"},
      {"copyts", okFlag, &T::OptAlwaysTrue<&S::CopyTimestamps>, nullptr},
      {"shortest", okBool, &T::OptBool<&S::Shortest>, "0"},
      {"dts_delta_threshold", okFloat, &T::OptFloat<&S::DtsDeltaThreshold, 0, MaxThresholdSeconds>, "10"},
      {"programid", okInt, &T::OptInt<&S::ProgramID>, "0"},
      {"xerror", okFlag, &T::OptAlwaysTrue<&S::ExitOnError>, nullptr},
      {"copyinkf", okInt, &T::OptInt<&S::CopyInitialNonKeyframes>, "0"},
      // Video options.
      {"b", okText, &T::OptVideoBitrate, nullptr},
      {"vb", okText, &T::OptVideoBitrate, nullptr},
      {"vframes", okInt, &T::OptMaxFrames, "2147483647"},
      {"r", okText, &T::OptFrameRate, nullptr},
      {"s", okText, &T::OptFrameSize, nullptr},
      {"aspect", okText, &T::OptAspect, nullptr},
      {"pix_fmt", okText, &T::OptPixelFormat, nullptr},
      {"croptop", okInt, &T::OptCrop, nullptr},
      {"cropbottom", okInt, &T::OptCrop, nullptr},
      {"cropleft", okInt, &T::OptCrop, nullptr},
      {"cropright", okInt, &T::OptCrop, nullptr},
      {"padtop", okInt, &T::OptPadding, nullptr},
      {"padbottom", okInt, &T::OptPadding, nullptr},
      {"padleft", okInt, &T::OptPadding, nullptr},
      {"padright", okInt, &T::OptPadding, nullptr},
      {"padcolor", okText, &T::OptPadding, nullptr},
      {"intra", okBool, &T::OptBool<&S::IntraOnly>, "0"},
      {"vn", okBool, &T::OptBool<&S::VideoDisable>, "0"},
      {"vdt", okInt, &T::OptInt<&S::VideoDiscard>, "0"},
      {"qscale", okFloat, &T::OptQScale, nullptr},
      {"rc_override", okText, &T::OptText<&S::VideoRcOverride>, ""},
      {"vcodec", okText, &T::OptCodec, nullptr},
      {"me_threshold", okInt, &T::OptInt<&S::MeThreshold>, "0"},
      {"sameq", okBool, &T::OptBool<&S::SameQuality>, "0"},
      {"pass", okInt, &T::OptPass, nullptr},
      {"passlogfile", okText, &T::OptText<&S::PassLogFileName>, ""},
      {"deinterlace", okBool, &T::OptBool<&S::DoDeinterlace>, "0"},
      {"psnr", okBool, &T::OptBool<&S::DoPsnr>, "0"},
      {"vstats", okFlag, &T::OptVStats, nullptr},
      {"vstats_file", okText, &T::OptVStatsFile, nullptr},
      {"vhook", okText, &T::OptVideoHook, nullptr},
      {"vfilters", okText, &T::OptVideoFilters, ""},
      {"vf", okText, &T::OptVideoFilters, ""},
      {"intra_matrix", okText, &T::OptMatrix, nullptr},
      {"inter_matrix", okText, &T::OptMatrix, nullptr},
      {"top", okInt, &T::OptInt<&S::TopFieldFirst>, "-1"},
      {"dc", okInt, &T::OptInt<&S::IntraDcPrecision>, "8"},
      {"vtag", okText, &T::OptCodecTag, nullptr},
      {"newvideo", okFlag, &T::OptNewStream, nullptr},
      {"vlang", okText, &T::OptText<&S::VideoLanguage>, ""},
      {"qphist", okBool, &T::OptBool<&S::QpHistogram>, "0"},
      {"force_fps", okBool, &T::OptBool<&S::ForceFps>, "0"},
      {"streamid", okText, &T::OptStreamId, nullptr},
      // Audio options.
      {"ab", okText, &T::OptAudioBitrate, nullptr},
      {"aframes", okInt, &T::OptMaxFrames, "2147483647"},
      {"aq", okFloat, &T::OptFloat<&S::AudioQScale, -MaxQScale, MaxQScale>, "-99999"},
      {"ar", okInt, &T::OptAudioRate, "44100"},
      {"ac", okInt, &T::OptAudioChannels, "2"},
      {"an", okBool, &T::OptBool<&S::AudioDisable>, "0"},
      {"acodec", okText, &T::OptCodec, nullptr},
      {"atag", okText, &T::OptCodecTag, nullptr},
      {"vol", okInt, &T::OptInt<&S::AudioVolume>, "256"},
      {"newaudio", okFlag, &T::OptNewStream, nullptr},
      {"alang", okText, &T::OptText<&S::AudioLanguage>, ""},
      {"sample_fmt", okText, &T::OptSampleFormat, nullptr},
      // Subtitle and other options.
      {"sn", okBool, &T::OptBool<&S::SubtitleDisable>, "0"},
      {"scodec", okText, &T::OptCodec, nullptr},
      {"newsubtitle", okFlag, &T::OptNewStream, nullptr},
      {"slang", okText, &T::OptText<&S::SubtitleLanguage>, ""},
      {"stag", okText, &T::OptCodecTag, nullptr},
      {"vc", okInt, &T::OptInt<&S::VideoChannel>, "0"},
      {"tvstd", okText, &T::OptText<&S::VideoStandard>, ""},
      {"isync", okBool, &T::OptBool<&S::InputSync>, "0"},
      {"muxdelay", okFloat, &T::OptFloat<&S::MuxMaxDelay, 0, MaxMuxSeconds>, "0.7"},
      {"muxpreload", okFloat, &T::OptFloat<&S::MuxPreload, 0, MaxMuxSeconds>, "0.5"},
      {"absf", okText, &T::OptBitstreamFilter, nullptr},
      {"vbsf", okText, &T::OptBitstreamFilter, nullptr},
      {"sbsf", okText, &T::OptBitstreamFilter, nullptr},
      {"apre", okText, &T::OptPreset, nullptr},
      {"vpre", okText, &T::OptPreset, nullptr},
      {"spre", okText, &T::OptPreset, nullptr},
      {"fpre", okText, &T::OptPreset, nullptr},
  };
  count = static_cast<int>(std::size(Rows));
  return Rows;
}

const TOptionRow* TCustomFFmpeg::FindOption(const std::string& name) {
  int count = 0;
  const TOptionRow* rows = OptionTable(count);
  for (int i = 0; i < count; ++i)
    if (name == rows[i].Name) return &rows[i];
  return nullptr;
}

void TCustomFFmpeg::ParseOption(const std::string& name, const std::string& value) {
  if (const TOptionRow* row = FindOption(name)) {
    (this->*row->Handler)(name, value);
    return;
  }
  // An unknown name that no context knows changes nothing; the setter's report is an error only
  // under strict options.
  SetOptionParameter(name, value);
}

} // namespace kavro
