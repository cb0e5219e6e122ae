// How the player's pictures reach the display surface: the refresh that shows queued pictures on
// time and drops late ones, the aspect rules, the audio views of files without video, the frame
// hook, the position and end reports, and the grab of the current picture.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "FFmpegLogger.h"
#include "player/FFPlayer.h"
#include "player/SdlSurface.h"
#include "player/SubtitleBlend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/time.h>
#include <libavutil/tx.h>
}

namespace kavro {
namespace {

// At most this share of the pictures is skipped before decoding ends: a slow hook still shows some.
constexpr double MaxSkipFactor = 8;
// How far a picture may trail the sound before it counts as late.
constexpr double BehindSound = 0.1;

// Black in the limited range of YUV 4:2:0.
void PaintBlack(AVFrame* picture) {
  for (int y = 0; y < picture->height; ++y)
    std::memset(picture->data[0] + static_cast<ptrdiff_t>(y) * picture->linesize[0], 16, picture->width);
  for (int plane = 1; plane < 3; ++plane)
    for (int y = 0; y < picture->height / 2; ++y)
      std::memset(picture->data[plane] + static_cast<ptrdiff_t>(y) * picture->linesize[plane], 128,
                  picture->width / 2);
}

void SetPixel(AVFrame* picture, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
  const double luma = 16 + 0.25678822 * r + 0.5041294 * g + 0.09790588 * b;
  picture->data[0][static_cast<ptrdiff_t>(y) * picture->linesize[0] + x] = static_cast<uint8_t>(luma);
  if ((x | y) & 1) return;
  const double u = 128 - 0.14822651 * r - 0.2909892 * g + 0.4392157 * b;
  const double v = 128 + 0.4392157 * r - 0.36779043 * g - 0.07142525 * b;
  picture->data[1][static_cast<ptrdiff_t>(y / 2) * picture->linesize[1] + x / 2] = static_cast<uint8_t>(u);
  picture->data[2][static_cast<ptrdiff_t>(y / 2) * picture->linesize[2] + x / 2] = static_cast<uint8_t>(v);
}

void VerticalLine(AVFrame* picture, int x, int y0, int y1) {
  if (y0 > y1) std::swap(y0, y1);
  for (int y = std::max(0, y0); y <= std::min(picture->height - 1, y1); ++y)
    picture->data[0][static_cast<ptrdiff_t>(y) * picture->linesize[0] + x] = 235;
}

} // namespace

TDisplaySurface* TCustomPlayer::Surface() const {
  return FSurface ? FSurface : FOwnSurface.get();
}

void TCustomPlayer::Refresh(TPlayContext* context, bool redraw) {
  if (context->VideoStream) {
    for (;;) {
      std::unique_lock lock(context->PictureLock);
      if (context->PictureCount == 0) {
        lock.unlock();
        if (redraw && FDisplayedSlot >= 0) DisplayPicture(context, FDisplayedSlot);
        break;
      }
      const int index = context->PictureRead;
      const TPictureSlot& slot = context->Pictures[index];
      const double now = WallSeconds();
      // While paused only a picture that is still to be shown (opening, after a seek) appears;
      // pictures flushed by a seek have no target and leave at once.
      const bool flushed = slot.Target == 0;
      if (context->Paused && !redraw && !flushed) {
        if (context->ShowNext.exchange(false)) {
          lock.unlock();
          SetCurrentPicture(context, slot, now);
          DisplayPicture(context, index);
        }
        break;
      }
      if (!redraw && !flushed && now < slot.Target) break;
      SetCurrentPicture(context, slot, now);
      const double next =
          context->PictureCount > 1
              ? std::max(context->Pictures[(index + 1) % PictureQueueSize].Target, slot.Target)
              : slot.Target + (context->VideoClock - slot.Pts);
      bool drop = flushed;
      // Late by the frame timer, or behind the sound it follows (the timer is reset when far
      // behind, so on its own it cannot tell a picture that keeps missing the sound).
      const bool videoIsSlave = (SyncType == 0 && context->AudioStream) || SyncType == 2;
      const bool late = now > next || (videoIsSlave && MasterClock(context) - slot.Pts > BehindSound);
      if (FrameDrop && !redraw && !flushed && late) {
        // Late: the decoder skips a little more, and a picture is dropped only for a newer one that
        // is already waiting, so something is always shown.
        context->SkipFactor = std::min(MaxSkipFactor, context->SkipFactor * 1.1);
        drop = drop || context->PictureCount > 1;
      } else if (!redraw && !flushed && context->SkipFactor > 1) {
        // On time again: the skipping eases off.
        context->SkipFactor = std::max(1.0, context->SkipFactor * 0.95);
      }
      if (drop) {
        context->PictureRead = (index + 1) % PictureQueueSize;
        --context->PictureCount;
        context->PictureChanged.notify_all();
        continue;
      }
      lock.unlock();
      if (context->SubtitleIndex >= 0) RetireSubtitles(context);
      DisplayPicture(context, index);
      if (!redraw) {
        std::lock_guard relock(context->PictureLock);
        context->PictureRead = (index + 1) % PictureQueueSize;
        --context->PictureCount;
        context->PictureChanged.notify_all();
      }
      break;
    }
  } else if (context->AudioStream && context->AudioDisplayMode) {
    DisplayAudio(context);
  }
  UpdatePosition(context);
}

void TCustomPlayer::RetireSubtitles(TPlayContext* context) {
  const double now = context->VideoCurrentPts;
  std::lock_guard lock(context->SubtitleLock); // the subtitle thread fills the queue
  while (context->SubtitleCount > 0) {
    const TSubtitleSlot& current = context->Subtitles[context->SubtitleRead];
    const TSubtitleSlot* next = context->SubtitleCount > 1
                                    ? &context->Subtitles[(context->SubtitleRead + 1) % SubtitleQueueSize]
                                    : nullptr;
    const bool ended = now > current.Pts + current.Subtitle->end_display_time / 1000.0;
    const bool replaced = next && now >= next->Pts + next->Subtitle->start_display_time / 1000.0;
    if (!ended && !replaced) break;
    avsubtitle_free(current.Subtitle);
    context->SubtitleRead = (context->SubtitleRead + 1) % SubtitleQueueSize;
    --context->SubtitleCount;
    context->SubtitleChanged.notify_all();
  }
}

void TCustomPlayer::BlendSubtitles(TPlayContext* context, TPictureSlot& slot) {
  if (slot.Blended || context->SubtitleIndex < 0) return;
  std::lock_guard lock(context->SubtitleLock); // the subtitle thread fills the queue
  // The picture's own time decides, not the clock: a grab may take a picture that is not due yet. It
  // gets the latest subtitle started by then, unless that one has ended.
  const TSubtitleSlot* shown = nullptr;
  for (int i = 0; i < context->SubtitleCount; ++i) {
    const TSubtitleSlot& queued = context->Subtitles[(context->SubtitleRead + i) % SubtitleQueueSize];
    if (slot.Pts < queued.Pts + queued.Subtitle->start_display_time / 1000.0) break;
    shown = &queued;
  }
  if (!shown || slot.Pts > shown->Pts + shown->Subtitle->end_display_time / 1000.0) return;
  for (unsigned i = 0; i < shown->Subtitle->num_rects; ++i)
    BlendSubtitle(slot.Picture, *shown->Subtitle->rects[i]);
  slot.Blended = true;
}

void TCustomPlayer::SetCurrentPicture(TPlayContext* context, const TPictureSlot& slot, double now) {
  context->VideoCurrentPts = slot.Pts;
  context->VideoCurrentPtsDrift = slot.Pts - now;
  context->VideoCurrentPosition = slot.Position;
}

void TCustomPlayer::PictureRectangle(int displayWidth, int displayHeight, int pictureWidth, int pictureHeight,
                                     AVRational sampleAspect, float aspectRatio, int& x, int& y, int& width,
                                     int& height) {
  double aspect;
  if (aspectRatio < 0 && displayWidth > 0 && displayHeight > 0) {
    aspect = static_cast<double>(displayWidth) / displayHeight;
  } else if (aspectRatio > 0) {
    aspect = aspectRatio;
  } else {
    double pixel = sampleAspect.num > 0 && sampleAspect.den > 0 ? av_q2d(sampleAspect) : 1.0;
    if (pixel <= 0) pixel = 1.0;
    aspect = pictureHeight > 0 ? pixel * pictureWidth / pictureHeight : 1.0;
  }
  if (displayWidth <= 0 || displayHeight <= 0) {
    displayWidth = pictureWidth;
    displayHeight = pictureHeight;
  }
  height = displayHeight;
  width = static_cast<int>(std::lround(height * aspect)) & ~1;
  if (width > displayWidth) {
    width = displayWidth;
    height = static_cast<int>(std::lround(width / aspect)) & ~1;
  }
  x = (displayWidth - width) / 2;
  y = (displayHeight - height) / 2;
}

void TCustomPlayer::DisplayPicture(TPlayContext* context, int index) {
  TDisplaySurface* surface = Surface();
  FDisplayedSlot = index;
  if (!surface) return;
  int displayWidth = 0, displayHeight = 0;
  surface->Size(displayWidth, displayHeight);
  context->DisplayWidth = displayWidth;
  context->DisplayHeight = displayHeight;
  std::lock_guard lock(context->PictureLock); // the decode thread writes the slots, CurrentFrame reads them
  TPictureSlot& slot = context->Pictures[index];
  const AVFrame* picture = slot.Picture;
  if (!picture) return;
  BlendSubtitles(context, slot);
  int x, y, width, height;
  PictureRectangle(displayWidth, displayHeight, picture->width, picture->height, picture->sample_aspect_ratio,
                   FAspectRatio, x, y, width, height);
  surface->Present(picture, x, y, width, height);
}

void TCustomPlayer::DisplayAudio(TPlayContext* context) {
  TDisplaySurface* surface = Surface();
  if (!surface) return;
  int width = 0, height = 0;
  surface->Size(width, height);
  width &= ~1;
  height &= ~1;
  if (width < 2 || height < 2) return;
  AVFrame*& view = context->AudioView;
  if (!view || view->width != width || view->height != height) {
    if (!ReusePicture(view, width, height)) return;
    PaintBlack(view);
    context->SpectrumX = 0;
  }
  const int channels = std::max(1, context->AudioChannels);
  const bool spectrum = context->AudioDisplayMode == 2;
  int bits = 1;
  while ((1 << bits) < 2 * height)
    ++bits;
  const int half = 1 << (bits - 1);
  const int samples = spectrum ? 2 * half : width;
  // Where the sound now heard starts in the ring of samples.
  const int64_t sinceCallback = av_gettime_relative() - context->CallbackTime;
  // Frames the device holds that are not heard yet. Before the first callback the time since it
  // is the clock's whole count; the ring bounds the result.
  const int64_t unheard = static_cast<int64_t>(context->AudioBytesPending() / (2 * channels)) -
                          context->AudioRate * sinceCallback / 1000000;
  const int delay = static_cast<int>(
      std::clamp<int64_t>(unheard + 2 * samples, samples, std::max(samples, SampleRingSize / channels)));
  int start =
      ((context->SampleRingIndex - delay * channels) % SampleRingSize + SampleRingSize) % SampleRingSize;
  const auto& ring = context->SampleRing;
  const auto sample = [&](int at) {
    return static_cast<int>(
        ring[((at % SampleRingSize) + SampleRingSize) % SampleRingSize].load(std::memory_order_relaxed));
  };

  if (!spectrum) {
    if (context->Paused) {
      start = context->WaveStart;
    } else {
      // Start where the wave rises through zero, so that a steady tone stands still.
      int best = start, score = INT32_MIN;
      for (int i = 0; i < 1000; i += channels) {
        const int at = start - i;
        const int a = sample(at + 4 * channels), b = sample(at + 5 * channels);
        if ((a ^ b) < 0 && sample(at) - sample(at + 9 * channels) > score) {
          score = sample(at) - sample(at + 9 * channels);
          best = at;
        }
      }
      start = best;
      context->WaveStart = start;
    }
    PaintBlack(view);
    const int band = height / channels;
    for (int channel = 0; channel < channels; ++channel) {
      const int centre = channel * band + band / 2;
      const int scale = band * 9 / 20;
      for (int x = 0, at = start + channel; x < width; ++x, at += channels)
        VerticalLine(view, x, centre, centre - sample(at) * scale / 32768);
      if (channel > 0)
        for (int x = 0; x < width; ++x)
          view->data[0][static_cast<ptrdiff_t>(channel * band) * view->linesize[0] + x] = 235;
    }
  } else {
    if (!context->Spectrum || context->SpectrumBits != bits) {
      av_tx_uninit(&context->Spectrum);
      const float scale = 1.0f;
      if (av_tx_init(&context->Spectrum, &context->SpectrumRun, AV_TX_FLOAT_RDFT, 0, 2 * half, &scale, 0) < 0)
        return;
      context->SpectrumBits = bits;
      context->SpectrumIn.assign(static_cast<size_t>(2 * half), 0.0f);
      context->SpectrumOut.assign(static_cast<size_t>(2 * (half + 1)), 0.0f);
    }
    const int shown = std::min(channels, 2);
    std::vector<float>* magnitudes = context->SpectrumMagnitudes;
    for (int channel = 0; channel < shown; ++channel) {
      for (int i = 0, at = start + channel; i < 2 * half; ++i, at += channels) {
        const double w = static_cast<double>(i - half) / half;
        context->SpectrumIn[i] = static_cast<float>(sample(at) * (1.0 - w * w));
      }
      context->SpectrumRun(context->Spectrum, context->SpectrumOut.data(), context->SpectrumIn.data(),
                           sizeof(float));
      magnitudes[channel].resize(static_cast<size_t>(height));
      for (int k = 0; k < height; ++k) {
        const double re = context->SpectrumOut[2 * k], im = context->SpectrumOut[2 * k + 1];
        magnitudes[channel][k] = static_cast<float>(
            std::min(255.0, std::round(std::sqrt(std::sqrt(re * re + im * im) / std::sqrt(half)))));
      }
    }
    const int x = context->SpectrumX;
    for (int k = 0; k < height; ++k) {
      const int a = static_cast<int>(magnitudes[0][k]);
      const int b = static_cast<int>(magnitudes[shown - 1][k]);
      SetPixel(view, x, height - 1 - k, static_cast<uint8_t>(a), static_cast<uint8_t>(b),
               static_cast<uint8_t>((a + b) / 2));
    }
    if (!context->Paused) context->SpectrumX = (x + 1) % width;
  }
  surface->Present(view, 0, 0, width, height);
}

void TCustomPlayer::RunHook(TPlayContext* context, AVFrame* picture, double pts) {
  if (!Hook || !OnHook || FHandlersOff) return;
  if (av_frame_make_writable(picture) < 0) return;
  if (!FHookPicture.FromPicture(picture)) {
    TFFLogger::Instance().Log(this, llError, "Cannot initialize the toRGB conversion context");
    return;
  }
  TBitmap& bitmap = FHookPicture.Bitmap();
  bool raised = false;
  bitmap.LockCanvas();
  try {
    OnHook(this, &bitmap, std::llround(pts * 1000000) - context->StartTime);
  } catch (const std::exception& e) {
    TFFLogger::Instance().Log(this, llError, std::string("Error occurs OnHook: ") + e.what());
    raised = true;
  } catch (...) {
    TFFLogger::Instance().Log(this, llError, "Error occurs OnHook: unknown exception");
    raised = true;
  }
  bitmap.UnlockCanvas();
  if (raised) return;
  if (!FHookPicture.ToPicture(picture))
    TFFLogger::Instance().Log(this, llError, "Cannot initialize the fromRGB conversion context");
}

void TCustomPlayer::UpdatePosition(TPlayContext* context) {
  if (context->IsImageSequence) return;
  // Until the first picture is on screen the video clock has nothing to follow.
  const bool clockSet = !context->VideoStream || FDisplayedSlot >= 0;
  const double clock = context->VideoStream ? VideoClockNow(context) : AudioClockNow(context);
  int64_t position = clockSet ? static_cast<int64_t>(clock * 1000000) - context->StartTime : 0;
  if (!context->VideoStream && context->AudioDuration >= 0 && position >= context->AudioDuration &&
      position < context->Duration)
    position = context->Duration;
  if (context->Duration > 0 && position > context->Duration) {
    if (FLastReportedPosition != context->Duration) FLastReportedPosition = INT64_MIN;
    position = context->Duration;
  }
  // At the end, once the last picture has been shown, the position is the file's duration.
  bool atEnd = context->EndReached;
  if (atEnd && context->VideoStream) {
    std::lock_guard lock(context->PictureLock); // the decode thread fills the picture queue
    atEnd = context->PictureCount == 0;
  }
  if (atEnd && context->Duration > 0) position = context->Duration;
  position = std::max<int64_t>(0, position);
  FCurrentPTS = position;
  const bool finalPosition = atEnd && !context->EndReported && position != FLastReportedPosition;
  if (FLastReportedPosition == INT64_MIN || std::llabs(position - FLastReportedPosition) > 10000 ||
      finalPosition) {
    FLastReportedPosition = position;
    PostPosition(position);
  }
  // The end is reported once, until a new picture or a seek takes the file away from it.
  const int64_t from = StartTime != NoTimeValue ? StartTime : 0;
  const bool partEnded = PlayDuration != NoTimeValue && position >= from + PlayDuration;
  // One seek back per loop: the clocks stay at the end until the first sound or picture after it.
  const auto playAgain = [&] {
    if (context->Looping) return;
    context->Looping = StoreSeek(context, from + context->StartTime, 0, StartTime != NoTimeValue ? 0 : 4);
  };
  if (context->Looping && !partEnded && !atEnd && position < from + 500000) context->Looping = false;
  if (!context->EndReported && atEnd) {
    context->EndReported = true;
    PostState(psEnd);
    // Looping goes back to the start at the file's end as well as at the end of the chosen part.
    if (EndAction == 2 && !context->Paused) playAgain();
  }
  if (partEnded) {
    if (EndAction == 2)
      playAgain();
    else if (!context->StopRequested)
      PostLoopEvent(leQuit);
  }
}

TBitmap* TCustomPlayer::CurrentFrame(int64_t* pts) {
  TBitmap& bitmap = FGrabPicture.Bitmap();
  std::lock_guard contextLock(FContextLock); // the play thread may be tearing the file down
  TPlayContext* context = FContext;
  if (!context || !context->VideoStream) {
    bitmap.SetSize(0, 0);
    if (pts) *pts = -1;
    return &bitmap;
  }
  std::lock_guard lock(context->PictureLock); // the decode thread writes the slots
  const int index = context->PictureCount > 0 ? context->PictureRead : FDisplayedSlot.load();
  TPictureSlot* slot = index >= 0 ? &context->Pictures[index] : nullptr;
  if (pts) *pts = slot && slot->Picture ? std::llround(slot->Pts * 1000000) - context->StartTime : -1;
  if (!slot || !slot->Picture) {
    bitmap.SetSize(context->VideoWidth, context->VideoHeight);
    for (int y = 0; y < bitmap.Height(); ++y)
      std::memset(bitmap.ScanLine(y), 0, bitmap.RowStride());
    return &bitmap;
  }
  // The next picture due is not on screen yet, and so has no subtitle drawn in it yet.
  BlendSubtitles(context, *slot);
  if (!FGrabPicture.FromPicture(slot->Picture)) bitmap.SetSize(0, 0);
  return &bitmap;
}

} // namespace kavro
