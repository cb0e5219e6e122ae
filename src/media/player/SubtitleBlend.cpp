#include "player/SubtitleBlend.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace kavro {
namespace {

// BT.601 studio range in 10-bit fixed point.
int Fixed(double coefficient) {
  return static_cast<int>(std::lround(coefficient * 1024));
}

uint8_t Blend(int old, int value, int alpha) {
  return static_cast<uint8_t>((old * (255 - alpha) + value * alpha) / 255);
}

} // namespace

uint32_t RgbaToYuva(uint32_t rgba) {
  const int a = static_cast<int>(rgba >> 24), r = (rgba >> 16) & 255, g = (rgba >> 8) & 255, b = rgba & 255;
  static const int yr = Fixed(0.25678822), yg = Fixed(0.5041294), yb = Fixed(0.09790588);
  static const int ur = Fixed(0.14822651), ug = Fixed(0.2909892), ub = Fixed(0.4392157);
  static const int vr = Fixed(0.4392157), vg = Fixed(0.36779043), vb = Fixed(0.07142525);
  const int y = 16 + ((yr * r + yg * g + yb * b + 512) >> 10);
  const int u = 128 + ((-ur * r - ug * g + ub * b + 512) >> 10);
  const int v = 128 + ((vr * r - vg * g - vb * b + 512) >> 10);
  const auto clip = [](int value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); };
  return static_cast<uint32_t>(a) << 24 | clip(y) << 16 | clip(u) << 8 | clip(v);
}

void ConvertPalette(AVSubtitleRect& rect) {
  if (rect.type != SUBTITLE_BITMAP || !rect.data[1]) return;
  uint32_t* palette = reinterpret_cast<uint32_t*>(rect.data[1]);
  for (int i = 0; i < rect.nb_colors; ++i)
    palette[i] = RgbaToYuva(palette[i]);
}

void BlendSubtitle(AVFrame* picture, const AVSubtitleRect& rect) {
  if (rect.type != SUBTITLE_BITMAP || !rect.data[0] || !rect.data[1]) return;
  const uint32_t* palette = reinterpret_cast<const uint32_t*>(rect.data[1]);
  const int left = std::max(0, rect.x), top = std::max(0, rect.y);
  const int right = std::min(picture->width, rect.x + rect.w),
            bottom = std::min(picture->height, rect.y + rect.h);
  const auto colour = [&](int x, int y) {
    const uint8_t index = rect.data[0][static_cast<ptrdiff_t>(y - rect.y) * rect.linesize[0] + (x - rect.x)];
    return index < rect.nb_colors ? palette[index] : 0u;
  };
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const uint32_t yuva = colour(x, y);
      uint8_t& luma = picture->data[0][static_cast<ptrdiff_t>(y) * picture->linesize[0] + x];
      luma = Blend(luma, (yuva >> 16) & 255, static_cast<int>(yuva >> 24));
    }
  // Each chroma sample takes the average of the pixels of its 2 x 2 block inside the rectangle.
  for (int cy = top / 2; cy < (bottom + 1) / 2; ++cy)
    for (int cx = left / 2; cx < (right + 1) / 2; ++cx) {
      int alpha = 0, u = 0, v = 0, count = 0;
      for (int y = cy * 2; y < cy * 2 + 2; ++y)
        for (int x = cx * 2; x < cx * 2 + 2; ++x) {
          if (x < left || x >= right || y < top || y >= bottom) continue;
          const uint32_t yuva = colour(x, y);
          alpha += static_cast<int>(yuva >> 24);
          u += (yuva >> 8) & 255;
          v += yuva & 255;
          ++count;
        }
      if (count == 0) continue;
      uint8_t& pu = picture->data[1][static_cast<ptrdiff_t>(cy) * picture->linesize[1] + cx];
      uint8_t& pv = picture->data[2][static_cast<ptrdiff_t>(cy) * picture->linesize[2] + cx];
      // Pixels of the block outside the rectangle count as transparent.
      pu = Blend(pu, u / count, alpha / 4);
      pv = Blend(pv, v / count, alpha / 4);
    }
}

} // namespace kavro
