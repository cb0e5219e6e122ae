// The frame hooks of a task: the custom hook and hook modules on decoded pictures, and the preview
// of the pictures given to the encoder. Worker thread.
#include "FFUtils.h"
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

constexpr int64_t PreviewInterval = 100000; // µs between two previews

} // namespace

bool TCustomFFmpeg::HasCustomHook() const {
  return FCustomHookProc != nullptr;
}

bool TCustomFFmpeg::HasHookModules() const {
  return FHookModulesOn && !FHookModules.empty();
}

int TCustomFFmpeg::AddHookModule(const std::vector<std::string>& arguments) {
  const int result = kavro::AddHookModule(FHookModules, arguments);
  if (result == 0) FHookModulesOn = true;
  return result;
}

void TCustomFFmpeg::ProcessHookModules(AVFrame* picture, int64_t pts) {
  kavro::ProcessHookModules(FHookModules, picture, pts);
}

void TCustomFFmpeg::RunCustomHook(AVFrame* picture, int64_t pts) {
  TFFLogger& logger = TFFLogger::Instance();
  bool stopHook = false;
  if (!FHookPicture.FromPicture(picture)) {
    logger.Log(this, llError, "Cannot initialize the toRGB conversion context");
    stopHook = true;
  } else {
    bool update = true;
    try {
      FCustomHookProc(this, &FHookPicture.Bitmap(), FRun ? FRun->FrameCounter : 0, pts, update, stopHook);
    } catch (const std::exception& e) {
      logger.Log(this, llError, std::string("Error occurs OnCustomHook: ") + e.what());
      update = false;
    }
    // A resized bitmap's rows no longer fit the picture: copying them back would run past one or
    // the other.
    const TBitmap& bitmap = FHookPicture.Bitmap();
    if (update && (bitmap.Width() != picture->width || bitmap.Height() != picture->height))
      throw FFmpegException(Format("OnCustomHook changed the picture size from %dx%d to %dx%d",
                                   picture->width, picture->height, bitmap.Width(), bitmap.Height()));
    if (update) {
      // What the hook drew goes into a picture of our own: the one given may be the decoder's.
      AVFrame* drawn =
          FRun ? FRun->HookPictures.Next(picture->format, picture->width, picture->height) : nullptr;
      if (!drawn || !FHookPicture.ToPicture(drawn)) {
        logger.Log(this, llError,
                   drawn ? "Cannot initialize the fromRGB conversion context" : "hook buf malloc error.");
        stopHook = true;
      } else {
        av_frame_copy_props(drawn, picture);
        av_frame_unref(picture);
        if (const int referenced = av_frame_ref(picture, drawn); referenced < 0)
          throw FFmpegException(ErrorText("Cannot pass on the prepared picture", referenced));
      }
    }
  }
  if (stopHook) {
    // No hook of either kind is called again in this run.
    FCustomHookProc = nullptr;
    FHookModulesOn = false;
  }
}

void TCustomFFmpeg::DeliverPreview(AVFrame* picture, AVCodecContext* encoder) {
  std::lock_guard lock(PreviewLock());
  const int before = PreviewFlags;
  int flags = before;
  const int64_t now = av_gettime();
  const int64_t pts = picture->pts == AV_NOPTS_VALUE
                          ? NoTimeValue
                          : av_rescale_q(picture->pts, encoder->time_base, {1, 1000000});
  const int frameNumber = FRun ? FRun->FrameCounter : 0;
  // A picture for the handler wins over the window.
  const int flag = (flags & PreviewBitmapFlag) && FPreviewBitmapProc ? PreviewBitmapFlag
                   : (flags & PreviewWindowFlag)                     ? PreviewWindowFlag
                                                                     : 0;
  if (flag && now - FLastPreviewTime > PreviewInterval) {
    if (!FPreviewPicture.FromPicture(picture)) {
      TFFLogger::Instance().Log(this, llError, "Cannot initialize the toRGB conversion context");
      flags &= ~flag;
    } else if (flag == PreviewBitmapFlag) {
      FPreviewBitmapProc(this, &FPreviewPicture.Bitmap(), frameNumber, pts);
    } else {
      if (!FPreviewer) FPreviewer = std::make_unique<TPreviewer>();
      if (!FPreviewer->ShowFrame(&FPreviewPicture.Bitmap(), frameNumber, pts)) flags &= ~PreviewWindowFlag;
    }
    FLastPreviewTime = now;
  }
  if ((before & PreviewWindowFlag) && !(flags & PreviewWindowFlag)) FPreviewer.reset();
  PreviewFlags = flags;
}

void TCustomFFmpeg::FreePreviewer() {
  FPreviewer.reset();
}

} // namespace kavro
