#include "engine/FramePool.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace kavro {

TFramePool::~TFramePool() {
  for (AVFrame*& frame : FFrames)
    av_frame_free(&frame);
}

AVFrame* TFramePool::Next(int format, int width, int height) {
  for (size_t i = 0; i < FFrames.size(); ++i) {
    AVFrame*& frame = FFrames[(FNext + i) % FFrames.size()];
    if (frame->format != format || frame->width != width || frame->height != height) {
      // A new size: this one is of no more use.
      av_frame_free(&frame);
      frame = av_frame_alloc();
      if (!frame) return nullptr;
      frame->format = format;
      frame->width = width;
      frame->height = height;
      if (av_frame_get_buffer(frame, 0) < 0) return nullptr;
    }
    if (av_frame_is_writable(frame)) {
      FNext = (FNext + i + 1) % FFrames.size();
      return frame;
    }
  }
  AVFrame* frame = av_frame_alloc();
  if (!frame) return nullptr;
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame, 0) < 0) {
    av_frame_free(&frame);
    return nullptr;
  }
  FFrames.push_back(frame);
  FNext = 0;
  return frame;
}

} // namespace kavro
