// The player's own SDL window, captioned "FFPlayer", with a renderer and a streaming IYUV texture:
// the display surface of the stand-alone player and of the headless tests. Made, used and destroyed
// on the player's event-loop thread; Size may be asked from any thread.
#pragma once

#include <atomic>

#include "player/DisplaySurface.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace kavro {

class TSdlSurface : public TDisplaySurface {
public:
  // A window of that size; Ready() tells whether SDL could make it.
  TSdlSurface(int width, int height);
  ~TSdlSurface() override;

  bool Ready() const { return FRenderer != nullptr; }
  SDL_Window* Window() const { return FWindow; }
  SDL_Renderer* Renderer() const { return FRenderer; }
  // Follows a new window size (a resize event).
  void Resized(int width, int height);

  void Size(int& width, int& height) override;
  void Present(const AVFrame* picture, int x, int y, int width, int height) override;
  void Clear() override;

private:
  SDL_Window* FWindow = nullptr;
  SDL_Renderer* FRenderer = nullptr;
  SDL_Texture* FTexture = nullptr;
  int FTextureWidth = 0;
  int FTextureHeight = 0;
  std::atomic<int> FWidth{0};
  std::atomic<int> FHeight{0};
};

} // namespace kavro
