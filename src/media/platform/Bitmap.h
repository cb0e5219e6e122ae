// A 24-bit picture in the byte order of a device-independent bitmap: BGR, top row first, each row
// padded to a multiple of 4 bytes. The owner resizes it; whoever draws on it holds the canvas lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kavro {

class TBitmap {
public:
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Bytes per row: width × 3 rounded up to a multiple of 4.
  int RowStride() const { return FRowStride; }
  static int RowStrideFor(int width) { return (width * 3 + 3) & ~3; }

  // Keeps the pixel memory when it is large enough; new pixels are black.
  void SetSize(int width, int height);
  uint8_t* ScanLine(int y) { return FPixels.data() + static_cast<size_t>(y) * FRowStride; }
  const uint8_t* ScanLine(int y) const { return FPixels.data() + static_cast<size_t>(y) * FRowStride; }

  // Held by whoever draws on the bitmap while another thread may read it. Recursive, as a drawing
  // handler may call helpers that lock again.
  void LockCanvas() { FCanvasLock.lock(); }
  void UnlockCanvas() { FCanvasLock.unlock(); }
  // False when another thread holds the canvas.
  bool TryLockCanvas() { return FCanvasLock.try_lock(); }

  // Writes the picture as an uncompressed 24-bit BMP file; False when the file cannot be written.
  bool SaveToFile(const std::string& fileName) const;

private:
  int FWidth = 0;
  int FHeight = 0;
  int FRowStride = 0;
  std::vector<uint8_t> FPixels;
  std::recursive_mutex FCanvasLock;
};

} // namespace kavro
