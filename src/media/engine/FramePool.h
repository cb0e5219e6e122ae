// Pictures for the encoder that are reused once the encoder lets go of them. An encoder may keep a
// reference to a picture it was given (for B-frames or look-ahead), so writing the next picture into
// the same memory would change one it has not coded yet; the pool hands out one that is free and
// grows only while the encoder holds more than it has. Worker thread only.
#pragma once

#include <cstddef>
#include <vector>

struct AVFrame;

namespace kavro {

class TFramePool {
public:
  TFramePool() = default;
  TFramePool(const TFramePool&) = delete;
  TFramePool& operator=(const TFramePool&) = delete;
  ~TFramePool();

  // A writable picture of that format and size; null when memory runs out.
  AVFrame* Next(int format, int width, int height);

private:
  std::vector<AVFrame*> FFrames;
  size_t FNext = 0;
};

} // namespace kavro
