// TPreviewer: the small always-on-top window in which a task shows the pictures it converts. The
// window is created, painted and destroyed in the main thread; the worker hands it a picture and
// waits for the paint. Closing the window ends the task's previews.
#pragma once

#include <atomic>
#include <cstdint>

union SDL_Event;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace kavro {

class TBitmap;

class TPreviewer {
public:
  TPreviewer() = default;
  TPreviewer(const TPreviewer&) = delete;
  TPreviewer& operator=(const TPreviewer&) = delete;
  ~TPreviewer();

  // Shows the picture with its time stamp (µs, or none) as the caption; False once the user has
  // closed the window.
  bool ShowFrame(TBitmap* bitmap, int frameNumber, int64_t pts);
  // The window, for tests: null before the first picture and after closing.
  SDL_Window* Window() const { return FWindow; }

private:
  void Paint();
  static int WatchEvents(void* previewer, SDL_Event* event);
  void Destroy();

  SDL_Window* FWindow = nullptr;
  SDL_Renderer* FRenderer = nullptr;
  SDL_Texture* FTexture = nullptr;
  std::atomic<bool> FClosed{false};
  TBitmap* FBitmap = nullptr;
  int FFrameNumber = 0;
  int64_t FPts = 0;
};

} // namespace kavro
