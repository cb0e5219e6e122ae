// The run-time tables of one conversion: built by the set-up of RunConversion, used by the main
// loop, freed at the end of the run whatever happened. Worker thread only (or the caller's thread
// for a task run in place).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/CpuTimeLimit.h"
#include "engine/FileTables.h"
#include "engine/FramePool.h"

struct AVAudioFifo;
struct AVBSFContext;
struct AVCodecContext;
struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;
struct SwsContext;

namespace kavro {

struct TInputFileState {
  bool Eof = false;
  int FirstStream = 0; // index in the input stream table of the file's stream 0
  int StreamCount = 0;
  bool NoPacket = false;
};

struct TInputStreamState {
  int FileIndex = 0;
  int StreamIndex = 0;
  AVStream* Stream = nullptr;
  const AVCodec* ForcedDecoder = nullptr;
  AVCodecContext* Decoder = nullptr; // opened when some output re-encodes from this stream
  bool Discard = true;
  bool DecodingNeeded = false;
  int64_t StartTime = 0;       // wall clock, µs (option re)
  int64_t NextPts = INT64_MIN; // µs; INT64_MIN: no value
  int64_t Pts = 0;             // µs
  bool IsStart = true;         // no drift correction made yet
  bool MultipleFramesWarned = false;
  bool PastRecordingTime = false;
  bool Drained = false;
  float Quality = 0;
  double TsScale = 0;
  // Video with a filter chain: the graph and its ends.
  AVFilterGraph* Graph = nullptr;
  AVFilterContext* GraphInput = nullptr;
  AVFilterContext* GraphOutput = nullptr;

  TInputStreamState() = default;
  TInputStreamState(const TInputStreamState&) = delete;
  TInputStreamState& operator=(const TInputStreamState&) = delete;
  ~TInputStreamState();
};

struct TOutputStreamState {
  int FileIndex = 0;   // entry in the output file table (join mode repeats one file per input)
  int StreamIndex = 0; // within the file
  int SourceIndex = 0; // in the input stream table
  int SyncIndex = 0;
  TOutputFile* File = nullptr;
  TOutputStream* Setup = nullptr;
  AVStream* Stream = nullptr;
  AVCodecContext* Encoder = nullptr; // Setup->Codec, opened; null for stream copy
  bool EncodingNeeded = false;
  int FrameNumber = 0;
  int64_t SyncOpts = 0; // frames (video) or samples (audio) sent to the encoder, in its time base
  bool ReportFlag = false;
  double MuxTime = 0;         // seconds reached by the packets written
  int64_t PacketsWritten = 0; // handed to the muxer
  // What the encoder said of its last coded frame.
  int CodedQuality = 0;
  char CodedPictureType = '?';
  uint64_t CodedError[3] = {};
  // Video.
  bool ScalingNeeded = false;
  TFramePool TempPictures; // the scaler's output in the encoder's format and size
  SwsContext* Scaler = nullptr;
  int ExpectedWidth = 0;
  int ExpectedHeight = 0;
  int ExpectedPixelFormat = -1;
  int InitialWidth = 0;
  int InitialHeight = 0;
  bool Crop = false;
  int Bands[4] = {};        // top, bottom, left, right
  int InitialBands[4] = {}; // as set up
  AVFrame* Cropped = nullptr;
  // Audio.
  bool ResamplingNeeded = false;
  SwrContext* Resampler = nullptr;
  int ResamplerFormat = -1; // the input the resampler was made for
  int ResamplerRate = 0;
  int ResamplerChannels = 0;
  AVAudioFifo* Fifo = nullptr;
  AVFrame* AudioFrame = nullptr; // one encoder frame read from the fifo
  uint8_t** Converted = nullptr; // resampled samples, only grows
  int ConvertedCapacity = 0;     // in samples per channel
  // Copied video before the start: the packets from the last key frame on, since the picture at the
  // start needs them; written when the start is reached.
  std::vector<AVPacket*> HeldPackets;
  bool CopyStarted = false;
  // Packets on their way to the muxer.
  std::vector<AVBSFContext*> BitstreamFilters;
  std::vector<AVPacket*> FilteredPackets; // one per filter, for what it gives
  FILE* PassLogFile = nullptr;
  int SavedCodecId = 0;

  TOutputStreamState() = default;
  TOutputStreamState(const TOutputStreamState&) = delete;
  TOutputStreamState& operator=(const TOutputStreamState&) = delete;
  ~TOutputStreamState();
};

struct TRunState {
  std::vector<TInputFileState> InputFiles;
  std::vector<std::unique_ptr<TInputStreamState>> InputStreams;
  std::vector<std::unique_ptr<TOutputStreamState>> OutputStreams;
  // Encoder and decoder contexts opened by this run, so that a failed run closes them.
  std::vector<AVCodecContext**> OpenEncoders;
  std::vector<AVCodecContext**> OpenDecoders;

  int64_t VideoBytes = 0;
  int64_t AudioBytes = 0;
  int64_t GlobalHeaderBytes = 0;
  int DuplicatedFrames = 0;
  int DroppedFrames = 0;
  bool ChangedSinceReport = false;
  int64_t TimerStart = 0;
  int64_t LastReportTime = 0;
  int JoinFile = 0;
  int NoPacketCount = 0;
  int FrameCounter = 0; // pictures pre-processed so far

  AVPacket* Packet = nullptr;        // the packet read
  AVPacket* EncodedPacket = nullptr; // what an encoder gives
  AVFrame* Decoded = nullptr;        // what a decoder gives
  AVFrame* Filtered = nullptr;       // what a filter graph gives
  TFramePool HookPictures;           // the copies that deinterlacing and hooks work on
  FILE* VStatsFile = nullptr;
  TCpuTimeLimit CpuLimit;

  TRunState();
  TRunState(const TRunState&) = delete;
  TRunState& operator=(const TRunState&) = delete;
  ~TRunState();
};

} // namespace kavro
