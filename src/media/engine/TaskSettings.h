// The option settings of one task: every value the option table sets, with its default. Pending
// settings are consumed by the next input opened or output created. Owner's thread only.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineLimits.h"

namespace kavro {

constexpr int MaxStreamMaps = 400;
constexpr int MaxMetaDataMaps = 20;
constexpr int NoPixelFormat = -1;  // AV_PIX_FMT_NONE
constexpr int NoSampleFormat = -1; // AV_SAMPLE_FMT_NONE

struct TStreamMap {
  int FileIndex = 0;
  int StreamIndex = 0;
  int SyncFileIndex = 0;
  int SyncStreamIndex = 0;
  bool operator==(const TStreamMap&) const = default;
};

struct TMetaDataMap {
  int OutFile = 0;
  int InFile = 0;
  bool operator==(const TMetaDataMap&) const = default;
};

// A bitstream filter of a stream's chain: its name and the text after "=".
struct TBitstreamFilterSpec {
  std::string Name;
  std::string Arguments;
  bool operator==(const TBitstreamFilterSpec&) const = default;
};

struct TFrameRate {
  int Num = 0;
  int Den = 0;
  bool operator==(const TFrameRate&) const = default;
};

// The picture and sound settings an input proposes for the outputs made after it: each opened
// input writes them over the pending settings.
struct TInputProposal {
  bool HasVideo = false;
  int FrameWidth = 0;
  int FrameHeight = 0;
  int FramePixelFormat = 0;
  float FrameAspectRatio = 0;
  TFrameRate FrameRate;
  bool HasAudio = false;
  uint64_t AudioChannelLayout = 0;
  int AudioChannels = 0;
  int AudioSampleRate = 0;
  int AudioSampleFormat = 0;
};

struct TTaskSettings {
  // ---- general and file ----
  std::string FileFormat; // forced format of the next input or output
  bool FileFormatIsPgmyuv = false;
  std::vector<TStreamMap> StreamMaps;
  std::vector<TMetaDataMap> MetaDataMaps;
  int64_t RecordingTime = INT64_MAX;
  int64_t LimitFileSize = 0;
  int CpuTimeLimit = 0; // seconds of CPU time a run may take; 0 none
  int64_t StartTime = 0;
  int64_t InputTsOffset = 0;
  // Time-stamp scale per input file and stream; 0 = none.
  std::array<std::array<double, MaxStreams>, MaxFiles> InputTsScale{};
  int64_t RecordingTimestamp = 0; // seconds since 1970
  std::vector<std::pair<std::string, std::string>> Metadata;
  int DataMaxFrames = INT_MAX;
  bool DoPacketDump = false;
  bool DoHexDump = false;
  bool ReadAtNativeRate = false;
  bool LoopInput = false;
  int LoopOutput = -1;
  int VideoSyncMethod = -1;
  int AudioSyncMethod = 0;
  float AudioDriftThreshold = 0.1f;
  int VideoGlobalHeader = 0;
  bool CopyTimestamps = false;
  bool Shortest = false;
  float DtsDeltaThreshold = 10.0f;
  int ProgramID = 0;
  bool ExitOnError = false;
  int CopyInitialNonKeyframes = 0;
  int Threads = 1; // codec threads of the next input's decoders and output's encoders; 0: one per core

  // ---- video ----
  int VideoMaxFrames = INT_MAX;
  TFrameRate FrameRate;
  int FrameWidth = 0;
  int FrameHeight = 0;
  float FrameAspectRatio = 0;
  int FramePixelFormat = NoPixelFormat;
  int FrameTopBand = 0;
  int FrameBottomBand = 0;
  int FrameLeftBand = 0;
  int FrameRightBand = 0;
  bool IntraOnly = false;
  bool VideoDisable = false;
  int VideoDiscard = 0;
  float VideoQScale = 0;
  std::string VideoRcOverride;
  std::string VideoCodecName;
  bool VideoStreamCopy = false;
  int MeThreshold = 0;
  bool SameQuality = false;
  int DoPass = 0;
  std::string PassLogFileName;
  bool DoDeinterlace = false;
  bool DoPsnr = false;
  std::string VStatsFileName; // empty: no video statistics
  std::string VideoFilters;
  std::vector<uint16_t> IntraMatrix; // empty or 64 coefficients
  std::vector<uint16_t> InterMatrix;
  int TopFieldFirst = -1;
  int IntraDcPrecision = 8;
  uint32_t VideoCodecTag = 0;
  std::string VideoLanguage;
  bool QpHistogram = false;
  bool ForceFps = false;
  std::array<int, MaxStreams> StreamIds{};
  std::vector<TBitstreamFilterSpec> VideoBitstreamFilters;
  int VideoChannel = 0;
  std::string VideoStandard;

  // ---- audio ----
  int AudioMaxFrames = INT_MAX;
  float AudioQScale = -99999;
  int AudioSampleRate = 44100;
  int AudioChannels = 2;
  uint64_t AudioChannelLayout = 0; // taken from the input; 0 = none
  bool AudioDisable = false;
  std::string AudioCodecName;
  bool AudioStreamCopy = false;
  uint32_t AudioCodecTag = 0;
  int AudioVolume = 256;
  std::string AudioLanguage;
  int AudioSampleFormat = NoSampleFormat;
  std::vector<TBitstreamFilterSpec> AudioBitstreamFilters;

  // ---- subtitle and others ----
  bool SubtitleDisable = false;
  std::string SubtitleCodecName;
  bool SubtitleStreamCopy = false;
  std::string SubtitleLanguage;
  uint32_t SubtitleCodecTag = 0;
  std::vector<TBitstreamFilterSpec> SubtitleBitstreamFilters;
  bool InputSync = false;
  float MuxMaxDelay = 0.7f;
  float MuxPreload = 0.5f;
  // The stream parameters (s, r, pix_fmt, ar, ac, aspect) given since the last file was opened, as
  // name and value: before an input they describe a raw input and no other.
  std::vector<std::pair<std::string, std::string>> StreamHints;

  bool operator==(const TTaskSettings&) const = default;
};

} // namespace kavro
