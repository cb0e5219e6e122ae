// An RGB32 picture (QImage::Format_RGB32, the same bytes as AV_PIX_FMT_RGB32) whose memory only grows:
// a new size reuses the pixels it has when they are enough, so a stream of pictures of one size
// allocates nothing. Its owner guards it; one thread at a time.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace kavro {

class TRgbBuffer {
public:
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Bytes from one row to the next: the allocated width, rounded up to 64 bytes for the scaler.
  int ByteStride() const { return FStride * 4; }
  uint8_t* Bits() { return reinterpret_cast<uint8_t*>(FPixels.data()); }
  uint32_t* Row(int y) { return FPixels.data() + static_cast<size_t>(y) * FStride; }
  const uint32_t* Row(int y) const { return FPixels.data() + static_cast<size_t>(y) * FStride; }
  // The pixels as an image, without a copy; valid until the next Fit. Only for reading: a write
  // through a shared copy would detach it from the buffer.
  const QImage& Image() const { return FImage; }

  // Makes the picture width x height. Pixels inside both the old and the new size keep their values,
  // the others turn black.
  void Fit(int width, int height);
  void FillBlack();
  // Copies the whole of source with its top-left corner at x, y; what falls outside is left out.
  void CopyFrom(const TRgbBuffer& source, int x, int y);

private:
  int Rows() const { return FStride ? static_cast<int>(FPixels.size() / FStride) : 0; }
  int FWidth = 0;
  int FHeight = 0;
  int FStride = 0; // in pixels
  std::vector<uint32_t> FPixels;
  QImage FImage;
};

} // namespace kavro
