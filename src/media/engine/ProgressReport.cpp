// The progress report of a run and its final statistics.
#include <atomic>
#include <cmath>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

// The quantizer histogram of the process (option qphist), shared by all tasks.
std::atomic<int> QuantizerHistogram[52];

} // namespace

void TCustomFFmpeg::BuildProgressReport(bool isLast, int fileIndex) {
  TRunState& run = *FRun;
  AVIOContext* io = FOutputFiles.empty() ? nullptr : FOutputFiles[0]->Context->pb;
  int64_t size = 0;
  if (io) {
    size = avio_size(io);
    if (size < 0) size = avio_tell(io);
  }
  std::string line;
  double outputTime = 1e10;
  int frameNumber = -1;
  int fps = -1;
  float quality = -1.0f;
  bool videoSeen = false;
  for (const auto& ostPointer : run.OutputStreams) {
    const TOutputStreamState& ost = *ostPointer;
    const bool video = ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO;
    const float coded = ost.Encoder ? static_cast<float>(ost.CodedQuality) / FF_QP2LAMBDA : -1.0f;
    if (videoSeen && video) line += Format("q=%2.1f ", ost.Encoder ? coded : -1.0);
    if (!videoSeen && video && ost.ReportFlag) {
      const float t = static_cast<float>(av_gettime() - run.TimerStart) / 1000000.0f;
      frameNumber = ost.FrameNumber;
      if (frameNumber < 1) return;
      fps = t > 1 ? static_cast<int>(frameNumber / t + 0.5f) : 0;
      quality = ost.Encoder ? coded : -1.0f;
      line += Format("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, quality);
      if (isLast) line += "L";
      if (FSettings.QpHistogram) {
        const long quantizer = std::lround(quality);
        if (quantizer >= 0 && quantizer < 52) ++QuantizerHistogram[quantizer];
        for (int i = 0; i < 32; ++i)
          line += Format("%X", static_cast<int>(std::lround(std::log2(QuantizerHistogram[i].load() + 1))));
      }
      if (ost.Encoder && (ost.Encoder->flags & AV_CODEC_FLAG_PSNR)) {
        const double scale = static_cast<double>(ost.Encoder->width) * ost.Encoder->height * 255.0 * 255.0 *
                             (isLast ? std::max(1, frameNumber) : 1);
        double errorSum = 0;
        double scaleSum = 0;
        line += "PSNR=";
        for (int plane = 0; plane < 3; ++plane) {
          const double error =
              static_cast<double>(isLast ? ost.Encoder->error[plane] : ost.CodedError[plane]);
          const double planeScale = plane ? scale / 4 : scale;
          errorSum += error;
          scaleSum += planeScale;
          line += Format("%c:%2.2f ", "YUV"[plane], -10.0 * std::log10(error / planeScale));
        }
        line += Format("*:%2.2f ", -10.0 * std::log10(errorSum / scaleSum));
      }
      videoSeen = true;
    }
    // The streams of a joined input that has ended no longer tell where the output is.
    if (FJoinMode && !ost.ReportFlag) continue;
    const double streamTime = ost.MuxTime;
    if (streamTime > 0 && streamTime < outputTime) outputTime = streamTime;
  }
  if (outputTime < 0.01) outputTime = 0.01;
  TFFLogger& logger = TFFLogger::Instance();
  if (FProgressProc || Verbose > 0 || isLast) {
    const double bitRate = static_cast<double>(size) * 8 / outputTime / 1000;
    line += Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", size / 1024.0, outputTime, bitRate);
    if (run.DuplicatedFrames || run.DroppedFrames) {
      line += Format(" dup=%d drop=%d", run.DuplicatedFrames, run.DroppedFrames);
      if (run.ChangedSinceReport && Verbose >= 0 && FProgressProc) {
        run.ChangedSinceReport = false;
        logger.Log(this, llVerbose, line);
      }
    }
    if (FProgressProc)
      FProgressProc(this, fileIndex, frameNumber, fps, quality, static_cast<float>(bitRate), size,
                    static_cast<int64_t>(outputTime * 1000000.0), ExpectedDuration());
    else if (Verbose >= 0)
      logger.Log(this, llVerbose, line);
  }
  if (isLast && Verbose >= 0) {
    const double raw = static_cast<double>(run.VideoBytes + run.AudioBytes + run.GlobalHeaderBytes);
    // Nothing encoded gives no overhead figure rather than a division by zero.
    const double overhead = raw > 0 ? 100.0 * (static_cast<double>(size) - raw) / raw : 0.0;
    logger.LogFmt(this, llVerbose,
                  "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                  run.VideoBytes / 1024.0, run.AudioBytes / 1024.0, run.GlobalHeaderBytes / 1024.0, overhead);
  }
}

} // namespace kavro
