// The audio output path: conversion of channels, rate and sample format, clock correction, the
// sample fifo and encoding in whole encoder frames.
#include <cmath>
#include <cstdlib>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace kavro {
namespace {

// Appends silence to the fifo.
void WriteSilence(AVAudioFifo* fifo, AVCodecContext* encoder, int samples) {
  uint8_t** silence = nullptr;
  if (av_samples_alloc_array_and_samples(&silence, nullptr, encoder->ch_layout.nb_channels, samples,
                                         encoder->sample_fmt, 0) < 0)
    throw FFmpegException("Out of memory in do_audio_out");
  av_samples_set_silence(silence, 0, samples, encoder->ch_layout.nb_channels, encoder->sample_fmt);
  const int written = av_audio_fifo_write(fifo, reinterpret_cast<void**>(silence), samples);
  av_freep(&silence[0]);
  av_freep(&silence);
  if (written < samples) throw FFmpegException("av_fifo_realloc2() failed");
}

} // namespace

void TCustomFFmpeg::SetUpAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist) {
  AVCodecContext* encoder = ost.Setup->Codec;
  ost.Fifo = av_audio_fifo_alloc(encoder->sample_fmt, std::max(1, encoder->ch_layout.nb_channels), 1024);
  if (!ost.Fifo) throw FFmpegException("av_fifo_alloc fail");
  ost.ResamplingNeeded =
      ist.Stream->codecpar->sample_rate != encoder->sample_rate || FSettings.AudioSyncMethod > 1;
  ost.EncodingNeeded = true;
  ist.DecodingNeeded = true;
}

void TCustomFFmpeg::DoAudioOut(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* samples) {
  AVCodecContext* encoder = ost.Encoder;
  const int decChannels = samples->ch_layout.nb_channels;
  const int decRate = samples->sample_rate;
  const int encRate = encoder->sample_rate;
  if (encoder->ch_layout.nb_channels != decChannels) ost.ResamplingNeeded = true;
  const bool convert = ost.ResamplingNeeded || samples->format != encoder->sample_fmt;
  if (convert && (!ost.Resampler || ost.ResamplerFormat != samples->format || ost.ResamplerRate != decRate ||
                  ost.ResamplerChannels != decChannels)) {
    swr_free(&ost.Resampler);
    swr_alloc_set_opts2(&ost.Resampler, &encoder->ch_layout, encoder->sample_fmt, encRate,
                        &samples->ch_layout, static_cast<AVSampleFormat>(samples->format), decRate, 0,
                        nullptr);
    if (ost.Resampler) {
      av_opt_set_int(ost.Resampler, "filter_size", 16, 0);
      av_opt_set_int(ost.Resampler, "phase_shift", 10, 0);
      av_opt_set_int(ost.Resampler, "linear_interp", 0, 0);
      av_opt_set_double(ost.Resampler, "cutoff", 0.8, 0);
    }
    if (!ost.Resampler || swr_init(ost.Resampler) < 0) {
      swr_free(&ost.Resampler);
      if (ost.ResamplingNeeded)
        throw FFmpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                     decChannels, decRate, encoder->ch_layout.nb_channels, encRate));
      throw FFmpegException(Format("Cannot convert %s sample format to %s sample format",
                                   av_get_sample_fmt_name(static_cast<AVSampleFormat>(samples->format)),
                                   av_get_sample_fmt_name(encoder->sample_fmt)));
    }
    ost.ResamplerFormat = samples->format;
    ost.ResamplerRate = decRate;
    ost.ResamplerChannels = decChannels;
  }

  int skipped = 0; // input samples dropped from the start of this chunk
  const TInputStreamState& sync = *FRun->InputStreams[static_cast<size_t>(ost.SyncIndex)];
  const int64_t queued =
      av_audio_fifo_size(ost.Fifo) + (ost.Resampler ? swr_get_delay(ost.Resampler, encRate) : 0);
  const double inputPosition = static_cast<double>(sync.Pts - FSettings.StartTime) / 1000000.0 * encRate;
  if (FSettings.AudioSyncMethod != 0) {
    const double delta = inputPosition - static_cast<double>(ost.SyncOpts) - static_cast<double>(queued);
    if (std::fabs(delta) > 50) {
      if (ist.IsStart || std::fabs(delta) > FSettings.AudioDriftThreshold * encRate) {
        if (delta < 0) {
          const int drop = static_cast<int>(-delta * decRate / encRate);
          skipped = std::min(drop, samples->nb_samples);
          if (Verbose > 2)
            TFFLogger::Instance().LogFmt(this, llVerbose, "discarding %d audio samples",
                                         static_cast<int>(-delta));
          ist.IsStart = false;
          if (skipped >= samples->nb_samples) return;
        } else {
          WriteSilence(ost.Fifo, encoder, static_cast<int>(delta));
          ist.IsStart = false;
          if (Verbose > 2)
            TFFLogger::Instance().LogFmt(this, llVerbose, "adding %d audio samples of silence",
                                         static_cast<int>(delta));
        }
      } else if (FSettings.AudioSyncMethod >= 2 && ost.Resampler) {
        const int method = FSettings.AudioSyncMethod;
        const int compensation = std::clamp(static_cast<int>(delta), -method, method);
        if (Verbose > 2)
          TFFLogger::Instance().LogFmt(this, llVerbose,
                                       "compensating audio timestamp drift:%f compensation:%d in:%d", delta,
                                       compensation, encRate);
        swr_set_compensation(ost.Resampler, compensation, encRate);
      }
    }
  } else {
    // The input's clock places the samples, but never before those already sent: the encoder and
    // the muxer take only rising time stamps.
    ost.SyncOpts = std::max<int64_t>(ost.SyncOpts, std::llround(inputPosition) - queued);
  }

  const int count = samples->nb_samples - skipped;
  const int bytesPerSample = av_get_bytes_per_sample(static_cast<AVSampleFormat>(samples->format));
  const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(samples->format));
  const uint8_t* input[AV_NUM_DATA_POINTERS] = {};
  const int planes = planar ? decChannels : 1;
  for (int p = 0; p < planes && p < AV_NUM_DATA_POINTERS; ++p)
    input[p] = samples->extended_data[p] +
               static_cast<ptrdiff_t>(skipped) * bytesPerSample * (planar ? 1 : decChannels);
  if (ost.Resampler) {
    const int capacity = swr_get_out_samples(ost.Resampler, count);
    if (capacity > ost.ConvertedCapacity) {
      if (ost.Converted) av_freep(&ost.Converted[0]);
      av_freep(&ost.Converted);
      if (av_samples_alloc_array_and_samples(&ost.Converted, nullptr, encoder->ch_layout.nb_channels,
                                             capacity, encoder->sample_fmt, 0) < 0)
        throw FFmpegException("Out of memory in do_audio_out");
      ost.ConvertedCapacity = capacity;
    }
    const int converted = swr_convert(ost.Resampler, ost.Converted, ost.ConvertedCapacity, input, count);
    if (converted < 0) {
      if (FSettings.ExitOnError) throw FFmpegException("av_audio_convert() failed");
      TFFLogger::Instance().Log(this, llError, "av_audio_convert() failed");
      return;
    }
    if (av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(ost.Converted), converted) < converted)
      throw FFmpegException("av_fifo_realloc2() failed");
  } else if (av_audio_fifo_write(ost.Fifo, reinterpret_cast<void**>(const_cast<uint8_t**>(input)), count) <
             count) {
    throw FFmpegException("av_fifo_realloc2() failed");
  }
  EncodeAudioFrames(ost, false);
}

void TCustomFFmpeg::EncodeAudioFrames(TOutputStreamState& ost, bool flushing) {
  AVCodecContext* encoder = ost.Encoder;
  const bool wholeChunks =
      encoder->frame_size <= 1 || (encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
  for (;;) {
    const int available = av_audio_fifo_size(ost.Fifo);
    int take;
    int frameSamples;
    if (wholeChunks) {
      take = frameSamples = available;
    } else if (available >= encoder->frame_size) {
      take = frameSamples = encoder->frame_size;
    } else if (flushing && available > 0) {
      take = available;
      // A short last frame where the encoder takes one, else one padded with silence.
      frameSamples =
          (encoder->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) ? available : encoder->frame_size;
    } else {
      return;
    }
    if (take <= 0) return;
    AVFrame*& frame = ost.AudioFrame;
    if (!frame || frame->nb_samples != frameSamples) {
      av_frame_free(&frame);
      frame = av_frame_alloc();
      if (!frame) throw FFmpegException("Out of memory in do_audio_out");
      frame->format = encoder->sample_fmt;
      av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
      frame->sample_rate = encoder->sample_rate;
      frame->nb_samples = frameSamples;
      if (av_frame_get_buffer(frame, 0) < 0) throw FFmpegException("Out of memory in do_audio_out");
    }
    if (av_frame_make_writable(frame) < 0) throw FFmpegException("Out of memory in do_audio_out");
    if (av_audio_fifo_read(ost.Fifo, reinterpret_cast<void**>(frame->extended_data), take) < take)
      throw FFmpegException("Audio encoding failed");
    if (take < frameSamples)
      av_samples_set_silence(frame->extended_data, take, frameSamples - take, encoder->ch_layout.nb_channels,
                             encoder->sample_fmt);
    frame->pts = ost.SyncOpts;
    if (avcodec_send_frame(encoder, frame) < 0) throw FFmpegException("Audio encoding failed");
    DrainEncoder(ost);
    ost.SyncOpts += frameSamples;
    if (wholeChunks) return;
  }
}

} // namespace kavro
