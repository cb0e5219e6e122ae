// TFFPlayer: the preview player. It plays one file at a time with sound into a display surface (a
// window of the application's, or an SDL window of its own), reports its state and position, pauses,
// seeks and stops, and hands each picture to OnHook. Operations come from the owner's thread; the
// read, decode, refresh, event-loop and event-delivery threads are the player's own. OnFileOpen,
// OnPosition and OnState run in the main thread when TriggerEventInMainThread is set (the delivery
// thread waits), else on the delivery thread; OnHook runs on the video decode thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/rational.h>
}

#include "AVProbe.h"
#include "BitmapPicture.h"
#include "FFBaseComponent.h"
#include "engine/EngineLimits.h"
#include "platform/Bitmap.h"
#include "platform/Event.h"
#include "player/DisplaySurface.h"
#include "player/PlayContext.h"

namespace kavro {

enum TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };
enum TAudioDriver { adDefault, adDirectSound, adWaveOut };
enum TVideoDriver { vdDefault, vdDirectDraw, vdGDI };

using TFileOpenEvent = std::function<void(TObject* Sender, int64_t ADuration, int AFrameWidth,
                                          int AFrameHeight, int& AScreenWidth, int& AScreenHeight)>;
using THookEvent = std::function<void(TObject* Sender, TBitmap* ABitmap, int64_t APTS)>;
using TPositionEvent = std::function<void(TObject* Sender, int64_t APTS)>;
using TPlayStateEvent = std::function<void(TObject* Sender, TPlayState AState)>;

class TSdlSurface;

class TCustomPlayer : public TFFBaseComponent {
public:
  TCustomPlayer();
  ~TCustomPlayer() override;

  std::string About;
  std::string Version() const { return "2.3"; }
  TFileOpenEvent OnFileOpen;
  THookEvent OnHook;
  TPositionEvent OnPosition;
  TPlayStateEvent OnState;

  // ---- properties ----
  float AspectRatio() const { return FAspectRatio; }
  // Positive: forced; 0: from the stream; negative: fill the surface. Takes effect at once.
  void SetAspectRatio(float value);
  TAudioDriver AudioDriver = adDefault;
  TVideoDriver VideoDriver = vdDefault;
  std::atomic<int> AudioVolume{128}; // 0..128
  std::atomic<bool> Mute{false};
  bool DisableAudio = false;
  bool DisableVideo = false;
  bool DisableDisplay = false;
  int FrameWidth = 0;
  int FrameHeight = 0;
  std::atomic<int> ScreenWidth{0};
  std::atomic<int> ScreenHeight{0};
  std::atomic<bool> Hook{false};
  bool TriggerEventInMainThread = true;

  // ---- tuning, left at their defaults by the application ----
  int ScalerFlags = 4;
  std::string ForceFormat;
  int WantedStream[5] = {-1, -1, -1, -1, -1};
  int SyncType = 0; // 0 audio master, 1 video master, 2 external clock
  int64_t StartTime = NoTimeValue;
  int64_t PlayDuration = NoTimeValue;
  int EndAction = 1; // 1 stop, 2 loop
  int DecoderReorderPts = -1;
  bool FrameDrop = true;
  int AudioDisplayRefresh = 20; // ms
  int NoVideoDisplayMode = 1;   // 1 waveform, 2 spectrum
  bool VerticalFlip = false;
  std::string VideoFilters;

  bool LibrariesLoaded() const;
  bool LoadLibraries(const std::wstring& folder);
  // Opens and starts playing; surface null gives an SDL window of the player's own. Fails while threads
  // of the last file are still stuck in a handler.
  bool Open(const std::wstring& fileName, TDisplaySurface* surface, bool startPaused);
  // With wait, returns once the file is closed, or after a few seconds when a handler that does not
  // return holds a thread; the destructor waits for such threads without limit.
  void Stop(bool wait);
  void Pause();
  void Resume();
  // flags: 1 backward, 2 by bytes, 4 any frame, 8 by frame number; position in µs (bytes with 2).
  void Seek(int flags, bool wait, int64_t position);
  void SeekRelative(int flags, bool wait, double increment);
  // The picture on screen (or next due) as a bitmap owned by the player; 0 x 0 without video, and
  // black with pts -1 while no picture has come (none decoded yet, or none that its filters take).
  TBitmap* CurrentFrame(int64_t* pts = nullptr);
  int64_t CurrentPTS() const { return FCurrentPTS; }
  std::string LastErrMsg() const;
  TPlayState State() const { return FState; }
  bool IsOpen() const;

  // Where a picture goes in a display area: the aspect rules (forced, from the stream, or filling
  // the area when aspectRatio is negative), centred, even sizes.
  static void PictureRectangle(int displayWidth, int displayHeight, int pictureWidth, int pictureHeight,
                               AVRational sampleAspect, float aspectRatio, int& x, int& y, int& width,
                               int& height);

protected:
  // ---- pipeline (PlayerPipeline.cpp) ----
  void ReadThread(TPlayContext* context);
  bool OpenStreams(TPlayContext* context);
  bool OpenStream(TPlayContext* context, int index);
  void CloseStreams(TPlayContext* context);
  void VideoThread(TPlayContext* context);
  void SubtitleThread(TPlayContext* context);
  int DecodeVideo(TPlayContext* context, AVPacket* packet, AVFrame* frame);
  int QueuePicture(TPlayContext* context, AVFrame* frame, double pts, int64_t position);
  bool BuildVideoGraph(TPlayContext* context, const AVFrame* frame);
  static void AudioCallback(void* player, uint8_t* stream, int length);
  int DecodeAudio(TPlayContext* context);
  int SynchronizeAudio(TPlayContext* context, int size);
  double MasterClock(TPlayContext* context) const;
  double AudioClockNow(TPlayContext* context) const;
  double VideoClockNow(TPlayContext* context) const;
  double TargetTime(TPlayContext* context, double pts);

  // ---- display (PlayerDisplay.cpp) ----
  void Refresh(TPlayContext* context, bool redraw);
  void DisplayPicture(TPlayContext* context, int index);
  void RetireSubtitles(TPlayContext* context);
  void BlendSubtitles(TPlayContext* context, TPictureSlot& slot);
  void SetCurrentPicture(TPlayContext* context, const TPictureSlot& slot, double now);
  TDisplaySurface* Surface() const;
  void DisplayAudio(TPlayContext* context);
  void RunHook(TPlayContext* context, AVFrame* picture, double pts);
  void UpdatePosition(TPlayContext* context);

  // ---- component (FFPlayer.cpp) ----
  enum TLoopEvent { leRefresh, leQuit, leRelayout, leRedraw };
  void PostLoopEvent(TLoopEvent event);
  void PlayThread();
  void EventThread();
  void PostState(TPlayState state);
  void PostPosition(int64_t position);
  void EndEventThread();
  // With FContextLock held (or on the play thread, which alone frees the context).
  void TogglePause(TPlayContext* context);
  void TearDown();
  void QuitSdl();
  void SetError(const std::string& message);
  // Stores a seek for the read thread, replacing one still pending; False when no read loop is left
  // to serve it. With FContextLock held, or on the play thread.
  bool StoreSeek(TPlayContext* context, int64_t position, int64_t relative, int flags);
  // Waits, without FContextLock, until the stored seek is done (and its picture ready with video).
  void WaitForSeek(bool video);

  // The owner's calls hold FContextLock while they use the context; the tear-down takes it to free the
  // context, so a call from the owner's thread never meets a context being freed.
  mutable std::mutex FContextLock;
  std::atomic<TPlayContext*> FContext{nullptr};
  std::unique_ptr<TPlayContext> FContextOwner;
  TDisplaySurface* FSurface = nullptr;
  uint32_t FSdlSystems = 0; // the SDL subsystems the open file initialised; owner thread
  std::unique_ptr<TSdlSurface> FOwnSurface;
  TAVProbe FProbe;
  TBitmapPicture FHookPicture;
  TBitmapPicture FGrabPicture;
  mutable std::mutex FErrorLock; // guards FLastErrMsg: the read thread writes, the owner reads
  std::string FLastErrMsg;
  std::atomic<int64_t> FCurrentPTS{-1};
  int64_t FLastReportedPosition = INT64_MIN;
  std::atomic<TPlayState> FState{psStop};
  std::atomic<float> FAspectRatio{0};
  std::atomic<bool> FSeeking{false};
  std::atomic<bool> FHandlersOff{false}; // set by the destructor: no handler is called any more
  // The picture slot on screen: the event loop writes it, CurrentFrame reads it from the owner's thread.
  std::atomic<int> FDisplayedSlot{-1};

  // The event loop: its own queue of loop events, guarded by FLoopLock with FLoopChanged.
  std::timed_mutex FLoopLock; // serialises the loop's work against Stop
  std::mutex FLoopQueueLock;  // guards FLoopQueue between posters and the loop
  std::condition_variable FLoopChanged;
  std::deque<TLoopEvent> FLoopQueue;
  std::thread FPlayThread;
  TEvent FPlayThreadStopped{true, true};
  TEvent FSeekDone{true, true};
  TEvent FFrameReady{true, true};

  // Event delivery: a ring of 10 records that coalesces positions and states.
  struct TEventRecord {
    int Kind; // 1 position, 2 state, 3 quit
    TPlayState State;
    int64_t Position;
  };
  std::mutex FEventLock; // guards FEvents between posters and the delivery thread
  std::condition_variable FEventSignal;
  std::deque<TEventRecord> FEvents;
  std::thread FEventThread;
  TEvent FEventThreadEnded{true, true};
};

class TFFPlayer : public TCustomPlayer {};

} // namespace kavro
