#include "Bitmap.h"

#include <cstdio>
#include <memory>

namespace kavro {
namespace {

void PutLE(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

void TBitmap::SetSize(int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (width == FWidth && height == FHeight) return;
  FWidth = width;
  FHeight = height;
  FRowStride = RowStrideFor(width);
  FPixels.assign(static_cast<size_t>(FRowStride) * static_cast<size_t>(height), 0);
}

bool TBitmap::SaveToFile(const std::string& fileName) const {
  constexpr uint32_t HeaderSize = 14 + 40;
  const uint32_t imageSize = static_cast<uint32_t>(FPixels.size());
  uint8_t header[HeaderSize] = {'B', 'M'};
  PutLE(header + 2, HeaderSize + imageSize, 4);
  PutLE(header + 10, HeaderSize, 4);
  PutLE(header + 14, 40, 4);
  PutLE(header + 18, static_cast<uint32_t>(FWidth), 4);
  PutLE(header + 22, static_cast<uint32_t>(-FHeight), 4); // negative height: top row first
  PutLE(header + 26, 1, 2);
  PutLE(header + 28, 24, 2);
  PutLE(header + 34, imageSize, 4);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "wb"), std::fclose);
  if (!file) return false;
  bool ok = std::fwrite(header, 1, HeaderSize, file.get()) == HeaderSize &&
            std::fwrite(FPixels.data(), 1, FPixels.size(), file.get()) == FPixels.size();
  ok = std::fclose(file.release()) == 0 && ok;
  return ok;
}

} // namespace kavro
