// TCustomFFmpeg: the engine of one conversion task. Set-up calls (options, opening inputs, creating
// outputs) come from the owner's thread before the task starts; the run happens on the task's worker
// thread, or in place in the caller's thread. Stop, Suspend and Resume may come from any thread.
//
// This file holds the task's life cycle; options, file set-up and the conversion itself are the
// virtual calls below, filled in by the engine's other parts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineLimits.h"
#include "engine/FileTables.h"
#include "engine/RunState.h"
#include "engine/GenericParameters.h"
#include "engine/TaskSettings.h"
#include "BitmapPicture.h"
#include "HookModules.h"
#include "Previewer.h"
#include "platform/Event.h"
#include "platform/Object.h"
#include "platform/PauseGate.h"
#include "platform/ThreadPriority.h"

struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVSubtitle;

namespace kavro {

class TBitmap;
class TCustomFFmpeg;

// How an option takes its value: flags and Booleans may stand alone on a command line.
enum TOptionKind { okFlag, okBool, okInt, okInt64, okFloat, okText, okTime, okDate };
using TOptionHandler = void (TCustomFFmpeg::*)(const std::string& name, const std::string& value);

// One row of the option table.
struct TOptionRow {
  const char* Name;
  TOptionKind Kind;
  TOptionHandler Handler;
  const char* Default; // the value that restores the default through the handler; null when none does
};

// Notification slots the owner points at its own handlers; the engine calls them from the worker.
using TProgressProc =
    std::function<void(TCustomFFmpeg* Sender, int FileIndex, int FrameNumber, int FPS, float Quality,
                       float BitRate, int64_t CurrentSize, int64_t CurrentDuration, int64_t TotalDuration)>;
using TTerminateProc = std::function<void(TCustomFFmpeg* Sender)>;
using TCustomHookProc = std::function<void(TCustomFFmpeg* Sender, TBitmap* Bitmap, int FrameNumber,
                                           int64_t PTS, bool& Update, bool& StopHook)>;
using TPreviewBitmapProc =
    std::function<void(TCustomFFmpeg* Sender, TBitmap* Bitmap, int FrameNumber, int64_t PTS)>;

// Preview flags of a task.
constexpr int PreviewWindowFlag = 1; // bit 0: show pictures in the task's own preview window
constexpr int PreviewBitmapFlag = 2; // bit 1: deliver pictures through the preview-bitmap slot

class TCustomFFmpeg : public TObject {
public:
  TCustomFFmpeg();
  // Stops a running task and waits for it. Owners that derive from this class stop it in their own
  // destructor first (StopAndWait), since the run calls their overrides.
  ~TCustomFFmpeg() override;

  // ---- settings (before the task starts, owner's thread) ----
  // Restores every setting to its default, recreates the generic parameter contexts and clears the
  // termination state.
  virtual void ResetTask();
  // Applies one option through the option table (first match wins), else the generic parameter
  // setter. Raises FFmpegException (or EConvertError) for a bad value.
  virtual void ParseOption(const std::string& name, const std::string& value);
  virtual void SetStartTime(int64_t microseconds);
  virtual void SetRecordingTime(int64_t microseconds);
  // Recording timestamp of the next output, seconds since 1970 UTC.
  virtual void SetRecordingTimestamp(int64_t seconds);
  // Target preset: type "vcd", "svcd", "dvd", "dv" or "dv50"; norm "auto", "pal", "ntsc" or "film";
  // the fallback decides when "auto" cannot.
  virtual void SetTarget(const std::string& type, const std::string& norm, const std::string& fallbackNorm);
  // False with LastErrorText on failure.
  virtual bool OpenInputFile(const std::wstring& fileName);
  // The new number of output files, or -1 with LastErrorText.
  virtual int OpenOutputFile(const std::wstring& fileName, bool join);
  virtual int InputFileCount() const;
  virtual int OutputFileCount() const;
  // The opened input's container, for a probe to describe it.
  virtual AVFormatContext* InputFormatContext(int index) const;
  // Frees the task's preview window at once.
  virtual void FreePreviewer();

  // Looks a codec up by name for a media type: True with its id (0 for an empty name), or False with
  // the reason in LastErrorText. strictness is the codec context's standard compliance.
  bool FindCodec(const std::string& name, int mediaType, int strictness, bool encoder, int& codecId);
  const std::vector<std::unique_ptr<TInputFile>>& InputFiles() const { return FInputFiles; }
  // In join mode one output stands here once per input.
  const std::vector<std::shared_ptr<TOutputFile>>& OutputFiles() const { return FOutputFiles; }
  bool JoinMode() const { return FJoinMode; }
  int OutputCodecCount() const { return FOutputCodecCount; }

  // The option table, in the order ParseOption walks it.
  static const TOptionRow* OptionTable(int& count);
  static const TOptionRow* FindOption(const std::string& name);

  const TTaskSettings& Settings() const { return FSettings; }
  const TGenericParameters& GenericParameters() const { return FParams; }
  // Sets a generic parameter (presets and target presets use it); False when it was not set. A media
  // type (ptVideo, ptAudio, ptSubtitle) keeps it to that type's codec context and encoder.
  bool SetGenericParameter(const std::string& name, const std::string& value, int onlyType = -1);

  const std::string& LastErrorText() const { return FLastErrorText; }
  int64_t ExpectedDuration() const { return FExpectedDuration; }

  int Verbose = 1;
  // With strict options, ParseOption refuses (EOptionError) a name that nothing knows and a value a
  // generic parameter rejects, which otherwise change nothing and only log.
  bool StrictOptions = false;
  // Microseconds between progress reports.
  int64_t ProgressIntervalUs = 500000;

  // Preview flags (PreviewWindowFlag, PreviewBitmapFlag); changed under PreviewLock, read by the
  // worker for each picture.
  std::atomic<int> PreviewFlags{0};
  // One lock for the preview flags of every task of the process.
  static std::mutex& PreviewLock();

  TProgressProc FProgressProc;
  TTerminateProc FTerminateProc;
  TCustomHookProc FCustomHookProc;
  TPreviewBitmapProc FPreviewBitmapProc;

  // ---- running ----
  // Runs the task on a new worker thread (threaded) or to its end in this thread. Nothing happens
  // when the task is running or has terminated.
  void Start(bool threaded, TThreadPriority priority = tpNormal);
  // Asks a running task to end (and opens its pause gate); a task that never ran reports its
  // termination from a thread of its own, or in this thread with deliverInPlace. With waitForStop,
  // returns once the worker has left or the termination has been delivered.
  void Stop(bool waitForStop, bool deliverInPlace = false);
  // Stops and waits, then joins every thread of the task; the last call before destruction.
  void StopAndWait();
  // Waits until a termination that Stop handed to a thread of its own has been delivered.
  void WaitForTermination();
  // The owner lets go of the task: its termination no longer reaches FTerminateProc.
  void Discard() { FDiscarded = true; }
  void Suspend() { FPauseGate.Close(); }
  void Resume() { FPauseGate.Open(); }
  bool Suspended() { return FPauseGate.IsClosed(); }

  bool Running() const { return FRunning; }
  bool Terminated() const { return FTerminated; }
  // The transcode reached its end and no stop was requested.
  bool Finished() const { return FFinished; }
  bool ExceptionRaised() const { return FException; }
  std::string ExceptionMessage() const;
  bool StopRequested() const { return FStopRequest; }

protected:
  // ---- option handlers (one per row or family of rows of the option table) ----
  template <bool TTaskSettings::*Field> void OptBool(const std::string& name, const std::string& value);
  template <int TTaskSettings::*Field> void OptInt(const std::string& name, const std::string& value);
  template <float TTaskSettings::*Field, int Lowest, int Highest>
  void OptFloat(const std::string& name, const std::string& value);
  template <std::string TTaskSettings::*Field>
  void OptText(const std::string& name, const std::string& value);
  template <bool TTaskSettings::*Field> void OptAlwaysTrue(const std::string& name, const std::string& value);
  void OptDoNothing(const std::string& name, const std::string& value);
  void OptTimeLimit(const std::string& name, const std::string& value);
  void OptPadding(const std::string& name, const std::string& value);
  void OptLogLevel(const std::string& name, const std::string& value);
  void OptFormat(const std::string& name, const std::string& value);
  void OptMap(const std::string& name, const std::string& value);
  void OptMapMetaData(const std::string& name, const std::string& value);
  void OptRecordingTime(const std::string& name, const std::string& value);
  void OptLimitFileSize(const std::string& name, const std::string& value);
  void OptStartTime(const std::string& name, const std::string& value);
  void OptMaxFrames(const std::string& name, const std::string& value);
  TSetResult SetParameter(const std::string& name, const std::string& value, int onlyType);
  // The generic parameter setter for an option given by the caller, under StrictOptions.
  bool SetOptionParameter(const std::string& name, const std::string& value);
  void OptInputTsOffset(const std::string& name, const std::string& value);
  void OptInputTsScale(const std::string& name, const std::string& value);
  void OptRecordingTimestamp(const std::string& name, const std::string& value);
  void OptMetadata(const std::string& name, const std::string& value);
  void OptVerbose(const std::string& name, const std::string& value);
  void OptTarget(const std::string& name, const std::string& value);
  void OptVideoBitrate(const std::string& name, const std::string& value);
  void OptFrameRate(const std::string& name, const std::string& value);
  void OptFrameSize(const std::string& name, const std::string& value);
  void OptAspect(const std::string& name, const std::string& value);
  void OptPixelFormat(const std::string& name, const std::string& value);
  void OptCrop(const std::string& name, const std::string& value);
  void OptQScale(const std::string& name, const std::string& value);
  void OptCodec(const std::string& name, const std::string& value);
  void OptPass(const std::string& name, const std::string& value);
  void OptVStats(const std::string& name, const std::string& value);
  void OptVStatsFile(const std::string& name, const std::string& value);
  void OptVideoHook(const std::string& name, const std::string& value);
  void OptVideoFilters(const std::string& name, const std::string& value);
  void OptMatrix(const std::string& name, const std::string& value);
  void OptCodecTag(const std::string& name, const std::string& value);
  void OptNewStream(const std::string& name, const std::string& value);
  void OptStreamId(const std::string& name, const std::string& value);
  void OptAudioBitrate(const std::string& name, const std::string& value);
  void OptAudioRate(const std::string& name, const std::string& value);
  void OptAudioChannels(const std::string& name, const std::string& value);
  void OptSampleFormat(const std::string& name, const std::string& value);
  void OptBitstreamFilter(const std::string& name, const std::string& value);
  void OptPreset(const std::string& name, const std::string& value);

  // A stream added to the last output by newvideo, newaudio or newsubtitle (0 video, 1 audio,
  // 3 subtitle, as the libraries number media types).
  virtual void NewStreamForOption(int mediaType);
  // A frame hook module loaded by vhook: 0 or a negative error code (a seam of the hook part).
  virtual int AddHookModule(const std::vector<std::string>& arguments);

private:
  void CheckInputStreamTypes(bool& hasVideo, bool& hasAudio, bool& hasSubtitle) const;
  // The name of the task's input that an output URL would overwrite; empty when none.
  std::string InputBehind(const std::string& outputUrl) const;
  void ProposeFirstInput();
  // The muxer settings of a new output: delays, loop count, generic and private format options.
  void PrepareOutputFile(TOutputFile& file);
  void ApplyFormatParameters(AVFormatContext* context) const;
  void WarnUnusedStreamHints(const std::string& name, const AVDictionary* unread);
  // The encoder settings of a new stream: the encoder named by the pending setting, else the
  // format's choice, with the generic parameters of its media type.
  void PrepareEncoder(TOutputStream& stream, const TOutputFile& file, const std::string& name);
  // Adds the prepared stream to the output, with its id from the stream-id table.
  void AddOutputStream(TOutputFile& file, TOutputStream& stream, std::vector<TBitstreamFilterSpec>& filters);

protected:
  // New streams of an output from the pending settings; raise FFmpegException on failure.
  void NewVideoStream(TOutputFile& file);
  void NewAudioStream(TOutputFile& file);
  void NewSubtitleStream(TOutputFile& file);

  // ---- the run (set-up, video and audio paths, progress, main loop) ----
  void SetUpRun();
  void MapOutputStreams();
  void SetUpStreamCopy(TOutputStreamState& ost, TInputStreamState& ist);
  void SetUpVideoEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  void SetUpAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  void OpenEncoders();
  void OpenDecoders();
  void OpenPassLog(TOutputStreamState& ost, int index);
  void SetUpBitstreamFilters(TOutputStreamState& ost);
  void CopyMetadataMaps();
  void CopyChapters();
  void WriteHeaders();
  void DumpStreamMapping();
  int BuildVideoFilterGraph(TInputStreamState& ist, TOutputStreamState& ost);
  void PrepareDecodedPicture(TInputStreamState& ist, AVFrame* picture);
  int EncodeVideoPicture(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture);
  void SendVideoFrame(TOutputStreamState& ost, AVFrame* frame);
  void WriteVideoStatsLine(TOutputStreamState& ost, int frameSize);
  void DoAudioOut(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* samples);
  void EncodeAudioFrames(TOutputStreamState& ost, bool flushing);
  void EncodeSubtitle(TOutputStreamState& ost, TInputStreamState& ist, AVSubtitle* subtitle, int64_t pts);
  // Receives every packet the encoder has ready and writes it; the bytes of the last one.
  int DrainEncoder(TOutputStreamState& ost);
  void WriteOutputPacket(TOutputStreamState& ost, AVPacket* packet);
  void CopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* packet);
  // The part of an input that is written, in µs of the run's time line: from the start (INT64_MIN:
  // from the beginning) to the end of the recording time (INT64_MAX: to the end).
  int64_t WindowStart(int fileIndex) const;
  int64_t WindowEnd(int fileIndex) const;
  // Cuts decoded sound to the window, to the sample; False when nothing of the frame is in it.
  bool TrimToWindow(TInputStreamState& ist, AVFrame* samples);
  // Copies a packet that lies in the window; copied video starts at the key frame before the start.
  void CopyInWindow(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* packet);
  int ProcessInputPacket(int inputStream, const AVPacket* packet);
  void DispatchDecoded(TInputStreamState& ist, AVFrame* frame, AVSubtitle* subtitle);
  void FlushEncoders(TInputStreamState& ist);
  void MainLoop();
  int ChooseInputFile();
  bool EndOfInput(int fileIndex);
  void FinishRun();
  void BuildProgressReport(bool isLast, int fileIndex);

  // Seams of the frame hooks and the preview, filled by the hook part: whether a custom hook or
  // hook modules will see the pictures, running them on a picture, and the preview of a coded one.
  virtual bool HasCustomHook() const;
  virtual bool HasHookModules() const;
  virtual void RunCustomHook(AVFrame* picture, int64_t pts);
  virtual void ProcessHookModules(AVFrame* picture, int64_t pts);
  virtual void DeliverPreview(AVFrame* picture, AVCodecContext* encoder);

  TTaskSettings FSettings;
  TGenericParameters FParams;
  // Frame hooks and preview.
  THookChain FHookModules;
  bool FHookModulesOn = false;
  TBitmapPicture FHookPicture;
  TBitmapPicture FPreviewPicture;
  std::unique_ptr<TPreviewer> FPreviewer;
  int64_t FLastPreviewTime = 0;
  std::unique_ptr<TRunState> FRun;
  std::vector<std::unique_ptr<TInputFile>> FInputFiles;
  std::vector<std::shared_ptr<TOutputFile>> FOutputFiles;
  int FInputCodecCount = 0;
  int FOutputCodecCount = 0;
  bool FJoinMode = false;

  // The conversion; returns after a complete or stopped run, raises FFmpegException on failure.
  virtual void RunConversion();
  virtual void CloseOpenedEncoders();
  virtual void CloseOpenedDecoders();
  virtual void FreeRunTimeState();

  // The worker's safe point: sleeps while the task is paused.
  void WaitWhilePaused() { FPauseGate.Wait(); }
  void SetFinished(bool value) { FFinished = value; }
  void SetLastErrorText(const std::string& text) { FLastErrorText = text; }
  void SetExpectedDuration(int64_t value) { FExpectedDuration = value; }
  // Records an error of the run as the task's error; the first one is kept.
  void RecordException(const std::string& message);

private:
  void DoConvert();
  void DoTerminate();
  void RunGuarded(void (TCustomFFmpeg::*step)());
  // Claims the task's one termination; False when it was already claimed.
  bool ClaimTermination();
  void JoinThreads();

  std::atomic<bool> FRunning{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FException{false};
  std::atomic<bool> FStopRequest{false};
  std::atomic<bool> FTerminationClaimed{false};
  std::atomic<bool> FDiscarded{false};
  // Guards the life-cycle transitions (claiming the termination, starting, stopping) and FErrorText,
  // which the worker writes while the owner reads.
  mutable std::mutex FStateLock;
  std::string FErrorText;
  std::string FLastErrorText;
  int64_t FExpectedDuration = -1;

  TPauseGate FPauseGate;
  std::thread FWorker;
  std::atomic<std::thread::id> FWorkerId{};
  std::thread FTerminateThread;
  TEvent FThreadFinished{true, true};
  TEvent FTerminationDelivered{true, true};
};

} // namespace kavro
