#include "Previewer.h"

#include <SDL2/SDL.h>

#include <mutex>

#include "FFUtils.h"
#include "FFmpegLogger.h"
#include "platform/Bitmap.h"
#include "platform/MainThread.h"

namespace kavro {
namespace {

// A press anywhere in the picture drags the window.
SDL_HitTestResult DragAnywhere(SDL_Window*, const SDL_Point*, void*) {
  return SDL_HITTEST_DRAGGABLE;
}

bool StartVideo() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // the program's signals stay its own
    started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  });
  return started;
}

} // namespace

TPreviewer::~TPreviewer() {
  TMainThread::Synchronize([this] { Destroy(); });
}

bool TPreviewer::ShowFrame(TBitmap* bitmap, int frameNumber, int64_t pts) {
  if (FClosed) {
    if (FWindow) TMainThread::Synchronize([this] { Destroy(); });
    return false;
  }
  FBitmap = bitmap;
  FFrameNumber = frameNumber;
  FPts = pts;
  TMainThread::Synchronize([this] { Paint(); });
  if (FClosed && FWindow) TMainThread::Synchronize([this] { Destroy(); });
  return !FClosed;
}

// Sees the close request of this window when events are pumped; the queue stays for its owners.
int TPreviewer::WatchEvents(void* previewer, SDL_Event* event) {
  auto* self = static_cast<TPreviewer*>(previewer);
  if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_CLOSE && self->FWindow &&
      event->window.windowID == SDL_GetWindowID(self->FWindow))
    self->FClosed = true;
  return 1;
}

void TPreviewer::Paint() {
  if (FClosed) return;
  if (!FWindow) {
    if (!StartVideo()) {
      TFFLogger::Instance().Log(nullptr, llError, std::string("Preview window: ") + SDL_GetError());
      FClosed = true;
      return;
    }
    FWindow = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, FBitmap->Width(),
                               FBitmap->Height(), SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_UTILITY);
    FRenderer = FWindow ? SDL_CreateRenderer(FWindow, -1, 0) : nullptr;
    FTexture = FRenderer ? SDL_CreateTexture(FRenderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                                             FBitmap->Width(), FBitmap->Height())
                         : nullptr;
    if (!FTexture) {
      TFFLogger::Instance().Log(nullptr, llError, std::string("Preview window: ") + SDL_GetError());
      Destroy();
      FClosed = true;
      return;
    }
    SDL_SetWindowHitTest(FWindow, DragAnywhere, nullptr);
    SDL_AddEventWatch(WatchEvents, this);
  }
  SDL_PumpEvents();
  if (FClosed) {
    Destroy();
    return;
  }
  SDL_SetWindowTitle(FWindow, TimeText(FPts).c_str());
  int width = 0, height = 0;
  SDL_QueryTexture(FTexture, nullptr, nullptr, &width, &height);
  if (width != FBitmap->Width() || height != FBitmap->Height()) {
    SDL_DestroyTexture(FTexture);
    FTexture = SDL_CreateTexture(FRenderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                                 FBitmap->Width(), FBitmap->Height());
    if (!FTexture) return;
  }
  SDL_UpdateTexture(FTexture, nullptr, FBitmap->ScanLine(0), FBitmap->RowStride());
  const SDL_Rect area{0, 0, FBitmap->Width(), FBitmap->Height()};
  SDL_RenderClear(FRenderer);
  SDL_RenderCopy(FRenderer, FTexture, nullptr, &area);
  SDL_RenderPresent(FRenderer);
}

void TPreviewer::Destroy() {
  if (FWindow) SDL_DelEventWatch(WatchEvents, this);
  if (FTexture) SDL_DestroyTexture(FTexture);
  if (FRenderer) SDL_DestroyRenderer(FRenderer);
  if (FWindow) SDL_DestroyWindow(FWindow);
  FTexture = nullptr;
  FRenderer = nullptr;
  FWindow = nullptr;
}

} // namespace kavro
