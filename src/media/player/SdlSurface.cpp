#include "player/SdlSurface.h"

#include <SDL2/SDL.h>

extern "C" {
#include <libavutil/frame.h>
}

namespace kavro {

TSdlSurface::TSdlSurface(int width, int height) : FWidth(width), FHeight(height) {
  FWindow = SDL_CreateWindow("FFPlayer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                             SDL_WINDOW_RESIZABLE);
  if (!FWindow) return;
  FRenderer = SDL_CreateRenderer(FWindow, -1, 0);
  if (!FRenderer) return;
  SDL_SetRenderDrawColor(FRenderer, 0, 0, 0, 255);
  Clear();
}

TSdlSurface::~TSdlSurface() {
  if (FTexture) SDL_DestroyTexture(FTexture);
  if (FRenderer) SDL_DestroyRenderer(FRenderer);
  if (FWindow) SDL_DestroyWindow(FWindow);
}

void TSdlSurface::Resized(int width, int height) {
  FWidth = width;
  FHeight = height;
}

void TSdlSurface::Size(int& width, int& height) {
  width = FWidth;
  height = FHeight;
}

void TSdlSurface::Present(const AVFrame* picture, int x, int y, int width, int height) {
  if (!FRenderer) return;
  if (!FTexture || FTextureWidth != picture->width || FTextureHeight != picture->height) {
    if (FTexture) SDL_DestroyTexture(FTexture);
    FTexture = SDL_CreateTexture(FRenderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, picture->width,
                                 picture->height);
    if (!FTexture) return;
    FTextureWidth = picture->width;
    FTextureHeight = picture->height;
  }
  SDL_UpdateYUVTexture(FTexture, nullptr, picture->data[0], picture->linesize[0], picture->data[1],
                       picture->linesize[1], picture->data[2], picture->linesize[2]);
  // SDL keeps no picture between presents: the bars are painted black again each time.
  const SDL_Rect area{x, y, width, height};
  SDL_RenderClear(FRenderer);
  SDL_RenderCopy(FRenderer, FTexture, nullptr, &area);
  SDL_RenderPresent(FRenderer);
}

void TSdlSurface::Clear() {
  if (!FRenderer) return;
  SDL_RenderClear(FRenderer);
  SDL_RenderPresent(FRenderer);
}

} // namespace kavro
