#include "RgbBuffer.h"

#include <algorithm>
#include <cstring>

namespace kavro {
namespace {

constexpr uint32_t Black = 0xFF000000u;
constexpr int StrideAlignment = 16; // pixels: 64 bytes

} // namespace

void TRgbBuffer::Fit(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return;
  const int keptWidth = std::min(width, FWidth);
  const int keptHeight = std::min(height, FHeight);
  if (width > FStride || height > Rows()) {
    const int stride = (std::max(width, FStride) + StrideAlignment - 1) / StrideAlignment * StrideAlignment;
    const int rows = std::max(height, Rows());
    std::vector<uint32_t> pixels(static_cast<size_t>(stride) * rows, Black);
    for (int y = 0; y < keptHeight; ++y)
      std::memcpy(pixels.data() + static_cast<size_t>(y) * stride, Row(y), keptWidth * sizeof(uint32_t));
    FPixels.swap(pixels);
    FStride = stride;
  } else {
    // Within the memory we have, the pixels beyond the old size still hold an older picture.
    for (int y = 0; y < keptHeight; ++y)
      std::fill(Row(y) + keptWidth, Row(y) + width, Black);
    for (int y = keptHeight; y < height; ++y)
      std::fill(Row(y), Row(y) + width, Black);
  }
  FWidth = width;
  FHeight = height;
  FImage = width && height ? QImage(Bits(), width, height, ByteStride(), QImage::Format_RGB32) : QImage();
}

void TRgbBuffer::FillBlack() {
  for (int y = 0; y < FHeight; ++y)
    std::fill(Row(y), Row(y) + FWidth, Black);
}

void TRgbBuffer::CopyFrom(const TRgbBuffer& source, int x, int y) {
  const int left = std::max(x, 0);
  const int right = std::min(x + source.Width(), FWidth);
  const int top = std::max(y, 0);
  const int bottom = std::min(y + source.Height(), FHeight);
  if (left >= right || top >= bottom) return;
  for (int row = top; row < bottom; ++row)
    std::memcpy(Row(row) + left, source.Row(row - y) + (left - x), (right - left) * sizeof(uint32_t));
}

} // namespace kavro
