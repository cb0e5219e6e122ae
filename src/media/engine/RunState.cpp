#include "engine/RunState.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kavro {

TInputStreamState::~TInputStreamState() {
  avfilter_graph_free(&Graph);
}

TOutputStreamState::~TOutputStreamState() {
  av_frame_free(&Cropped);
  sws_freeContext(Scaler);
  swr_free(&Resampler);
  if (Fifo) av_audio_fifo_free(Fifo);
  av_frame_free(&AudioFrame);
  if (Converted) av_freep(&Converted[0]);
  av_freep(&Converted);
  for (AVBSFContext*& filter : BitstreamFilters)
    av_bsf_free(&filter);
  for (AVPacket*& packet : FilteredPackets)
    av_packet_free(&packet);
  if (PassLogFile) std::fclose(PassLogFile);
  for (AVPacket*& packet : HeldPackets)
    av_packet_free(&packet);
}

TRunState::TRunState()
    : Packet(av_packet_alloc()), EncodedPacket(av_packet_alloc()), Decoded(av_frame_alloc()),
      Filtered(av_frame_alloc()) {}

TRunState::~TRunState() {
  av_packet_free(&Packet);
  av_packet_free(&EncodedPacket);
  av_frame_free(&Decoded);
  av_frame_free(&Filtered);
  if (VStatsFile) std::fclose(VStatsFile);
}

} // namespace kavro
