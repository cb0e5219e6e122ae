// Target presets: the settings of VCD, SVCD, DVD and DV outputs for a television norm.
#include <cmath>
#include <utility>

#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kavro {
namespace {

enum TNorm { nmPAL, nmNTSC, nmFILM };
enum TChannelRule { chKeep, chStereo, chMonoToStereo };

// What a target sets. Rates and GOP follow the norm; numeric parameters go through the generic
// setter (the MPEG-2 encoder's scan-offset reservation is one of its private options today).
struct TTargetProfile {
  const char* Type;
  const char* VideoCodec; // null: unchanged
  const char* AudioCodec;
  const char* Format;
  const char* SizePal;
  const char* SizeNtsc;
  bool Gop;
  std::pair<const char*, const char*> Parameters[9];
  int SampleRate;
  TChannelRule Channels;
  float MuxPreload;            // 0: unchanged
  const char* PixelFormatPal;  // null: unchanged
  const char* PixelFormatNtsc; // NTSC and FILM
  const char* Aspect;          // when none is set yet
};

const TTargetProfile Targets[] = {
    {"vcd",
     "mpeg1video",
     "mp2",
     "vcd",
     "352x288",
     "352x240",
     true,
     {{"b", "1150000"},
      {"maxrate", "1150000"},
      {"minrate", "1150000"},
      {"bufsize", "327680"},
      {"ab", "224000"},
      {"packetsize", "2324"},
      {"muxrate", "1411200"}},
     44100,
     chStereo,
     0.44f,
     nullptr,
     nullptr,
     "4:3"},
    {"svcd",
     "mpeg2video",
     "mp2",
     "svcd",
     "480x576",
     "480x480",
     true,
     {{"b", "2040000"},
      {"maxrate", "2516000"},
      {"minrate", "0"},
      {"bufsize", "1835008"},
      {"scan_offset", "1"},
      {"ab", "224000"},
      {"packetsize", "2324"}},
     44100,
     chMonoToStereo,
     0,
     nullptr,
     nullptr,
     "4:3"},
    {"dvd",
     "mpeg2video",
     "ac3",
     "dvd",
     "720x576",
     "720x480",
     true,
     {{"b", "6000000"},
      {"maxrate", "9000000"},
      {"minrate", "0"},
      {"bufsize", "1835008"},
      {"ab", "448000"},
      {"packetsize", "2048"},
      {"muxrate", "10080000"}},
     48000,
     chMonoToStereo,
     0,
     nullptr,
     nullptr,
     "16:9"},
    {"dv",
     nullptr,
     nullptr,
     "dv",
     "720x576",
     "720x480",
     false,
     {},
     48000,
     chStereo,
     0,
     "yuv420p",
     "yuv411p",
     nullptr},
    {"dv50",
     nullptr,
     nullptr,
     "dv",
     "720x576",
     "720x480",
     false,
     {},
     48000,
     chStereo,
     0,
     "yuv422p",
     "yuv422p",
     nullptr},
};

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
    if (FSettings.FrameRate.Den == 0) throw EOptionError("frame_rate is invalid.");
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

  const TTargetProfile* profile = nullptr;
  for (const TTargetProfile& candidate : Targets)
    if (type == candidate.Type) profile = &candidate;
  if (!profile) throw EOptionError("Unknown target type");

  const bool pal = resolved == nmPAL;
  if (profile->VideoCodec) OptCodec("vcodec", profile->VideoCodec);
  if (profile->AudioCodec) OptCodec("acodec", profile->AudioCodec);
  OptFormat("f", profile->Format);
  OptFrameSize("s", pal ? profile->SizePal : profile->SizeNtsc);
  OptFrameRate("r", pal ? "25" : resolved == nmNTSC ? "30000/1001" : "24000/1001");
  if (profile->Gop) SetGenericParameter("g", pal ? "15" : "18");
  for (const auto& [name, value] : profile->Parameters)
    if (name) SetGenericParameter(name, value);
  FSettings.AudioSampleRate = profile->SampleRate;
  if (profile->Channels == chStereo || (profile->Channels == chMonoToStereo && FSettings.AudioChannels == 1))
    FSettings.AudioChannels = 2;
  if (profile->MuxPreload > 0) FSettings.MuxPreload = profile->MuxPreload;
  if (profile->PixelFormatPal)
    OptPixelFormat("pix_fmt", pal ? profile->PixelFormatPal : profile->PixelFormatNtsc);
  if (profile->Aspect && FSettings.FrameAspectRatio == 0) {
    OptAspect("aspect", profile->Aspect);
    TFFLogger::Instance().LogFmt(this, llInfo, "Assuming %s for aspect ratio", profile->Aspect);
  }
}

} // namespace kavro
