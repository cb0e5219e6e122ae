// Handlers of the general and file options, the refused and do-nothing options, and the settings
// the task component applies directly.
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
    throw FFmpegException(Format("Invalid %s specification for %s: %s", duration ? "duration" : "date",
                                 name.c_str(), value.c_str()));
  return microseconds;
}

// A number as the C library reads it (decimal, 0x hex or 0 octal); the position after it.
int ReadCInteger(const char*& at) {
  char* end = nullptr;
  const long number = std::strtol(at, &end, 0);
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

bool TCustomFFmpeg::SetGenericParameter(const std::string& name, const std::string& value, int onlyType) {
  const TPrivateOptionOwners owners{FSettings.VideoCodecName, FSettings.AudioCodecName,
                                    FSettings.SubtitleCodecName, FSettings.FileFormat};
  return FParams.Set(name, value, owners, onlyType) == srSet;
}

void TCustomFFmpeg::OptDoNothing(const std::string& name, const std::string&) {
  TFFLogger::Instance().Log(this, llInfo, "Do nothing: option - " + name);
}

// Seconds of CPU time the run may take; the run holds the limit (TCpuTimeLimit).
void TCustomFFmpeg::OptTimeLimit(const std::string&, const std::string& value) {
  const int seconds = StrToInt(value);
  if (seconds < 0) throw FFmpegException("timelimit must be >= 0 seconds");
  FSettings.CpuTimeLimit = seconds;
}

void TCustomFFmpeg::OptPadding(const std::string&, const std::string&) {
  throw FFmpegException("Please use vfilters=pad");
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
    throw FFmpegException(Format("Too many %s options: at most %d", name.c_str(), MaxStreamMaps));
  const char* at = value.c_str();
  TStreamMap map;
  map.FileIndex = ReadCInteger(at);
  SkipSeparator(at);
  map.StreamIndex = ReadCInteger(at);
  if (*at) {
    SkipSeparator(at);
    map.SyncFileIndex = ReadCInteger(at);
    SkipSeparator(at);
    map.SyncStreamIndex = ReadCInteger(at);
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  FSettings.StreamMaps.push_back(map);
}

void TCustomFFmpeg::OptMapMetaData(const std::string& name, const std::string& value) {
  if (static_cast<int>(FSettings.MetaDataMaps.size()) >= MaxMetaDataMaps)
    throw FFmpegException(Format("Too many %s options: at most %d", name.c_str(), MaxMetaDataMaps));
  const char* at = value.c_str();
  TMetaDataMap map;
  map.OutFile = ReadCInteger(at);
  SkipSeparator(at);
  map.InFile = ReadCInteger(at);
  FSettings.MetaDataMaps.push_back(map);
}

void TCustomFFmpeg::OptRecordingTime(const std::string& name, const std::string& value) {
  SetRecordingTime(ParseTime(name, value, true));
}

void TCustomFFmpeg::OptLimitFileSize(const std::string&, const std::string& value) {
  FSettings.LimitFileSize = StrToInt64(value);
}

void TCustomFFmpeg::OptStartTime(const std::string& name, const std::string& value) {
  SetStartTime(ParseTime(name, value, true));
}

void TCustomFFmpeg::OptInputTsOffset(const std::string& name, const std::string& value) {
  FSettings.InputTsOffset = ParseTime(name, value, true);
}

void TCustomFFmpeg::OptInputTsScale(const std::string&, const std::string& value) {
  const char* at = value.c_str();
  const int stream = ReadCInteger(at);
  if (stream < 0 || stream >= MaxStreams)
    throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", MaxStreams));
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
  if (equals == std::string::npos) throw FFmpegException("Missing =");
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
