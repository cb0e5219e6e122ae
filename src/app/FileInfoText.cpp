#include "FileInfoText.h"

#include "AVProbe.h"
#include "FFmpegVCL.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

#include <cctype>
#include <cmath>
#include <filesystem>

namespace kavro {
namespace {

constexpr size_t LongNameCharacters = 46;
constexpr size_t KeptCharacters = 40;

// Unknown numbers (the probe's -1) show as nothing rather than as a number.
std::string NumberText(int64_t value) {
  return value < 0 ? std::string() : std::to_string(value);
}

// The value of a "Name: value" line of the description, or empty.
std::string DescriptionValue(const std::string& description, const std::string& name) {
  const std::string key = "\n" + name + ": ";
  const size_t start = description.find(key);
  if (start == std::string::npos) return {};
  const size_t from = start + key.size();
  return description.substr(from, description.find('\n', from) - from);
}

// The description's line of one stream, so text elsewhere (metadata, other streams) cannot be
// taken for it; the whole description when the line is not there.
std::string StreamLine(const std::string& description, int index) {
  const std::string key = "\nStream #" + std::to_string(index);
  for (size_t at = description.find(key); at != std::string::npos; at = description.find(key, at + 1)) {
    const size_t from = at + 1;
    const size_t next = at + key.size();
    if (next < description.size() && std::isdigit(static_cast<unsigned char>(description[next]))) continue;
    return description.substr(from, description.find('\n', from) - from);
  }
  return description;
}

std::string TotalFrameText(const TVideoStreamInfo& video, int64_t fileDuration) {
  const int64_t duration = video.Duration > 0 ? video.Duration : fileDuration;
  if (duration <= 0 || video.FrameRateNum <= 0 || video.FrameRateDen <= 0) return {};
  const long double frames =
      static_cast<long double>(duration) * video.FrameRateNum / video.FrameRateDen / 1e6L;
  return std::to_string(std::llround(frames));
}

} // namespace

std::string ShortSourceName(const std::string& path) {
  const std::wstring characters = Utf8ToWide(path);
  if (characters.size() < LongNameCharacters) return path;
  return WideToUtf8(characters.substr(0, KeptCharacters)) + ".." +
         std::filesystem::path(path).extension().string() + "  ";
}

std::string DurationText(int64_t microseconds) {
  if (microseconds < 0) return "N/A";
  const int64_t milliseconds = microseconds / 1000;
  return Format("%lld.%.3d Second", static_cast<long long>(milliseconds / 1000),
                static_cast<int>(milliseconds % 1000));
}

std::string AudioFormatText(const std::string& description) {
  const size_t at = description.find("Audio:");
  if (at == std::string::npos) return {};
  const size_t from = at + 7;
  if (from >= description.size()) return {};
  return description.substr(from, description.find_first_of(",\r\n", from) - from);
}

TFileInfo FileInfoFromProbe(TCustomAVProbe& probe, const std::string& sourceFile) {
  TFileInfo info;
  if (probe.StreamCount() <= 0) return info;
  info.Found = true;
  info.SourceName = ShortSourceName(sourceFile);
  TFileStreamInfo file;
  probe.GetFileInfo(file);
  info.Duration = DurationText(file.Duration);
  const std::string description = probe.GetInfoText();
  info.Format = DescriptionValue(description, "Format Long Name");
  if (info.Format.empty()) info.Format = probe.FormatName();

  if (probe.FirstVideoStreamIndex() >= 0) {
    TVideoStreamInfo video;
    probe.GetVideoInfo(-1, video);
    info.Resolution = NumberText(video.Width) + "x" + NumberText(video.Height);
    info.BitRate = NumberText(video.BitRate);
    if (video.FrameRateNum > 0 && video.FrameRateDen > 0)
      info.FrameRate = std::to_string(std::lround(double(video.FrameRateNum) / video.FrameRateDen));
    info.TotalFrame = TotalFrameText(video, file.Duration);
  }
  if (probe.FirstAudioStreamIndex() >= 0) {
    TAudioStreamInfo audio;
    probe.GetAudioInfo(-1, audio);
    info.AudioBitRate = NumberText(audio.BitRate);
    info.SampleRate = NumberText(audio.SampleRate);
    info.Channel = NumberText(audio.Channels);
    info.AudioFormat = AudioFormatText(StreamLine(description, probe.FirstAudioStreamIndex()));
  }
  return info;
}

TFileInfo ProbeFileInfo(TCustomFFmpegVCL& component, const std::string& sourceFile, std::string& error) {
  error.clear();
  component.ClearTasks();
  TInputOptions options;
  options.FileName = NarrowToWide(sourceFile);
  const int task = component.AddTask(options.FileName, &options);
  if (task < 0) {
    error = component.LastErrMsg();
    return {};
  }
  TFileInfo info = FileInfoFromProbe(*component.AVProbes(task, 0), sourceFile);
  if (!info.Found) {
    error = sourceFile + ": no stream found.";
    component.ClearTasks();
  }
  return info;
}

} // namespace kavro
