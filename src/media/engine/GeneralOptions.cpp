// Handlers of the general and file options, the refused and do-nothing options, and the settings
// the task component applies directly.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavutil/parseutils.h>
}

namespace kavro {
namespace {

int64_t ParseTime(const std::string& name, const std::string& value, bool duration) {
  int64_t microseconds = 0;
  if (av_parse_time(&microseconds, value.c_str(), duration ? 1 : 0) < 0)
    throw EOptionError(Format("Invalid %s specification for %s: %s", duration ? "duration" : "date",
                              name.c_str(), value.c_str()));
  return microseconds;
}

// A number as the C library reads it (decimal, 0x hex or 0 octal); the position after it. A number
// beyond an int is refused: cut down, 4294967297 would quietly mean 1.
int ReadCInteger(const char*& at, const std::string& name, const std::string& value) {
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(at, &end, 0);
  if (errno == ERANGE || number < INT_MIN || number > INT_MAX)
    throw EOptionError(Format("Invalid value \"%s\" for option \"%s\": %.*s is out of range", value.c_str(),
                              name.c_str(), static_cast<int>(end - at), at));
  at = end;
  return static_cast<int>(number);
}

// Skips exactly one separator character, if any is left.
void SkipSeparator(const char*& at) {
  if (*at) ++at;
}

} // namespace

void TCustomFFmpeg::ResetTask() {
  {
    std::lock_guard lock(FStateLock);
    FTerminated = false;
    FTerminationClaimed = false;
    FFinished = false;
    FException = false;
    FErrorText.clear();
    FExpectedDuration = -1;
  }
  if (!TFFmpegLoader::Instance().LibsLoaded(EngineLibSet)) return;
  FreeRunTimeState();
  FSettings = TTaskSettings();
  FParams.Reset();
  Verbose = 1;
}

TSetResult TCustomFFmpeg::SetParameter(const std::string& name, const std::string& value, int onlyType) {
  const TPrivateOptionOwners owners{FSettings.VideoCodecName, FSettings.AudioCodecName,
                                    FSettings.SubtitleCodecName, FSettings.FileFormat};
  return FParams.Set(name, value, owners, onlyType);
}

bool TCustomFFmpeg::SetGenericParameter(const std::string& name, const std::string& value, int onlyType) {
  return SetParameter(name, value, onlyType) == srSet;
}

bool TCustomFFmpeg::SetOptionParameter(const std::string& name, const std::string& value) {
  const TSetResult result = SetParameter(name, value, -1);
  if (!StrictOptions || result == srSet) return result == srSet;
  if (result == srRejected || Trim(value).empty())
    throw EOptionError(Format("Invalid value \"%s\" for option \"%s\"", value.c_str(), name.c_str()));
  throw EOptionError("Unrecognized option '" + name + "'");
}

void TCustomFFmpeg::OptDoNothing(const std::string& name, const std::string&) {
  TFFLogger::Instance().Log(this, llInfo, "Do nothing: option - " + name);
}

// Seconds of CPU time the run may take; the run holds the limit (TCpuTimeLimit).
void TCustomFFmpeg::OptTimeLimit(const std::string&, const std::string& value) {
  const int seconds = StrToInt(value);
  if (seconds < 0) throw EOptionError("timelimit must be >= 0 seconds");
  FSettings.CpuTimeLimit = seconds;
}

void TCustomFFmpeg::OptPadding(const std::string&, const std::string&) {
  throw EOptionError("Please use vfilters=pad");
}

void TCustomFFmpeg::OptLogLevel(const std::string&, const std::string& value) {
  TFFLogger::Instance().SetLogLevelByName(value);
}

void TCustomFFmpeg::OptFormat(const std::string&, const std::string& value) {
  if (value.empty()) return;
  if (value == "pgmyuv") {
    TFFLogger::Instance().Log(this, llInfo, "pgmyuv format is deprecated, use image2");
    FSettings.FileFormat = "image2";
    FSettings.FileFormatIsPgmyuv = true;
    return;
  }
  FSettings.FileFormat = value;
}

void TCustomFFmpeg::OptMap(const std::string& name, const std::string& value) {
  if (static_cast<int>(FSettings.StreamMaps.size()) >= MaxStreamMaps)
    throw EOptionError(Format("Too many %s options: at most %d", name.c_str(), MaxStreamMaps));
  const char* at = value.c_str();
  TStreamMap map;
  map.FileIndex = ReadCInteger(at, name, value);
  SkipSeparator(at);
  map.StreamIndex = ReadCInteger(at, name, value);
  if (*at) {
    SkipSeparator(at);
    map.SyncFileIndex = ReadCInteger(at, name, value);
    SkipSeparator(at);
    map.SyncStreamIndex = ReadCInteger(at, name, value);
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  FSettings.StreamMaps.push_back(map);
}

void TCustomFFmpeg::OptMapMetaData(const std::string& name, const std::string& value) {
  if (static_cast<int>(FSettings.MetaDataMaps.size()) >= MaxMetaDataMaps)
    throw EOptionError(Format("Too many %s options: at most %d", name.c_str(), MaxMetaDataMaps));
  const char* at = value.c_str();
  TMetaDataMap map;
  map.OutFile = ReadCInteger(at, name, value);
  SkipSeparator(at);
  map.InFile = ReadCInteger(at, name, value);
  FSettings.MetaDataMaps.push_back(map);
}

// A duration of zero or less would make an output without a single frame.
void TCustomFFmpeg::OptRecordingTime(const std::string& name, const std::string& value) {
  const int64_t duration = ParseTime(name, value, true);
  if (duration <= 0)
    throw EOptionError(
        Format("Invalid duration for %s: %s (it must be above zero)", name.c_str(), value.c_str()));
  SetRecordingTime(duration);
}

// 0 is no limit. A limit below the smallest useful file would stop the output at its header.
void TCustomFFmpeg::OptLimitFileSize(const std::string& name, const std::string& value) {
  const int64_t limit = StrToInt64(value);
  if (limit != 0 && limit < MinFileSizeLimit)
    throw EOptionError(Format("Invalid file size limit for %s: %s (0 for none, else at least %d bytes)",
                              name.c_str(), value.c_str(), MinFileSizeLimit));
  FSettings.LimitFileSize = limit;
}

// A start before the beginning would be read as a later one by the time window.
void TCustomFFmpeg::OptStartTime(const std::string& name, const std::string& value) {
  const int64_t start = ParseTime(name, value, true);
  if (start < 0)
    throw EOptionError(
        Format("Invalid start time for %s: %s (it cannot be negative)", name.c_str(), value.c_str()));
  SetStartTime(start);
}

// The largest number of frames of one kind; none at all would make an output without that stream.
void TCustomFFmpeg::OptMaxFrames(const std::string& name, const std::string& value) {
  const int frames = StrToInt(value);
  if (frames < 1)
    throw EOptionError(Format("Invalid frame count for %s: %s (at least 1)", name.c_str(), value.c_str()));
  int& field = name == "vframes"   ? FSettings.VideoMaxFrames
               : name == "aframes" ? FSettings.AudioMaxFrames
                                   : FSettings.DataMaxFrames;
  field = frames;
}

void TCustomFFmpeg::OptInputTsOffset(const std::string& name, const std::string& value) {
  FSettings.InputTsOffset = ParseTime(name, value, true);
}

void TCustomFFmpeg::OptInputTsScale(const std::string& name, const std::string& value) {
  const char* at = value.c_str();
  const int stream = ReadCInteger(at, name, value);
  if (stream < 0 || stream >= MaxStreams)
    throw EOptionError(Format("stream index over MAX_STREAMS(%d)", MaxStreams));
  SkipSeparator(at);
  const int file = InputFileCount();
  if (file >= MaxFiles) return; // no further input can be opened to use it
  FSettings.InputTsScale[static_cast<size_t>(file)][static_cast<size_t>(stream)] = std::strtod(at, nullptr);
}

void TCustomFFmpeg::OptRecordingTimestamp(const std::string& name, const std::string& value) {
  SetRecordingTimestamp(std::llround(static_cast<double>(ParseTime(name, value, false)) / 1000000.0));
}

void TCustomFFmpeg::OptMetadata(const std::string&, const std::string& value) {
  const size_t equals = value.find('=');
  if (equals == std::string::npos) throw EOptionError("Missing =");
  FSettings.Metadata.emplace_back(value.substr(0, equals), value.substr(equals + 1));
}

void TCustomFFmpeg::OptVerbose(const std::string&, const std::string& value) {
  Verbose = StrToInt(value);
}

void TCustomFFmpeg::OptTarget(const std::string&, const std::string& value) {
  for (const char* norm : {"pal", "ntsc", "film"}) {
    const std::string prefix = std::string(norm) + "-";
    if (value.starts_with(prefix)) {
      SetTarget(value.substr(prefix.size()), norm, "ntsc");
      return;
    }
  }
  SetTarget(value, "auto", "ntsc");
}

void TCustomFFmpeg::SetStartTime(int64_t microseconds) {
  FSettings.StartTime = microseconds;
}

void TCustomFFmpeg::SetRecordingTime(int64_t microseconds) {
  FSettings.RecordingTime = microseconds;
  FExpectedDuration = microseconds;
}

void TCustomFFmpeg::SetRecordingTimestamp(int64_t seconds) {
  FSettings.RecordingTimestamp = seconds;
}

} // namespace kavro
