// The part of each input that a run writes: from its start (an input's start time, the output's
// start time, or zero when a negative offset moves an input before the output's beginning) for the
// recording time. Sound and pictures are cut at the same times, so they stay in step.
#include <algorithm>

#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace kavro {
namespace {

const AVRational Microseconds{1, 1000000};

// Moves the frame's sample pointers past its first count samples.
void SkipSamples(AVFrame* frame, int count) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(format);
  const ptrdiff_t step =
      static_cast<ptrdiff_t>(count) * av_get_bytes_per_sample(format) * (planar ? 1 : channels);
  const int planes = planar ? channels : 1;
  for (int p = 0; p < planes; ++p) {
    frame->extended_data[p] += step;
    if (frame->extended_data != frame->data && p < AV_NUM_DATA_POINTERS) frame->data[p] += step;
  }
  frame->nb_samples -= count;
}

} // namespace

int64_t TCustomFFmpeg::WindowStart(int fileIndex) const {
  const int64_t output = FSettings.StartTime != 0 ? FSettings.StartTime : INT64_MIN;
  return std::max(output, FInputFiles[static_cast<size_t>(fileIndex)]->StartCut);
}

int64_t TCustomFFmpeg::WindowEnd(int fileIndex) const {
  if (FSettings.RecordingTime == INT64_MAX) return INT64_MAX;
  // Joined inputs share one recording time, which begins with the first of them.
  const int64_t cut = FInputFiles[FJoinMode ? 0 : static_cast<size_t>(fileIndex)]->StartCut;
  return FSettings.RecordingTime + std::max(FSettings.StartTime, cut);
}

bool TCustomFFmpeg::TrimToWindow(TInputStreamState& ist, AVFrame* samples) {
  // With audio sync the audio path's own correction drops what comes before the start.
  const int64_t start = FSettings.AudioSyncMethod != 0 ? INT64_MIN : WindowStart(ist.FileIndex);
  const int64_t end = WindowEnd(ist.FileIndex);
  const int rate = samples->sample_rate;
  if (rate <= 0 || samples->nb_samples <= 0) return ist.Pts >= start && ist.Pts < end;
  const int64_t length = av_rescale(samples->nb_samples, 1000000, rate);
  if (ist.Pts + length <= start || ist.Pts >= end) return false;
  int keep = samples->nb_samples;
  if (end != INT64_MAX && ist.Pts + length > end)
    keep = static_cast<int>(av_rescale(end - ist.Pts, rate, 1000000));
  if (ist.Pts < start) {
    const int skip = static_cast<int>(std::min<int64_t>(av_rescale(start - ist.Pts, rate, 1000000), keep));
    SkipSamples(samples, skip);
    keep -= skip;
    ist.Pts += av_rescale(skip, 1000000, rate);
  }
  if (keep <= 0) return false;
  samples->nb_samples = std::min(samples->nb_samples, keep);
  return true;
}

void TCustomFFmpeg::CopyInWindow(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* packet) {
  if (ost.CopyStarted) {
    CopyPacket(ost, ist, packet);
    return;
  }
  const int64_t start = WindowStart(ist.FileIndex);
  const int64_t at = packet->pts != AV_NOPTS_VALUE
                         ? av_rescale_q(packet->pts, ist.Stream->time_base, Microseconds)
                         : ist.Pts;
  const bool video = ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO;
  if (at >= start) {
    // The group of pictures that holds the start goes first.
    for (AVPacket*& held : ost.HeldPackets) {
      CopyPacket(ost, ist, held);
      av_packet_free(&held);
    }
    ost.HeldPackets.clear();
    CopyPacket(ost, ist, packet);
    ost.CopyStarted = !video || ost.FrameNumber > 0;
    return;
  }
  if (!video) return;
  // Copied video can begin only at a key frame; keep the last group before the start.
  if (packet->flags & AV_PKT_FLAG_KEY) {
    for (AVPacket*& held : ost.HeldPackets)
      av_packet_free(&held);
    ost.HeldPackets.clear();
  } else if (ost.HeldPackets.empty()) {
    return;
  }
  AVPacket* held = av_packet_clone(packet);
  if (!held) throw FFmpegException("av_mallocz fail");
  if (held->dts == AV_NOPTS_VALUE) held->dts = av_rescale_q(ist.Pts, Microseconds, ist.Stream->time_base);
  ost.HeldPackets.push_back(held);
}

} // namespace kavro
