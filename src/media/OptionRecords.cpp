#include "OptionRecords.h"

#include <cmath>
#include <ctime>
#include <initializer_list>

#include "engine/CustomFFmpeg.h"
#include "platform/Exceptions.h"

namespace kavro {
namespace {

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* candidate : names)
    if (name == candidate) return true;
  return false;
}

// Extra streams and presets belong to outputs; filters to output streams.
bool SkippedOnInput(const std::string& name) {
  return OneOf(name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"});
}

// Codec names and the frame size come only through the default list on the output side.
bool SkippedOnOutput(const std::string& name) {
  return SkippedOnInput(name) || OneOf(name, {"acodec", "vcodec", "scodec", "s"});
}

std::string Text(int value) {
  return std::to_string(value);
}
std::string Text(float value) {
  return Format("%g", static_cast<double>(value));
}
std::string Text(bool value) {
  return value ? "1" : "0";
}

class TFieldApplier {
public:
  explicit TFieldApplier(TCustomFFmpeg& engine) : FEngine(engine) {}
  void Always(const char* name, const std::string& value) { FEngine.ParseOption(name, value); }
  void IfSet(const char* name, const std::string& value) {
    if (!value.empty()) FEngine.ParseOption(name, value);
  }
  void IfPositive(const char* name, int value) {
    if (value > 0) FEngine.ParseOption(name, Text(value));
  }
  void IfPositive(const char* name, float value) {
    if (value > 0) FEngine.ParseOption(name, Text(value));
  }
  void IfTrue(const char* name, bool value) {
    if (value) FEngine.ParseOption(name, "1");
  }

private:
  TCustomFFmpeg& FEngine;
};

void ApplyMetadata(TCustomFFmpeg& engine, const TStreamInfo& info) {
  if (info.TimeStamp == 0)
    engine.SetRecordingTimestamp(static_cast<int64_t>(std::time(nullptr)));
  else if (info.TimeStamp > 0)
    engine.SetRecordingTimestamp(DateTimeToUnixTime(info.TimeStamp));
  if (info.Year > 0) engine.ParseOption("metadata", "year=" + Text(info.Year));
  if (info.Track > 0) engine.ParseOption("metadata", "track=" + Text(info.Track));
  const std::pair<const char*, const std::string*> texts[] = {
      {"title", &info.Title},     {"author", &info.Author}, {"copyright", &info.Copyright},
      {"comment", &info.Comment}, {"album", &info.Album},   {"genre", &info.Genre}};
  for (const auto& [key, value] : texts)
    if (!value->empty()) engine.ParseOption("metadata", std::string(key) + "=" + *value);
}

void ApplyOutputFields(TCustomFFmpeg& engine, const TOutputOptions& o) {
  TFieldApplier apply(engine);
  apply.IfSet("f", o.FileFormat);
  apply.IfPositive("packetsize", o.PacketSize);
  apply.IfPositive("muxrate", o.MuxRate);
  apply.IfPositive("muxdelay", o.MuxDelay);
  apply.IfPositive("muxpreload", o.MuxPreload);

  apply.IfTrue("an", o.DisableAudio);
  if (o.Volume >= 0) apply.Always("vol", Text(o.Volume));
  apply.IfPositive("ac", o.AudioChannels);
  apply.IfPositive("ar", o.AudioSampleRate);
  apply.IfPositive("ab", o.AudioBitrate);
  apply.IfPositive("abt", o.AudioBitrateTolerance);
  apply.Always("alang", o.AudioLanguage);
  apply.Always("async", Text(o.AudioSync));
  apply.IfSet("atag", o.AudioTag);

  apply.IfTrue("vn", o.DisableVideo);
  apply.IfSet("r", o.FrameRate);
  apply.IfSet("aspect", o.FrameAspectRatio);
  apply.IfPositive("croptop", o.CropTop);
  apply.IfPositive("cropbottom", o.CropBottom);
  apply.IfPositive("cropleft", o.CropLeft);
  apply.IfPositive("cropright", o.CropRight);
  apply.IfPositive("g", o.GroupOfPictures);
  apply.IfPositive("vb", o.VideoBitrate);
  apply.IfPositive("maxrate", o.MaxRate);
  apply.IfPositive("minrate", o.MinRate);
  apply.IfPositive("bt", o.BitrateTolerance);
  apply.IfPositive("bufsize", o.BufferSize);
  apply.Always("vsync", Text(o.VideoSync));
  apply.IfSet("vtag", o.VideoTag);
  apply.Always("vlang", o.VideoLanguage);

  apply.IfTrue("sn", o.DisableSubtitle);
  apply.Always("slang", o.SubtitleLanguage);

  apply.Always("isync", Text(o.InputSync));
  apply.IfTrue("copyts", o.CopyTimestamps);
  if (o.StartTime != NoTimeValue) engine.SetStartTime(o.StartTime);
  if (o.RecordingTime != NoTimeValue) engine.SetRecordingTime(o.RecordingTime);
  ApplyMetadata(engine, o.Metadata);
}

} // namespace

void ApplyInputOptions(TCustomFFmpeg& engine, const TInputOptions& options) {
  for (const TOptionLine& line : ParseOptionText(options.ExtOptions))
    if (!SkippedOnInput(line.Name)) engine.ParseOption(line.Name, line.Value);
  if (!options.FileFormat.empty()) engine.ParseOption("f", options.FileFormat);
  if (options.StartTime != NoTimeValue) engine.SetStartTime(options.StartTime);
  if (options.ProgramID >= 0) engine.ParseOption("programid", Text(options.ProgramID));
}

void ApplyOutputOptions(TCustomFFmpeg& engine, const TOutputOptions& options,
                        const std::vector<TOptionLine>& lines, const TDefaultList& defaults) {
  if (options.TargetType >= 1 && options.TargetType <= 3) {
    static const char* const Types[] = {"vcd", "svcd", "dvd"};
    const char* norm = options.TargetNorm == 1 ? "pal" : options.TargetNorm == 2 ? "ntsc" : "auto";
    engine.SetTarget(Types[options.TargetType - 1], norm, options.TargetFallbackNorm == 1 ? "pal" : "ntsc");
  }
  for (const char* name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre"}) {
    const std::string value = defaults.Default(name);
    if (!value.empty()) engine.ParseOption(name, value);
  }
  for (const TOptionLine& line : lines)
    if (!SkippedOnOutput(line.Name)) engine.ParseOption(line.Name, line.Value);
  ApplyOutputFields(engine, options);
  for (const char* name : {"s", "vf"}) {
    const std::string value = defaults.Default(name);
    if (!value.empty()) engine.ParseOption(name, value);
  }
}

void AddExtraStreams(TCustomFFmpeg& engine, const std::vector<TOptionLine>& lines, TDefaultList& defaults) {
  static const std::vector<const char*> AudioSettings = {"acodec", "apre"};
  static const std::vector<const char*> VideoSettings = {"vcodec", "vpre", "s", "vf"};
  static const std::vector<const char*> SubtitleSettings = {"scodec", "spre"};
  for (const TOptionLine& line : lines) {
    const std::vector<const char*>* settings = line.Name == "newaudio"      ? &AudioSettings
                                               : line.Name == "newvideo"    ? &VideoSettings
                                               : line.Name == "newsubtitle" ? &SubtitleSettings
                                                                            : nullptr;
    if (!settings) continue;
    for (const char* name : *settings) {
      const std::string value = defaults.Take(name);
      // An empty codec or filter resets what the previous stream had; an empty preset names nothing.
      const bool isPreset = std::string(name).ends_with("pre");
      if (!(isPreset && value.empty())) engine.ParseOption(name, value);
    }
    engine.ParseOption(line.Name, line.Value);
  }
}

int64_t DateTimeToUnixTime(double dateTime) {
  constexpr double UnixEpochDays = 25569.0;
  const auto localSeconds = static_cast<time_t>(std::llround((dateTime - UnixEpochDays) * 86400.0));
  std::tm fields{};
  gmtime_r(&localSeconds, &fields); // the local wall-clock fields
  fields.tm_isdst = -1;             // let the time zone rules decide daylight saving
  return static_cast<int64_t>(std::mktime(&fields));
}

} // namespace kavro
