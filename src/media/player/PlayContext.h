// The state of one open file in the preview player: the demuxer, the three packet queues, the
// decoders, the audio buffer and clocks, the picture queue and the flags of seeking, pausing and
// ending. Allocated when a file opens and freed when it closes; the fields name which thread uses
// them and the locks that guard the shared ones.
#pragma once

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/PacketQueue.h"

struct AVCodecContext;
struct AVFilterContext;
struct AVFilterGraph;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVSubtitle;
struct SwrContext;
struct AVTXContext;

namespace kavro {

class TCustomPlayer;

constexpr int PictureQueueSize = 2;
constexpr int SampleRingSize = 0x20000;

struct TPictureSlot {
  double Pts = 0;             // seconds
  double Target = 0;          // wall clock (seconds) at which it is due
  int64_t Position = -1;      // byte position in the file
  AVFrame* Picture = nullptr; // YUV 4:2:0, the slot's own
  bool Blended = false;       // the subtitle on screen is already drawn into the picture
};

constexpr int SubtitleQueueSize = 4;

struct TSubtitleSlot {
  AVSubtitle* Subtitle = nullptr; // bitmap rectangles with YUVA palettes; the slot's own, reused
  double Pts = 0;                 // seconds
};

struct TPlayContext {
  TPlayContext() = default;
  TPlayContext(const TPlayContext&) = delete;
  TPlayContext& operator=(const TPlayContext&) = delete;
  ~TPlayContext();

  TCustomPlayer* Player = nullptr; // the component playing this file, for the audio callback

  // ---- set by the read thread while opening, then read by all ----
  AVFormatContext* Format = nullptr;
  std::wstring FileName;
  // Reset by the read thread as it closes the streams while the owner may still look at them.
  std::atomic<int> AudioIndex{-1};
  std::atomic<int> VideoIndex{-1};
  std::atomic<int> SubtitleIndex{-1};
  AVStream* AudioStream = nullptr;
  AVStream* VideoStream = nullptr;
  AVCodecContext* AudioDecoder = nullptr;
  AVCodecContext* VideoDecoder = nullptr;
  AVCodecContext* SubtitleDecoder = nullptr;
  int64_t StartTime = 0;      // µs of the file's first time stamp
  int64_t Duration = -1;      // µs
  int64_t AudioDuration = -1; // µs
  // Kept apart from the streams, which close before the context goes: the owner's calls read these.
  int VideoWidth = 0;
  int VideoHeight = 0;
  int64_t BitRate = 0;
  bool IsImageSequence = false;
  std::atomic<int> OpenState{0}; // 0 opening, 1 opened, -1 failed, -2 failed and cleaned up

  TPacketQueue AudioQueue;
  TPacketQueue VideoQueue;
  TPacketQueue SubtitleQueue;

  // ---- audio: the callback thread, with the clock read by others ----
  uint32_t AudioDevice = 0;
  int AudioChannels = 0;
  int AudioRate = 0;
  int AudioHardwareBuffer = 0; // bytes
  SwrContext* Resampler = nullptr;
  int ResamplerFormat = -1;
  int ResamplerRate = 0;
  int ResamplerChannels = 0;
  std::vector<uint8_t> AudioBuffer;       // signed 16-bit interleaved, only grows
  std::atomic<size_t> AudioBufferSize{0}; // read by the clocks and the audio view
  std::atomic<size_t> AudioBufferIndex{0};
  // What the device has still to take of the buffer. The callback sets the size of a new buffer
  // and then its index, so another thread may read an index past a new, shorter buffer.
  size_t AudioBytesPending() const {
    const size_t index = AudioBufferIndex, size = AudioBufferSize;
    return size > index ? size - index : 0;
  }
  std::atomic<bool> AudioSilence{false}; // the buffer holds silence, not decoded sound
  std::atomic<double> AudioClock{0};     // seconds at the end of the decoded data
  std::atomic<int64_t> CallbackTime{0};  // µs, wall clock of the last callback
  double DriftSum = 0;
  double DriftCoefficient = 0;
  double DriftThreshold = 0;
  int DriftCount = 0;
  std::vector<std::atomic<int16_t>> SampleRing = std::vector<std::atomic<int16_t>>(SampleRingSize);
  std::atomic<int> SampleRingIndex{0};
  AVFrame* AudioFrame = nullptr;
  AVPacket* AudioPacket = nullptr;

  // ---- pictures: the decode thread fills, the event loop shows; PictureLock guards the indexes ----
  TPictureSlot Pictures[PictureQueueSize];
  int PictureRead = 0;
  int PictureWrite = 0;
  int PictureCount = 0;
  std::mutex PictureLock;
  std::condition_variable PictureChanged;
  AVFilterGraph* Graph = nullptr;
  AVFilterContext* GraphInput = nullptr;
  AVFilterContext* GraphOutput = nullptr;
  int GraphWidth = 0;
  int GraphHeight = 0;
  int GraphFormat = -1;
  int FaultyPts = 0;
  int FaultyDts = 0;
  int64_t LastPts = INT64_MIN;
  int64_t LastDts = INT64_MIN;
  std::atomic<double> SkipFactor{1}; // changed under PictureLock, read by the decode thread without it
  double SkipIndex = 0;

  // ---- subtitles: the subtitle thread fills, the event loop retires and draws, a grab draws too;
  // SubtitleLock guards the indexes and the queued slots ----
  TSubtitleSlot Subtitles[SubtitleQueueSize];
  int SubtitleRead = 0;
  int SubtitleWrite = 0;
  int SubtitleCount = 0;
  std::mutex SubtitleLock;
  std::condition_variable SubtitleChanged;

  // ---- timing (event loop, decode thread under PictureLock) ----
  double FrameTimer = 0;
  double LastFramePts = 0; // NaN: none yet
  double LastFrameDelay = 0.04;
  double VideoClock = 0;
  std::atomic<double> VideoCurrentPts{0};
  std::atomic<double> VideoCurrentPtsDrift{0};
  std::atomic<int64_t> VideoCurrentPosition{-1};
  // Byte position of the sound packet being decoded, close to what is heard: where a byte seek of a
  // file without pictures starts from (the reader's own position is ahead, and its thread's alone).
  std::atomic<int64_t> AudioPacketPosition{-1};

  // ---- control, set by the component and read by the threads ----
  std::atomic<bool> Paused{false};
  bool PreviousPaused = false;
  std::atomic<int> LastReadPauseResult{0}; // the read thread writes, a resume reads
  std::atomic<bool> StopRequested{false};
  // A seek asked for and not yet taken by the read thread; a later request replaces it.
  std::mutex SeekLock; // guards the request between the owner (or the loop) and the read thread
  std::atomic<bool> SeekPending{false};
  int64_t SeekPosition = 0;
  int64_t SeekRelative = 0;
  int SeekFlags = 0;
  // The last seek by time asked for while paused, in seconds (NaN: none since the pause).
  std::atomic<double> PausedTarget{NAN};
  // The read loop has ended (stop or read error): nobody is left to serve a seek.
  std::atomic<bool> ReadLoopEnded{false};
  // Where the last seek by time was meant to land, in seconds (NaN: nowhere in particular). The read
  // thread sets it before the flush packets; each decoder takes it at its flush and drops what
  // comes before it, so that the first picture and sound after a seek are those of the target.
  std::atomic<double> SeekTarget{NAN};
  double VideoSkipUntil = NAN; // the video decode thread's
  AVFrame* SkipHeld = nullptr; // the last picture dropped on the way, shown if the file ends first
  double AudioSkipUntil = NAN; // the audio callback's
  std::atomic<bool> RefreshPending{false};
  bool Looping = false; // the event loop has sent the file back to its start and waits to see it there
  std::atomic<bool> EndLogged{false};
  std::atomic<bool> EndReported{false};
  std::atomic<bool> EndReached{false};
  std::atomic<bool> ReadInProgress{false};
  std::atomic<int> StepFrames{0};
  std::atomic<bool> PausedForSeek{false};
  std::atomic<bool> ShowAfterSeek{false};
  std::atomic<bool> QueuesFlushed{false};
  std::atomic<bool> ShowNext{true};     // while paused, the next queued picture is still to be shown
  std::atomic<int> AudioDisplayMode{0}; // 0 none, 1 waveform, 2 spectrum
  // The audio view (event loop): its picture, the waveform start kept while paused, the spectrum.
  AVFrame* AudioView = nullptr;
  int WaveStart = 0;
  int SpectrumX = 0;
  int SpectrumBits = 0;
  AVTXContext* Spectrum = nullptr;
  void (*SpectrumRun)(AVTXContext*, void*, void*, ptrdiff_t) = nullptr;
  std::vector<float> SpectrumIn;
  std::vector<float> SpectrumOut;
  std::vector<float> SpectrumMagnitudes[2]; // per channel, one per row
  int DisplayWidth = 0;
  int DisplayHeight = 0;

  std::thread ReadThread;
  std::thread VideoThread;
  std::thread SubtitleThread;
  std::thread RefreshThread;
};

// Keeps picture a YUV 4:2:0 picture of the given size, made anew only when the size changes;
// False when it cannot be made (picture is then null).
bool ReusePicture(AVFrame*& picture, int width, int height);

// The wall clock in seconds.
double WallSeconds();

} // namespace kavro
