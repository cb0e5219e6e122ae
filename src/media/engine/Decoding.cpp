// Decoding one input packet and handing what it gives to the output streams it feeds.
#include <chrono>
#include <thread>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

const AVRational Microseconds{1, 1000000};

template <class TSample>
void ScaleSamples(TSample* samples, size_t count, int volume, double low, double high) {
  for (size_t i = 0; i < count; ++i) {
    const double scaled = (static_cast<double>(samples[i]) * volume + 128) / 256;
    samples[i] = static_cast<TSample>(scaled < low ? low : scaled > high ? high : scaled);
  }
}

// The volume step: every sample times volume / 256, clipped to its format's range.
void ApplyVolume(AVFrame* frame, int volume) {
  if (av_frame_make_writable(frame) < 0) return;
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const bool planar = av_sample_fmt_is_planar(format);
  const int planes = planar ? frame->ch_layout.nb_channels : 1;
  const size_t count = static_cast<size_t>(frame->nb_samples) * (planar ? 1 : frame->ch_layout.nb_channels);
  for (int p = 0; p < planes; ++p) {
    uint8_t* data = frame->extended_data[p];
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_S16: {
      auto* samples = reinterpret_cast<int16_t*>(data);
      for (size_t i = 0; i < count; ++i) {
        const int value = (samples[i] * volume + 128) >> 8;
        samples[i] = static_cast<int16_t>(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
      }
      break;
    }
    case AV_SAMPLE_FMT_S32:
      ScaleSamples(reinterpret_cast<int32_t*>(data), count, volume, INT32_MIN, INT32_MAX);
      break;
    case AV_SAMPLE_FMT_FLT:
      for (size_t i = 0; i < count; ++i) {
        float& sample = reinterpret_cast<float*>(data)[i];
        sample = std::clamp(sample * volume / 256.0f, -1.0f, 1.0f);
      }
      break;
    case AV_SAMPLE_FMT_DBL:
      for (size_t i = 0; i < count; ++i) {
        double& sample = reinterpret_cast<double*>(data)[i];
        sample = std::clamp(sample * volume / 256.0, -1.0, 1.0);
      }
      break;
    case AV_SAMPLE_FMT_U8:
      for (size_t i = 0; i < count; ++i) {
        const int value = (((data[i] - 128) * volume + 128) >> 8) + 128;
        data[i] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
      }
      break;
    default:
      break;
    }
  }
}

} // namespace

void TCustomFFmpeg::DispatchDecoded(TInputStreamState& ist, AVFrame* frame, AVSubtitle* subtitle) {
  TRunState& run = *FRun;
  const int type = ist.Stream->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_VIDEO) {
    ist.Quality = static_cast<float>(frame->quality);
    PrepareDecodedPicture(ist, frame);
    if (ist.Graph && av_buffersrc_add_frame_flags(ist.GraphInput, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
      throw FFmpegException("Error while filtering the picture");
  } else if (type == AVMEDIA_TYPE_AUDIO) {
    if (!TrimToWindow(ist, frame)) return;
    if (FSettings.AudioVolume != 256) ApplyVolume(frame, FSettings.AudioVolume);
  }
  if (FSettings.ReadAtNativeRate) {
    const int64_t ahead = ist.Pts - (av_gettime() - ist.StartTime);
    if (ahead > 1000) std::this_thread::sleep_for(std::chrono::milliseconds(ahead / 1000));
  }
  // Sound was cut to the window above.
  if (type != AVMEDIA_TYPE_AUDIO &&
      (ist.Pts < WindowStart(ist.FileIndex) || ist.Pts >= WindowEnd(ist.FileIndex))) {
    if (ist.Graph) // keep the graph empty
      while (av_buffersink_get_frame(ist.GraphOutput, run.Filtered) >= 0)
        av_frame_unref(run.Filtered);
    return;
  }
  const auto feedOutputs = [&](AVFrame* picture) {
    for (auto& ostPointer : run.OutputStreams) {
      TOutputStreamState& ost = *ostPointer;
      if (run.InputStreams[static_cast<size_t>(ost.SourceIndex)].get() != &ist || !ost.EncodingNeeded)
        continue;
      if (FJoinMode && ost.FileIndex != ist.FileIndex) continue;
      if (type == AVMEDIA_TYPE_AUDIO) {
        DoAudioOut(ost, ist, picture);
      } else if (type == AVMEDIA_TYPE_VIDEO) {
        if (ist.Graph && picture->sample_aspect_ratio.num)
          ost.Encoder->sample_aspect_ratio = picture->sample_aspect_ratio;
        const int size = EncodeVideoPicture(ost, ist, picture);
        if (!FSettings.VStatsFileName.empty() && size > 0) WriteVideoStatsLine(ost, size);
      } else if (type == AVMEDIA_TYPE_SUBTITLE) {
        EncodeSubtitle(ost, ist, subtitle, ist.Pts);
      } else {
        throw FFmpegException("invalid codec_type");
      }
    }
  };
  if (!ist.Graph) {
    feedOutputs(frame);
    return;
  }
  while (av_buffersink_get_frame(ist.GraphOutput, run.Filtered) >= 0) {
    if (run.Filtered->pts != AV_NOPTS_VALUE)
      ist.Pts = av_rescale_q(run.Filtered->pts, av_buffersink_get_time_base(ist.GraphOutput), Microseconds);
    feedOutputs(run.Filtered);
    av_frame_unref(run.Filtered);
  }
}

int TCustomFFmpeg::ProcessInputPacket(int inputStream, const AVPacket* packet) {
  TRunState& run = *FRun;
  TInputStreamState& ist = *run.InputStreams[static_cast<size_t>(inputStream)];
  const AVRational timeBase = ist.Stream->time_base;
  const AVCodecParameters* parameters = ist.Stream->codecpar;
  if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
  if (packet && packet->dts != AV_NOPTS_VALUE)
    ist.NextPts = ist.Pts = av_rescale_q(packet->dts, timeBase, Microseconds);

  if (ist.DecodingNeeded) {
    if (parameters->codec_type == AVMEDIA_TYPE_SUBTITLE) {
      AVSubtitle subtitle{};
      int got = 0;
      AVPacket* flush = packet ? nullptr : av_packet_alloc();
      const int result = avcodec_decode_subtitle2(ist.Decoder, &subtitle, &got,
                                                  const_cast<AVPacket*>(packet ? packet : flush));
      av_packet_free(&flush);
      if (result < 0) return -1;
      if (got) {
        struct TFreeSubtitle {
          AVSubtitle* Subtitle;
          ~TFreeSubtitle() { avsubtitle_free(Subtitle); }
        } freeSubtitle{&subtitle};
        DispatchDecoded(ist, nullptr, &subtitle);
      }
    } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO || parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
      const int sent = avcodec_send_packet(ist.Decoder, packet);
      if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) return -1;
      AVFrame* frame = run.Decoded;
      for (;;) {
        const int received = avcodec_receive_frame(ist.Decoder, frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
        if (received < 0) return -1;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
          ist.Pts = av_rescale_q(frame->best_effort_timestamp, timeBase, Microseconds);
        else
          ist.Pts = ist.NextPts;
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && frame->sample_rate > 0) {
          ist.NextPts = ist.Pts + av_rescale(frame->nb_samples, 1000000, frame->sample_rate);
        } else {
          const int64_t duration = frame->pkt_duration > 0
                                       ? av_rescale_q(frame->pkt_duration, timeBase, Microseconds)
                                   : ist.Stream->avg_frame_rate.num
                                       ? av_rescale_q(1, av_inv_q(ist.Stream->avg_frame_rate), Microseconds)
                                       : 0;
          ist.NextPts = ist.Pts + duration;
        }
        DispatchDecoded(ist, frame, nullptr);
        av_frame_unref(frame);
      }
    } else {
      return -1;
    }
  } else if (packet) {
    // Without decoding the clock moves by what the packet holds.
    ist.Pts = ist.NextPts;
    if (packet->duration > 0)
      ist.NextPts += av_rescale_q(packet->duration, timeBase, Microseconds);
    else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && parameters->frame_size &&
             parameters->sample_rate)
      ist.NextPts += av_rescale(parameters->frame_size, 1000000, parameters->sample_rate);
    else if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && ist.Stream->avg_frame_rate.num)
      ist.NextPts += av_rescale_q(1, av_inv_q(ist.Stream->avg_frame_rate), Microseconds);
  }
  if (packet)
    for (auto& ost : run.OutputStreams)
      if (run.InputStreams[static_cast<size_t>(ost->SourceIndex)].get() == &ist && ost->Setup->StreamCopy &&
          (!FJoinMode || ost->FileIndex == ist.FileIndex))
        CopyInWindow(*ost, ist, packet);
  return 0;
}

void TCustomFFmpeg::FlushEncoders(TInputStreamState& ist) {
  TRunState& run = *FRun;
  for (auto& ostPointer : run.OutputStreams) {
    TOutputStreamState& ost = *ostPointer;
    if (run.InputStreams[static_cast<size_t>(ost.SourceIndex)].get() != &ist || !ost.EncodingNeeded ||
        !ost.Encoder)
      continue;
    if (FJoinMode && ost.FileIndex != ist.FileIndex) continue;
    if (ost.Setup->MediaType == AVMEDIA_TYPE_AUDIO) {
      EncodeAudioFrames(ost, true);
    } else if (ost.Setup->MediaType != AVMEDIA_TYPE_VIDEO) {
      continue;
    }
    const int sent = avcodec_send_frame(ost.Encoder, nullptr);
    if (sent < 0 && sent != AVERROR_EOF)
      throw FFmpegException(ost.Setup->MediaType == AVMEDIA_TYPE_AUDIO ? "Audio encoding failed"
                                                                       : "Video encoding failed");
    DrainEncoder(ost);
  }
}

} // namespace kavro
