// The steps a row's drawing takes on every 720p picture, one by one: the picture's round trip through
// the 24-bit bitmap, the colour effects, exposure, both together, the image blend in either style and
// the text.
// Usage: kavro-bench-watermark-steps [Google Benchmark options]
#include <benchmark/benchmark.h>

#include "BitmapPicture.h"
#include "QtDrawTools.h"
#include "WatermarkRenderer.h"

extern "C" {
#include <libavutil/frame.h>
}

using namespace kavro;

namespace {

constexpr int Width = 1280;
constexpr int Height = 720;

void FillFrame(TBitmap& frame, int width, int height) {
  frame.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = frame.ScanLine(y) + x * 3;
      pixel[0] = static_cast<uint8_t>(x * 7 + y * 3);
      pixel[1] = static_cast<uint8_t>(x * 3 + y * 11 + 40);
      pixel[2] = static_cast<uint8_t>(255 - x * 5 - y);
    }
}

void Effects(benchmark::State& state, TEffectValues values) {
  TBitmap frame;
  FillFrame(frame, Width, Height);
  TEffectTables tables;
  tables.Prepare(values);
  for (auto _ : state) {
    tables.Apply(frame);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(Effects, colour, TEffectValues{300, 20, 320, 0})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Effects, exposure, TEffectValues{255, 0, 255, 40})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Effects, colour_and_exposure, TEffectValues{300, 20, 320, 40})
    ->Unit(benchmark::kMillisecond);

void Blend(benchmark::State& state, int style) {
  TBitmap frame, image;
  FillFrame(frame, Width, Height);
  FillFrame(image, 320, 120);
  for (auto _ : state) {
    BlendImage(frame, image, 900, 560, 168, style);
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(Blend, alpha, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Blend, multiply, 2)->Unit(benchmark::kMicrosecond);

void Text(benchmark::State& state) {
  static TQtDrawTools draw;
  TBitmap frame;
  FillFrame(frame, Width, Height);
  TMarkFont font;
  font.Name = "DejaVu Sans";
  font.Size = 28;
  font.Bold = true;
  font.Color = 0x00FFFF;
  for (auto _ : state) {
    draw.Tools().Text->DrawText(frame, "Kavro Video Converter", font, 40, 40);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(Text)->Unit(benchmark::kMicrosecond);

void RoundTrip(benchmark::State& state) {
  AVFrame* picture = av_frame_alloc();
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = Width;
  picture->height = Height;
  if (av_frame_get_buffer(picture, 0) < 0) {
    state.SkipWithError("no picture");
    return;
  }
  for (int plane = 0; plane < 3; ++plane)
    for (int y = 0; y < (plane ? Height / 2 : Height); ++y)
      for (int x = 0; x < (plane ? Width / 2 : Width); ++x)
        picture->data[plane][y * picture->linesize[plane] + x] =
            static_cast<uint8_t>(plane ? 100 + x % 50 : x + y);
  TBitmapPicture bitmap;
  for (auto _ : state) {
    if (!bitmap.FromPicture(picture) || !bitmap.ToPicture(picture)) state.SkipWithError("no scaler");
    benchmark::ClobberMemory();
  }
  av_frame_free(&picture);
}
BENCHMARK(RoundTrip)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
