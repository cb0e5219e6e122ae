// TAVProbe: opens a media file just far enough to read its container and stream information and
// reports it as records and as a readable description. A task hands it the container it has
// already opened, so the file is not read twice; such a container is never closed by the probe.
// Owner's thread only.
#pragma once

#include <cstdint>
#include <string>

#include "FFBaseComponent.h"

struct AVFormatContext;
struct AVStream;

namespace kavro {

struct TFileStreamInfo {
  int64_t StartTime = -1; // µs
  int64_t Duration = -1;  // µs
  int BitRate = -1;
  int64_t TimeStamp = -1; // seconds since 1970
  int Year = -1;
  int Track = -1;
  std::string Title;
  std::string Author;
  std::string Copyright;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

struct TAudioStreamInfo {
  std::string Language;
  std::string CodecName;
  int64_t StreamStartTime = -1; // stream time base
  int64_t StartTime = -1;       // µs
  int64_t StreamDuration = -1;
  int64_t Duration = -1;
  int BitRate = -1;
  int Channels = -1;
  int SampleRate = -1;
  int SampleFormat = -1;
};

struct TVideoStreamInfo {
  std::string Language;
  std::string CodecName;
  int64_t StreamStartTime = -1;
  int64_t StartTime = -1;
  int64_t StreamDuration = -1;
  int64_t Duration = -1;
  int BitRate = -1;
  int Height = -1;
  int Width = -1;
  float AspectRatio = -1.0f;
  int PixelFormat = -1;
  int FrameRateNum = -1;
  int FrameRateDen = -1;
};

// The metadata key a description shows for an ID3v2 frame name; other keys stay as they are.
std::string MetadataKeyName(const std::string& key);
// The decoder description of a stream: "name(long name)", or what the stream says of itself.
std::string CodecDescription(const AVStream* stream);

class TCustomAVProbe : public TFFBaseComponent {
public:
  ~TCustomAVProbe() override;

  // Opens a file, with a forced input format when one is named. Raises when the libraries are not
  // loaded; any other failure leaves LastErrMsg and the probe closed.
  bool LoadFile(const std::wstring& fileName, const std::string& forceFormat = "");
  // Describes a container opened by someone else; the probe does not own it.
  void SetFormatContext(AVFormatContext* context);
  void CloseFile();
  AVFormatContext* FormatContext() const { return FContext; }

  void GetFileInfo(TFileStreamInfo& info);
  // Stream index -1: the first stream of that type.
  void GetAudioInfo(int streamIndex, TAudioStreamInfo& info);
  void GetVideoInfo(int streamIndex, TVideoStreamInfo& info);
  std::string GetInfoText();
  std::wstring FileName() const;
  std::string FormatName() const;
  bool IsAudioStream(int streamIndex);
  bool IsVideoStream(int streamIndex);

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  const std::string& ForceFormat() const { return FForceFormat; }
  int64_t FileSize() const { return FFileSize; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

private:
  void CheckLibraries() const;
  void ResetCounts();
  void CountStreams();
  void Fail(const std::string& message, int level);
  // True for a stream of the open file, else False with the reason given.
  bool ValidStream(int streamIndex);
  // The stream an information call is about, or null with the reason given.
  const AVStream* StreamFor(int streamIndex, int mediaType, int firstIndex);
  std::string StreamLine(int index) const;

  AVFormatContext* FContext = nullptr;
  bool FOwnsContext = false;
  std::string FLastErrMsg;
  std::string FForceFormat;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1;
  int FFirstVideoStreamIndex = -1;
  int FFirstSubtitleStreamIndex = -1;
};

class TAVProbe : public TCustomAVProbe {};

} // namespace kavro
