// Target presets: the settings of VCD, SVCD, DVD and DV outputs for a television norm.
#include <cmath>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kavro {
namespace {

enum TNorm { nmPAL, nmNTSC, nmFILM };

// PAL or NTSC from a rate in thousandths of a frame per second; -1 when it decides nothing.
int NormOfRate(long long milliFps) {
  if (milliFps == 25000) return nmPAL;
  if (milliFps == 29970 || milliFps == 23976) return nmNTSC;
  return -1;
}

long long MilliFps(int num, int den) {
  return std::llround(num * 1000.0 / den);
}

} // namespace

void TCustomFFmpeg::SetTarget(const std::string& type, const std::string& norm,
                              const std::string& fallbackNorm) {
  TNorm resolved;
  if (norm == "pal") {
    resolved = nmPAL;
  } else if (norm == "ntsc") {
    resolved = nmNTSC;
  } else if (norm == "film") {
    resolved = nmFILM;
  } else {
    if (FSettings.FrameRate.Den == 0) throw FFmpegException("frame_rate is invalid.");
    int decided = NormOfRate(MilliFps(FSettings.FrameRate.Num, FSettings.FrameRate.Den));
    for (int i = 0; decided < 0 && i < InputFileCount(); ++i) {
      const AVFormatContext* input = InputFormatContext(i);
      for (unsigned s = 0; input && decided < 0 && s < input->nb_streams; ++s) {
        const AVStream* stream = input->streams[s];
        const AVRational rate = stream->r_frame_rate.den ? stream->r_frame_rate : stream->avg_frame_rate;
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && rate.num > 0 && rate.den > 0)
          decided = NormOfRate(MilliFps(rate.num, rate.den));
      }
    }
    resolved = decided >= 0             ? static_cast<TNorm>(decided)
               : fallbackNorm == "film" ? nmFILM
               : fallbackNorm == "ntsc" ? nmNTSC
                                        : nmPAL;
    if (Verbose > 0)
      TFFLogger::Instance().LogFmt(this, llVerbose, "Assuming %s for target.",
                                   resolved == nmPAL ? "PAL" : "NTSC");
  }

  const bool pal = resolved == nmPAL;
  const char* rate = pal ? "25" : resolved == nmNTSC ? "30000/1001" : "24000/1001";
  const char* gop = pal ? "15" : "18";
  const auto assumeAspect = [this](const char* aspect) {
    if (FSettings.FrameAspectRatio != 0) return;
    OptAspect("aspect", aspect);
    TFFLogger::Instance().LogFmt(this, llInfo, "Assuming %s for aspect ratio", aspect);
  };

  if (type == "vcd") {
    OptVideoCodec("vcodec", "mpeg1video");
    OptAudioCodec("acodec", "mp2");
    OptFormat("f", "vcd");
    OptFrameSize("s", pal ? "352x288" : "352x240");
    OptFrameRate("r", rate);
    SetGenericParameter("g", gop);
    SetGenericParameter("b", "1150000");
    SetGenericParameter("maxrate", "1150000");
    SetGenericParameter("minrate", "1150000");
    SetGenericParameter("bufsize", "327680");
    SetGenericParameter("ab", "224000");
    FSettings.AudioSampleRate = 44100;
    FSettings.AudioChannels = 2;
    SetGenericParameter("packetsize", "2324");
    SetGenericParameter("muxrate", "1411200");
    FSettings.MuxPreload = 0.44f;
    assumeAspect("4:3");
  } else if (type == "svcd") {
    OptVideoCodec("vcodec", "mpeg2video");
    OptAudioCodec("acodec", "mp2");
    OptFormat("f", "svcd");
    OptFrameSize("s", pal ? "480x576" : "480x480");
    OptFrameRate("r", rate);
    SetGenericParameter("g", gop);
    SetGenericParameter("b", "2040000");
    SetGenericParameter("maxrate", "2516000");
    SetGenericParameter("minrate", "0");
    SetGenericParameter("bufsize", "1835008");
    // The scan-offset reservation is a private option of the MPEG-2 encoder today.
    SetGenericParameter("scan_offset", "1");
    SetGenericParameter("ab", "224000");
    FSettings.AudioSampleRate = 44100;
    if (FSettings.AudioChannels == 1) FSettings.AudioChannels = 2;
    SetGenericParameter("packetsize", "2324");
    assumeAspect("4:3");
  } else if (type == "dvd") {
    OptVideoCodec("vcodec", "mpeg2video");
    OptAudioCodec("acodec", "ac3");
    OptFormat("f", "dvd");
    OptFrameSize("s", pal ? "720x576" : "720x480");
    OptFrameRate("r", rate);
    SetGenericParameter("g", gop);
    SetGenericParameter("b", "6000000");
    SetGenericParameter("maxrate", "9000000");
    SetGenericParameter("minrate", "0");
    SetGenericParameter("bufsize", "1835008");
    SetGenericParameter("ab", "448000");
    FSettings.AudioSampleRate = 48000;
    if (FSettings.AudioChannels == 1) FSettings.AudioChannels = 2;
    SetGenericParameter("packetsize", "2048");
    SetGenericParameter("muxrate", "10080000");
    assumeAspect("16:9");
  } else if (type == "dv" || type == "dv50") {
    OptFormat("f", "dv");
    OptFrameSize("s", pal ? "720x576" : "720x480");
    OptFrameRate("r", rate);
    FSettings.AudioSampleRate = 48000;
    FSettings.AudioChannels = 2;
    OptPixelFormat("pix_fmt", type == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
  } else {
    throw FFmpegException("Unknown target type");
  }
}

} // namespace kavro
