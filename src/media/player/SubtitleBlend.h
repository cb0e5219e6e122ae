// Bitmap subtitles over a YUV 4:2:0 picture: the palette of a subtitle rectangle turned from RGBA
// into YUVA once when it is decoded, and the rectangle blended into each picture it covers.
#pragma once

#include <cstdint>

struct AVFrame;
struct AVSubtitleRect;

namespace kavro {

// One RGBA palette entry (as the decoders give it: alpha in the top byte, then red, green, blue)
// as YUVA packed the same way: alpha, Y, U, V.
uint32_t RgbaToYuva(uint32_t rgba);
// Converts every entry of a bitmap rectangle's palette in place.
void ConvertPalette(AVSubtitleRect& rect);
// Blends a bitmap rectangle whose palette is YUVA into the picture; parts outside it are clipped.
void BlendSubtitle(AVFrame* picture, const AVSubtitleRect& rect);

} // namespace kavro
