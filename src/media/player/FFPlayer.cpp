#include "player/FFPlayer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "platform/Exceptions.h"
#include "platform/MainThread.h"
#include "player/SdlSurface.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

constexpr size_t EventQueueSize = 10;
// Stop's attempts of at most 200 ms each before it leaves threads stuck in a handler behind.
constexpr int MaxStopAttempts = 25;
constexpr int StopAttemptMs = 100;
constexpr int PausedRefreshInterval = 40; // ms

} // namespace

double WallSeconds() {
  return static_cast<double>(av_gettime_relative()) / 1000000.0;
}

TCustomPlayer::TCustomPlayer() = default;

TCustomPlayer::~TCustomPlayer() {
  // The handlers are switched off rather than cleared: a thread may be inside one right now.
  FHandlersOff = true;
  Stop(true);
  // A handler that is stuck holds threads that use this player: wait for them however long it takes.
  if (FPlayThread.joinable()) {
    PostLoopEvent(leQuit);
    TMainThread::WaitServing(FPlayThreadStopped);
    FPlayThread.join();
  }
  if (FEventThread.joinable()) {
    EndEventThread();
    TMainThread::WaitServing(FEventThreadEnded);
    FEventThread.join();
  }
  QuitSdl();
}

bool TCustomPlayer::LibrariesLoaded() const {
  return TFFmpegLoader::Instance().LibsLoaded(PlayerLibSet);
}

bool TCustomPlayer::LoadLibraries(const std::wstring& folder) {
  TFFmpegLoader& loader = TFFmpegLoader::Instance();
  loader.SetLibraryPath(folder);
  if (loader.LoadLibs(PlayerLibSet)) return true;
  SetError(loader.LastError());
  return false;
}

std::string TCustomPlayer::LastErrMsg() const {
  std::lock_guard lock(FErrorLock);
  return FLastErrMsg;
}

void TCustomPlayer::SetError(const std::string& message) {
  std::lock_guard lock(FErrorLock);
  FLastErrMsg = message;
}

bool TCustomPlayer::IsOpen() const {
  return FContext.load() != nullptr;
}

void TCustomPlayer::SetAspectRatio(float value) {
  FAspectRatio = value;
  if (FContext) PostLoopEvent(leRelayout);
}

bool TCustomPlayer::Open(const std::wstring& fileName, TDisplaySurface* surface, bool startPaused) {
  if (!LibrariesLoaded()) {
    SetError("libav or libsdl not loaded.");
    TFFLogger::Instance().Log(this, llError, "libav or libsdl not loaded.");
    return false;
  }
  Stop(true);
  if (FPlayThread.joinable() || FEventThread.joinable()) {
    // The last file's threads are stuck in a handler; new ones would trip over them.
    SetError("the previous file is still closing.");
    TFFLogger::Instance().Log(this, llError, LastErrMsg());
    return false;
  }
  // A driver chosen here wins; the default leaves the environment's choice alone.
  if (AudioDriver != adDefault)
    setenv("SDL_AUDIODRIVER", AudioDriver == adDirectSound ? "dsound" : "waveout", 1);
  if (VideoDriver != vdDefault)
    setenv("SDL_VIDEODRIVER", VideoDriver == vdDirectDraw ? "directx" : "windib", 1);
  const bool ownWindow = !surface && !DisableDisplay;
  const Uint32 systems = SDL_INIT_EVENTS | SDL_INIT_TIMER | SDL_INIT_AUDIO | (ownWindow ? SDL_INIT_VIDEO : 0);
  FSdlSystems = systems;
  // The program's own signals stay its own: SDL would otherwise turn SIGINT and SIGTERM into quit
  // events that a program with other windows never reads, and could not be terminated.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(systems) != 0) {
    FSdlSystems = systems & ~SDL_INIT_AUDIO;
    if (SDL_InitSubSystem(FSdlSystems) != 0) {
      FSdlSystems = 0;
      SetError(Format("Could not initialize SDL with ScreenHandle(%u): %s", 0u, SDL_GetError()));
      TFFLogger::Instance().Log(this, llError, LastErrMsg());
      return false;
    }
  }
  const char* audioDriver = SDL_GetCurrentAudioDriver();
  const char* videoDriver = SDL_GetCurrentVideoDriver();
  TFFLogger::Instance().LogFmt(this, llInfo, "using audio driver: %s", audioDriver ? audioDriver : "none");
  TFFLogger::Instance().LogFmt(this, llInfo, "using video driver: %s", videoDriver ? videoDriver : "none");
  if (DisableDisplay) DisableVideo = true;
  FSurface = surface;
  FHookPicture.Reset();
  FGrabPicture.Reset();
  FDisplayedSlot = -1;

  {
    std::lock_guard lock(FEventLock);
    FEvents.clear();
  }
  {
    // The last file's loop may have left a quit or refreshes behind, which are not this file's.
    std::lock_guard lock(FLoopQueueLock);
    FLoopQueue.clear();
  }
  // Reported before any thread of the file can report a later state.
  PostState(psPlay);
  auto context = std::make_unique<TPlayContext>();
  context->Player = this;
  context->FileName = fileName;
  if (startPaused) {
    context->Paused = true;
    context->StepFrames = 1;
  }
  context->ReadThread = std::thread(&TCustomPlayer::ReadThread, this, context.get());
  TEvent never;
  while (context->OpenState == 0)
    TMainThread::WaitServing(never, 10);
  if (context->OpenState < 0) {
    context->StopRequested = true;
    context->ReadThread.join();
    QuitSdl();
    std::lock_guard lock(FEventLock);
    FEvents.clear();
    FState = psStop;
    return false;
  }
  if (!context->VideoStream && !DisableDisplay) context->AudioDisplayMode = NoVideoDisplayMode;
  // Without pictures no decode thread steps to the first one: the pause is reported here.
  if (startPaused && !context->VideoStream) {
    context->StepFrames = 0;
    PostState(psPause);
  }
  TPlayContext* open = context.get();
  {
    std::lock_guard lock(FContextLock); // the owner's calls look at the context under it
    FContextOwner = std::move(context);
    FContext = open;
  }
  FCurrentPTS = -1;
  FLastReportedPosition = INT64_MIN;
  open->RefreshThread = std::thread([this, open] {
    while (!open->StopRequested) {
      if (!open->RefreshPending.exchange(true)) PostLoopEvent(leRefresh);
      const bool audioView = open->AudioStream && open->AudioDisplayMode && !open->VideoStream;
      // While paused only a seek's picture or a redraw can be due: a slower beat costs next to nothing.
      const int interval = open->Paused ? PausedRefreshInterval : audioView ? AudioDisplayRefresh : 5;
      std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
  });
  FProbe.SetFormatContext(open->Format);
  int screenWidth = ScreenWidth;
  int screenHeight = ScreenHeight;
  if (OnFileOpen) {
    const int64_t duration = open->IsImageSequence ? 0 : std::max<int64_t>(0, open->Duration);
    const int width = open->VideoStream ? open->VideoStream->codecpar->width : -1;
    const int height = open->VideoStream ? open->VideoStream->codecpar->height : -1;
    const auto call = [&] { OnFileOpen(this, duration, width, height, screenWidth, screenHeight); };
    if (TriggerEventInMainThread)
      TMainThread::Synchronize(call);
    else
      call();
  }
  if (surface && (screenWidth == 0 || screenHeight == 0)) surface->Size(screenWidth, screenHeight);
  ScreenWidth = screenWidth;
  ScreenHeight = screenHeight;
  FPlayThreadStopped.ResetEvent();
  FEventThreadEnded.ResetEvent();
  FEventThread = std::thread(&TCustomPlayer::EventThread, this);
  FPlayThread = std::thread(&TCustomPlayer::PlayThread, this);
  return true;
}

void TCustomPlayer::PostLoopEvent(TLoopEvent event) {
  {
    std::lock_guard lock(FLoopQueueLock);
    FLoopQueue.push_back(event);
  }
  FLoopChanged.notify_one();
}

void TCustomPlayer::PlayThread() {
  TPlayContext* context = FContext;
  if (!FSurface && !DisableDisplay && context) {
    int width = ScreenWidth, height = ScreenHeight;
    if (width <= 0 || height <= 0) {
      width = context->VideoStream ? context->VideoStream->codecpar->width & ~1 : 640;
      height = context->VideoStream ? context->VideoStream->codecpar->height & ~1 : 480;
    }
    FOwnSurface = std::make_unique<TSdlSurface>(width > 0 ? width : 640, height > 0 ? height : 480);
    if (!FOwnSurface->Ready()) {
      TFFLogger::Instance().Log(this, llError, "SDL: could not set video mode.");
      FOwnSurface.reset();
    }
  }
  for (;;) {
    TLoopEvent event;
    {
      std::unique_lock lock(FLoopQueueLock);
      // The own window's events arrive only when pumped; refreshes come every few milliseconds.
      FLoopChanged.wait_for(lock, std::chrono::milliseconds(50), [this] { return !FLoopQueue.empty(); });
      if (FLoopQueue.empty()) continue;
      event = FLoopQueue.front();
      FLoopQueue.pop_front();
    }
    std::lock_guard loop(FLoopLock);
    context = FContext;
    if (!context) break;
    if (FOwnSurface) {
      SDL_Event sdlEvent;
      while (SDL_PollEvent(&sdlEvent)) {
        if (sdlEvent.type == SDL_QUIT) event = leQuit;
        if (sdlEvent.type == SDL_WINDOWEVENT && sdlEvent.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          FOwnSurface->Resized(sdlEvent.window.data1, sdlEvent.window.data2);
          ScreenWidth = sdlEvent.window.data1;
          ScreenHeight = sdlEvent.window.data2;
          if (context->Paused) Refresh(context, true);
        }
      }
    }
    try {
      if (event == leQuit) {
        TearDown();
        break;
      }
      if (event == leRefresh) {
        Refresh(context, false);
        context->RefreshPending = false;
      } else {
        TDisplaySurface* surface = FSurface ? FSurface : FOwnSurface.get();
        if (surface && event == leRelayout) surface->Clear();
        Refresh(context, true);
      }
    } catch (const std::exception& e) {
      TFFLogger::Instance().Log(this, llFatal, std::string("PlayThread Exception: ") + e.what());
      TearDown();
      break;
    }
  }
  FOwnSurface.reset();
  PostState(psStop);
  FPlayThreadStopped.SetEvent();
}

void TCustomPlayer::TearDown() {
  TPlayContext* context = FContext;
  if (!context) return;
  context->StopRequested = true;
  context->AudioQueue.Abort();
  context->VideoQueue.Abort();
  context->SubtitleQueue.Abort();
  context->PictureChanged.notify_all();
  if (context->ReadThread.joinable()) context->ReadThread.join();
  if (context->RefreshThread.joinable()) context->RefreshThread.join();
  FProbe.CloseFile();
  std::unique_ptr<TPlayContext> gone;
  {
    std::lock_guard lock(FContextLock); // an owner's call may be looking at the context right now
    FContext = nullptr;
    gone = std::move(FContextOwner);
    FCurrentPTS = -1;
    FDisplayedSlot = -1;
  }
  gone.reset();
  FLastReportedPosition = INT64_MIN;
  // A seek that waits has nothing left to wait for.
  FSeekDone.SetEvent();
  FFrameReady.SetEvent();
  FSeeking = false;
}

void TCustomPlayer::Stop(bool wait) {
  {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    if (TPlayContext* context = FContext) {
      if (context->Paused) TogglePause(context);
      PostLoopEvent(leQuit);
    }
  }
  if (!wait) return;
  // Each attempt waits for the loop to end, then for its lock. A loop that keeps the lock (a handler
  // that does not return holds a thread it waits for) is left behind after the last attempt; the
  // next Stop, Open or the destructor looks for it again.
  for (int attempts = 1; FPlayThread.joinable() && attempts <= MaxStopAttempts;) {
    if (TMainThread::WaitServing(FPlayThreadStopped, StopAttemptMs)) {
      FPlayThread.join();
      break;
    }
    ++attempts;
    if (!FContext) {
      // The loop ends once the context is gone, at its next event.
      PostLoopEvent(leQuit);
      continue;
    }
    std::unique_lock loop(FLoopLock, std::defer_lock);
    if (!loop.try_lock_for(std::chrono::milliseconds(StopAttemptMs))) continue;
    TPlayContext* context = FContext;
    if (!context) continue;
    if (attempts <= 10 || (attempts <= 20 && !context->ReadInProgress))
      PostLoopEvent(leQuit);
    else
      TearDown();
  }
  if (FEventThread.joinable()) {
    EndEventThread();
    // The delivery thread may wait for the main thread: serve it while waiting.
    if (TMainThread::WaitServing(FEventThreadEnded, MaxStopAttempts * StopAttemptMs)) FEventThread.join();
  }
  if (!FPlayThread.joinable()) QuitSdl();
}

void TCustomPlayer::EndEventThread() {
  {
    std::lock_guard lock(FEventLock);
    FEvents.push_back({3, psStop, 0});
  }
  FEventSignal.notify_one();
}

void TCustomPlayer::QuitSdl() {
  // Every Open initialises what it uses once; SDL counts them, so each is matched here.
  if (FSdlSystems) SDL_QuitSubSystem(FSdlSystems);
  FSdlSystems = 0;
}

void TCustomPlayer::PostState(TPlayState state) {
  FState = state;
  std::lock_guard lock(FEventLock);
  const bool handled = OnState && !FHandlersOff;
  if (!handled && state != psStop) return;
  const TEventRecord record{handled ? 2 : 3, state, 0};
  if (!FEvents.empty() && FEvents.back().Kind == record.Kind && FEvents.back().State == state)
    FEvents.back() = record;
  else
    FEvents.push_back(record);
  if (FEvents.size() > EventQueueSize) FEvents.pop_front();
  FEventSignal.notify_one();
}

void TCustomPlayer::PostPosition(int64_t position) {
  std::lock_guard lock(FEventLock);
  if (!OnPosition || FHandlersOff) return;
  const TEventRecord record{1, psPlay, position};
  if (!FEvents.empty() && FEvents.back().Kind == 1)
    FEvents.back() = record;
  else
    FEvents.push_back(record);
  if (FEvents.size() > EventQueueSize) FEvents.pop_front();
  FEventSignal.notify_one();
}

void TCustomPlayer::EventThread() {
  struct TEnded {
    TEvent& Ended;
    ~TEnded() { Ended.SetEvent(); }
  } ended{FEventThreadEnded};
  for (;;) {
    TEventRecord record;
    {
      std::unique_lock lock(FEventLock);
      FEventSignal.wait(lock, [this] { return !FEvents.empty(); });
      record = FEvents.front();
      FEvents.pop_front();
    }
    if (record.Kind == 3) return;
    const auto call = [&] {
      if (FHandlersOff) return;
      if (record.Kind == 1 && OnPosition) OnPosition(this, record.Position);
      if (record.Kind == 2 && OnState) OnState(this, record.State);
    };
    try {
      if (TriggerEventInMainThread)
        TMainThread::Synchronize(call);
      else
        call();
    } catch (const std::exception& e) {
      TFFLogger::Instance().Log(this, llError, e.what());
    }
    if (record.Kind == 2 && record.State == psStop) return;
  }
}

void TCustomPlayer::TogglePause(TPlayContext* context) {
  // A seek or its picture still on the way gets a moment to arrive before the clocks are moved.
  if (!FSeekDone.WaitFor(250)) FSeekDone.SetEvent();
  if (context->VideoStream && !FFrameReady.WaitFor(250)) FFrameReady.SetEvent();
  if (context->Paused) {
    const double now = WallSeconds();
    std::lock_guard lock(context->PictureLock); // the decode thread moves the frame timer as it queues
    context->FrameTimer += now + context->VideoCurrentPtsDrift - context->VideoCurrentPts;
    if (context->LastReadPauseResult != AVERROR(ENOSYS))
      context->VideoCurrentPts = context->VideoCurrentPtsDrift + now;
    context->VideoCurrentPtsDrift = context->VideoCurrentPts - now;
    context->PausedTarget = NAN;
    context->Paused = false;
  } else {
    context->PausedTarget = NAN;
    context->Paused = true;
  }
}

void TCustomPlayer::Pause() {
  std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
  TPlayContext* context = FContext;
  if (!context || context->Paused) return;
  TogglePause(context);
  PostState(psPause);
}

void TCustomPlayer::Resume() {
  std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
  TPlayContext* context = FContext;
  if (!context || !context->Paused) return;
  TogglePause(context);
  PostState(psResume);
}

bool TCustomPlayer::StoreSeek(TPlayContext* context, int64_t position, int64_t relative, int flags) {
  // A file on its way out, or whose reading has ended, has no read loop left to seek.
  if (context->StopRequested || context->ReadLoopEnded) return false;
  FSeeking = true;
  context->PausedForSeek = context->Paused.load();
  std::lock_guard lock(context->SeekLock); // the read thread takes the request under it
  context->SeekPosition = position;
  context->SeekRelative = relative;
  context->SeekFlags = flags & 15;
  // Where a relative step while paused goes on from: the picture or sound asked for last.
  if (context->Paused && !(flags & AVSEEK_FLAG_BYTE)) context->PausedTarget = position / 1000000.0;
  FSeekDone.ResetEvent();
  context->SeekPending = true;
  return true;
}

void TCustomPlayer::WaitForSeek(bool video) {
  // The read thread, the end of its loop or the tear-down sets these, so the waits end.
  TMainThread::WaitServing(FSeekDone, -1, 100);
  if (video) TMainThread::WaitServing(FFrameReady, -1, 100);
}

void TCustomPlayer::Seek(int flags, bool wait, int64_t position) {
  bool stored, video;
  {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    TPlayContext* context = FContext;
    if (!context) return;
    video = context->VideoStream != nullptr;
    if (!(flags & AVSEEK_FLAG_BYTE)) {
      if (context->Duration > 0 && position > context->Duration) position = context->Duration;
      const int64_t relative = position <= 0 ? 1 : 0;
      stored = StoreSeek(context, position + context->StartTime, relative, flags);
    } else {
      stored = StoreSeek(context, position, 0, flags);
    }
  }
  if (stored && wait) WaitForSeek(video);
}

void TCustomPlayer::SeekRelative(int flags, bool wait, double increment) {
  bool stored, video;
  {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    TPlayContext* context = FContext;
    if (!context) return;
    video = context->VideoStream != nullptr;
    if (flags & AVSEEK_FLAG_BYTE) {
      int64_t position = context->VideoCurrentPosition >= 0
                             ? context->VideoCurrentPosition.load()
                             : std::max<int64_t>(context->AudioPacketPosition, 0);
      const int64_t bitRate = context->BitRate;
      position += static_cast<int64_t>(increment * (bitRate ? bitRate / 8.0 : 180000.0));
      stored = StoreSeek(context, position, static_cast<int64_t>(increment), flags);
    } else {
      // From the last request when one is still on its way or the player rests on it; the clocks
      // stand still while paused and lag behind a seek that is not done yet.
      double from;
      {
        std::lock_guard seekLock(context->SeekLock); // the read thread takes the request under it
        if (context->SeekPending && !(context->SeekFlags & AVSEEK_FLAG_BYTE))
          from = context->SeekPosition / 1000000.0;
        else if (context->Paused && std::isfinite(context->PausedTarget.load()))
          from = context->PausedTarget;
        else
          from = MasterClock(context);
      }
      const double target = from + increment;
      stored = StoreSeek(context, static_cast<int64_t>(target * 1000000),
                         static_cast<int64_t>(increment * 1000000), flags);
    }
  }
  if (stored && wait) WaitForSeek(video);
}

} // namespace kavro
