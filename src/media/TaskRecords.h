// Records of the task component's interface: the option records a caller fills for an input and an
// output, and the event records the component hands to its handlers.
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineLimits.h"

namespace kavro {

class TBitmap;

struct TInputOptions {
  std::wstring FileName;           // empty: the file name argument of AddTask
  std::string FileFormat;          // option f
  int64_t StartTime = NoTimeValue; // option ss, microseconds
  int ProgramID = -1;              // option programid when >= 0
  std::string ExtOptions;          // option text
};

struct TStreamInfo {
  double TimeStamp = -1.0; // local date-time, days since 30 Dec 1899; 0 = now; < 0 left alone
  int Year = -1;
  int Track = -1;
  std::string Title;
  std::string Author;
  std::string Copyright;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

struct TOutputOptions {
  std::wstring FileName; // empty: the file name argument of SetOutputFile
  std::string FileFormat;
  int PacketSize = -1;
  int MuxRate = -1;
  float MuxDelay = -1.0f;   // seconds
  float MuxPreload = -1.0f; // seconds
  std::string AudioCodec;
  std::string AudioPreset;
  bool DisableAudio = false;
  int Volume = -1; // 256 = unchanged
  int AudioChannels = -1;
  int AudioSampleRate = -1;
  int AudioBitrate = -1; // bit/s
  int AudioBitrateTolerance = -1;
  std::string AudioLanguage;
  int AudioSync = 0;
  std::string AudioTag;
  std::string VideoCodec;
  std::string VideoPreset;
  bool DisableVideo = false;
  std::string FrameRate;
  std::string FrameSize;
  std::string FrameAspectRatio;
  int CropTop = -1;
  int CropBottom = -1;
  int CropLeft = -1;
  int CropRight = -1;
  int GroupOfPictures = -1;
  int VideoBitrate = -1; // bit/s
  int MaxRate = -1;
  int MinRate = -1;
  int BitrateTolerance = -1;
  int BufferSize = -1;
  int VideoSync = -1; // -1 = automatic
  std::string VideoTag;
  std::string VideoFilters;
  std::string VideoLanguage;
  std::string SubtitleCodec;
  std::string SubtitlePreset;
  bool DisableSubtitle = false;
  std::string SubtitleLanguage;
  bool InputSync = false;
  bool CopyTimestamps = false;
  int64_t StartTime = NoTimeValue;     // microseconds
  int64_t RecordingTime = NoTimeValue; // microseconds
  TStreamInfo Metadata;
  int TargetType = 0;         // 1 vcd, 2 svcd, 3 dvd
  int TargetNorm = 0;         // 0 auto, 1 pal, 2 ntsc
  int TargetFallbackNorm = 1; // 1 pal, other ntsc
  bool HookEnabled = false;
  bool Join = false;
  std::string ExtOptions;
};

struct TTerminateInfo {
  int TaskIndex = 0; // -1 for the final notification
  bool Finished = false;
  bool Exception = false;
  std::string ExceptionMsg;
};

struct TProgressInfo {
  int TaskIndex = 0;
  int FileIndex = 0;
  int FrameNumber = 0;
  int FPS = 0;
  float Quality = 0;
  float BitRate = 0;
  int64_t CurrentSize = 0;
  int64_t CurrentDuration = 0;
  int64_t TotalDuration = 0;
};

struct THookInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
  bool Update = true;
  bool StopHook = false;
};

struct TPreviewInfo {
  int TaskIndex = 0;
  TBitmap* Bitmap = nullptr;
  int FrameNumber = 0;
  int64_t PTS = 0;
};

} // namespace kavro
