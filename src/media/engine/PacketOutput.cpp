// Packets on their way out: from an encoder or a copied input stream, through the bitstream
// filters, into the muxer; and subtitles.
#include <mutex>
#include <vector>

#include "FFUtils.h"
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

namespace kavro {
namespace {

constexpr int SubtitleBufferSize = 1048576;

} // namespace

int TCustomFFmpeg::DrainEncoder(TOutputStreamState& ost) {
  AVPacket* packet = FRun->EncodedPacket;
  const bool video = ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO;
  int lastSize = 0;
  for (;;) {
    const int result = avcodec_receive_packet(ost.Encoder, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0) throw FFmpegException(video ? "Video encoding failed" : "Audio encoding failed");
    size_t statsSize = 0;
    if (const uint8_t* stats = av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &statsSize);
        stats && statsSize >= 6) {
      ost.CodedQuality = static_cast<int>(AV_RL32(stats));
      ost.CodedPictureType = av_get_picture_type_char(static_cast<AVPictureType>(stats[4]));
      for (int i = 0; i < 3 && i < stats[5] && 8 + 8 * static_cast<size_t>(i + 1) <= statsSize; ++i)
        ost.CodedError[i] = AV_RL64(stats + 8 + 8 * i);
    }
    av_packet_rescale_ts(packet, ost.Encoder->time_base, ost.Stream->time_base);
    packet->stream_index = ost.Stream->index;
    lastSize = packet->size;
    (video ? FRun->VideoBytes : FRun->AudioBytes) += packet->size;
    if (video && ost.PassLogFile && ost.Encoder->stats_out)
      std::fputs(ost.Encoder->stats_out, ost.PassLogFile);
    WriteOutputPacket(ost, packet);
  }
  return lastSize;
}

void TCustomFFmpeg::WriteOutputPacket(TOutputStreamState& ost, AVPacket* packet) {
  // Runs the packet through the filters from the given one on, then into the muxer.
  const auto writeFrom = [&](auto& self, size_t first, AVPacket* current) -> void {
    if (first < ost.BitstreamFilters.size()) {
      AVBSFContext* filter = ost.BitstreamFilters[first];
      int result = av_bsf_send_packet(filter, current);
      AVPacket* filtered = av_packet_alloc();
      while (result >= 0 && (result = av_bsf_receive_packet(filter, filtered)) >= 0)
        self(self, first + 1, filtered);
      av_packet_free(&filtered);
      if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
        const std::string message =
            ErrorText(Format("%s failed for stream %d, codec %s", filter->filter->name, current->stream_index,
                             ost.Encoder ? ost.Encoder->codec->name : "copy"),
                      result);
        if (FSettings.ExitOnError) throw FFmpegException(message);
        TFFLogger::Instance().Log(this, llError, message);
        self(self, first + 1, current);
      }
      return;
    }
    if (current->pts != AV_NOPTS_VALUE)
      ost.MuxTime = static_cast<double>(current->pts + current->duration) * av_q2d(ost.Stream->time_base);
    const int result = av_interleaved_write_frame(ost.File->Context, current);
    if (result < 0) throw FFmpegException(ErrorText("av_interleaved_write_frame()", result));
    ++ost.PacketsWritten;
  };
  writeFrom(writeFrom, 0, packet);
  av_packet_unref(packet);
}

void TCustomFFmpeg::CopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* packet) {
  const AVRational microseconds{1, 1000000};
  const int64_t startOffset = av_rescale_q(FSettings.StartTime, microseconds, ost.Stream->time_base);
  if (!ost.FrameNumber && !(packet->flags & AV_PKT_FLAG_KEY) && !FSettings.CopyInitialNonKeyframes) return;
  const bool video = ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO;
  if (video) {
    FRun->VideoBytes += packet->size;
    ++ost.SyncOpts;
  } else if (ost.Setup->MediaType == AVMEDIA_TYPE_AUDIO) {
    FRun->AudioBytes += packet->size;
  }
  AVPacket* copy = FRun->EncodedPacket;
  if (av_packet_ref(copy, packet) < 0) throw FFmpegException("av_mallocz fail");
  const AVRational inputBase = ist.Stream->time_base;
  const AVRational outputBase = ost.Stream->time_base;
  copy->pts = packet->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                            : av_rescale_q(packet->pts, inputBase, outputBase) - startOffset;
  copy->dts = (packet->dts == AV_NOPTS_VALUE ? av_rescale_q(ist.Pts, microseconds, outputBase)
                                             : av_rescale_q(packet->dts, inputBase, outputBase)) -
              startOffset;
  copy->duration = av_rescale_q(packet->duration, inputBase, outputBase);
  copy->stream_index = ost.Stream->index;
  WriteOutputPacket(ost, copy);
  ++ost.FrameNumber;
}

void TCustomFFmpeg::EncodeSubtitle(TOutputStreamState& ost, TInputStreamState&, AVSubtitle* subtitle,
                                   int64_t pts) {
  if (pts == AV_NOPTS_VALUE) {
    if (FSettings.ExitOnError) throw FFmpegException("Subtitle packets must have a pts");
    TFFLogger::Instance().Log(this, llError, "Subtitle packets must have a pts");
    return;
  }
  static std::vector<uint8_t> buffer; // one for the process, made on first use
  static std::mutex bufferLock;       // tasks running at once share it
  std::lock_guard lock(bufferLock);
  buffer.resize(SubtitleBufferSize);
  AVCodecContext* encoder = ost.Encoder;
  const bool dvb = encoder->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const int passes = dvb ? 2 : 1;
  const unsigned rects = subtitle->num_rects;
  // The rectangles go back to the subtitle whatever happens, so that freeing it frees them all.
  struct TRestoreRects {
    AVSubtitle* Subtitle;
    unsigned Count;
    ~TRestoreRects() { Subtitle->num_rects = Count; }
  } restore{subtitle, rects};
  for (int pass = 0; pass < passes; ++pass) {
    subtitle->pts = pts + static_cast<int64_t>(subtitle->start_display_time) * 1000;
    subtitle->end_display_time -= subtitle->start_display_time;
    subtitle->start_display_time = 0;
    if (pass == 1) subtitle->num_rects = 0; // the second packet clears the picture
    const int size = avcodec_encode_subtitle(encoder, buffer.data(), SubtitleBufferSize, subtitle);
    if (size < 0) throw FFmpegException("Subtitle encoding failed");
    AVPacket* packet = FRun->EncodedPacket;
    if (av_new_packet(packet, size) < 0) throw FFmpegException("Subtitle encoding failed");
    std::copy(buffer.begin(), buffer.begin() + size, packet->data);
    packet->pts = av_rescale_q(subtitle->pts, AVRational{1, 1000000}, ost.Stream->time_base);
    packet->duration = av_rescale_q(subtitle->end_display_time, AVRational{1, 1000}, ost.Stream->time_base);
    if (dvb) packet->pts += 90 * (pass == 0 ? subtitle->start_display_time : subtitle->end_display_time);
    packet->dts = packet->pts;
    packet->stream_index = ost.Stream->index;
    WriteOutputPacket(ost, packet);
  }
}

} // namespace kavro
