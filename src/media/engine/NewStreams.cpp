// New output streams made from the pending settings, and the settings they consume.
#include <cmath>
#include <sstream>
#include <utility>

#include "engine/CodecLookup.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/dv_profile.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

namespace kavro {
namespace {

TParameterTarget TargetOf(int mediaType) {
  return mediaType == AVMEDIA_TYPE_VIDEO ? ptVideo : mediaType == AVMEDIA_TYPE_AUDIO ? ptAudio : ptSubtitle;
}

// Frees the prepared encoder settings of a stream that never made it into its output.
struct TStreamGuard {
  TOutputStream& Stream;
  bool Kept = false;
  ~TStreamGuard() {
    if (!Kept) avcodec_free_context(&Stream.Codec);
  }
};

// The pending aspect as a sample aspect ratio with terms up to 255.
AVRational SampleAspect(const TTaskSettings& settings) {
  if (settings.FrameAspectRatio == 0) return {0, 1};
  const double sample = settings.FrameWidth > 0 && settings.FrameHeight > 0
                            ? settings.FrameAspectRatio * settings.FrameHeight / settings.FrameWidth
                            : settings.FrameAspectRatio * 3.0 / 4.0;
  return av_d2q(sample, 255);
}

AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, int pending) {
  const auto wanted = static_cast<AVPixelFormat>(pending);
  if (!encoder || !encoder->pix_fmts) return wanted == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : wanted;
  for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
    if (*format == wanted) return wanted;
  if (wanted == AV_PIX_FMT_NONE) return encoder->pix_fmts[0];
  return avcodec_find_best_pix_fmt_of_list(encoder->pix_fmts, wanted, 0, nullptr);
}

// DV allows one sampling per system (4:1:1 for 525 lines, 4:2:0 for 625): a picture format the
// encoder lists but no DV profile of this size and rate takes would only fail at open.
AVPixelFormat DvPixelFormat(const AVCodec* encoder, const AVCodecContext* codec) {
  if (av_dv_codec_profile2(codec->width, codec->height, codec->pix_fmt, codec->framerate))
    return codec->pix_fmt;
  for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
    if (av_dv_codec_profile2(codec->width, codec->height, *format, codec->framerate)) return *format;
  return codec->pix_fmt;
}

// JPEG pictures are full range: the encoder refuses limited-range YUV unless told to bend the
// standard, so the full-range twin of the chosen format is taken, and the scaler widens the range.
AVPixelFormat JpegPixelFormat(const AVCodec* encoder, AVPixelFormat chosen) {
  static constexpr std::pair<AVPixelFormat, AVPixelFormat> Twins[] = {
      {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P},
      {AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUVJ422P},
      {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUVJ444P}};
  for (const auto& [limited, full] : Twins) {
    if (chosen != limited) continue;
    for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
      if (*format == full) return full;
  }
  return chosen;
}

// The picture format the encoder can really open with, for encoders that list more than they take.
AVPixelFormat EncoderPixelFormat(const AVCodec* encoder, const AVCodecContext* codec) {
  if (!encoder || !encoder->pix_fmts) return codec->pix_fmt;
  if (encoder->id == AV_CODEC_ID_DVVIDEO) return DvPixelFormat(encoder, codec);
  if (encoder->id == AV_CODEC_ID_MJPEG) return JpegPixelFormat(encoder, codec->pix_fmt);
  return codec->pix_fmt;
}

// "start,end,q/start,end,q…": q below 1 is a quality factor of -q/100, else a fixed quantizer.
void ParseRateControlOverride(const std::string& text, AVCodecContext* codec) {
  if (text.empty()) return;
  std::vector<RcOverride> overrides;
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, '/')) {
    int start, end, q;
    if (std::sscanf(part.c_str(), "%d,%d,%d", &start, &end, &q) != 3)
      throw FFmpegException("error parsing rc_override");
    RcOverride entry{};
    entry.start_frame = start;
    entry.end_frame = end;
    if (q > 0) {
      entry.qscale = q;
      entry.quality_factor = 1.0f;
    } else {
      entry.qscale = 0;
      entry.quality_factor = -q / 100.0f;
    }
    overrides.push_back(entry);
  }
  codec->rc_override = static_cast<RcOverride*>(av_malloc_array(overrides.size(), sizeof(RcOverride)));
  if (!codec->rc_override) throw FFmpegException("av_mallocz fail");
  std::copy(overrides.begin(), overrides.end(), codec->rc_override);
  codec->rc_override_count = static_cast<int>(overrides.size());
}

uint16_t* CopyMatrix(const std::vector<uint16_t>& matrix) {
  if (matrix.empty()) return nullptr;
  auto* copy = static_cast<uint16_t*>(av_malloc(64 * sizeof(uint16_t)));
  if (copy) std::copy(matrix.begin(), matrix.end(), copy);
  return copy;
}

} // namespace

void TCustomFFmpeg::PrepareEncoder(TOutputStream& stream, const TOutputFile& file, const std::string& name) {
  const TParameterTarget target = TargetOf(stream.MediaType);
  int codecId = AV_CODEC_ID_NONE;
  if (!FindCodec(name, stream.MediaType, FParams.CodecContext(target)->strict_std_compliance, true, codecId))
    throw FFmpegException(LastErrorText());
  if (codecId == AV_CODEC_ID_NONE)
    codecId = av_guess_codec(file.Context->oformat, nullptr, file.Url.c_str(), nullptr,
                             static_cast<AVMediaType>(stream.MediaType));
  stream.Encoder =
      name.empty() ? avcodec_find_encoder(static_cast<AVCodecID>(codecId)) : FindEncoderByName(name);
  // Without an encoder the settings are kept all the same; the run reports the missing encoder.
  stream.Codec = avcodec_alloc_context3(stream.Encoder);
  if (!stream.Codec) throw FFmpegException("av_mallocz fail");
  stream.Codec->codec_id = static_cast<AVCodecID>(codecId);
  stream.Codec->codec_type = static_cast<AVMediaType>(stream.MediaType);
  if (FParams.ApplyToCodec(stream.Codec, target) < 0) throw FFmpegException("Invalid codec parameters");
  stream.Codec->thread_count = FSettings.Threads;
}

void TCustomFFmpeg::AddOutputStream(TOutputFile& file, TOutputStream& stream,
                                    std::vector<TBitstreamFilterSpec>& filters) {
  const unsigned index = file.Context->nb_streams;
  stream.Stream = avformat_new_stream(file.Context, nullptr);
  if (!stream.Stream) throw FFmpegException("Could not alloc stream");
  if (index < static_cast<unsigned>(MaxStreams)) stream.Stream->id = FSettings.StreamIds[index];
  stream.Stream->codecpar->codec_type = static_cast<AVMediaType>(stream.MediaType);
  stream.BitstreamFilters = std::move(filters);
  filters.clear();
  file.Streams.push_back(stream);
  ++FOutputCodecCount;
}

void TCustomFFmpeg::NewVideoStream(TOutputFile& file) {
  TOutputStream stream;
  stream.MediaType = AVMEDIA_TYPE_VIDEO;
  stream.CodecTag = FSettings.VideoCodecTag;
  TStreamGuard guard{stream};
  const AVRational aspect = SampleAspect(FSettings);
  const int globalHeader = FSettings.VideoGlobalHeader;
  const bool formatWantsHeader = file.Context->oformat->flags & AVFMT_GLOBALHEADER;
  if (FSettings.VideoStreamCopy) {
    stream.StreamCopy = true;
  } else {
    PrepareEncoder(stream, file, FSettings.VideoCodecName);
    AVCodecContext* codec = stream.Codec;
    AVRational rate = FSettings.FrameRate.Num > 0 && FSettings.FrameRate.Den > 0
                          ? AVRational{FSettings.FrameRate.Num, FSettings.FrameRate.Den}
                          : AVRational{25, 1};
    if (stream.Encoder && stream.Encoder->supported_framerates && !FSettings.ForceFps)
      rate = stream.Encoder
                 ->supported_framerates[av_find_nearest_q_idx(rate, stream.Encoder->supported_framerates)];
    codec->framerate = rate;
    codec->time_base = av_inv_q(rate);
    codec->width = FSettings.FrameWidth;
    codec->height = FSettings.FrameHeight;
    codec->sample_aspect_ratio = aspect;
    codec->pix_fmt = ChoosePixelFormat(stream.Encoder, FSettings.FramePixelFormat);
    codec->pix_fmt = EncoderPixelFormat(stream.Encoder, codec);
    if (FSettings.IntraOnly) codec->gop_size = 0;
    if (FSettings.VideoQScale > 0 || FSettings.SameQuality) {
      codec->flags |= AV_CODEC_FLAG_QSCALE;
      codec->global_quality = static_cast<int>(FF_QP2LAMBDA * FSettings.VideoQScale);
    }
    codec->intra_matrix = CopyMatrix(FSettings.IntraMatrix);
    codec->inter_matrix = CopyMatrix(FSettings.InterMatrix);
    ParseRateControlOverride(FSettings.VideoRcOverride, codec);
    if (!codec->rc_initial_buffer_occupancy)
      codec->rc_initial_buffer_occupancy = codec->rc_buffer_size * 3 / 4;
    codec->intra_dc_precision = FSettings.IntraDcPrecision - 8;
    if (FSettings.DoPsnr) codec->flags |= AV_CODEC_FLAG_PSNR;
    if (FSettings.DoPass == 1) codec->flags |= AV_CODEC_FLAG_PASS1;
    if (FSettings.DoPass == 2) codec->flags |= AV_CODEC_FLAG_PASS2;
    if ((globalHeader & 1) || (globalHeader == 0 && formatWantsHeader)) {
      codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
      FParams.CodecContext(ptVideo)->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (globalHeader & 2) codec->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    codec->codec_tag = stream.CodecTag;
  }
  AddOutputStream(file, stream, FSettings.VideoBitstreamFilters);
  guard.Kept = true;
  stream.Stream->sample_aspect_ratio = aspect;
  if (!FSettings.VideoLanguage.empty())
    av_dict_set(&stream.Stream->metadata, "language", FSettings.VideoLanguage.c_str(), 0);
  FSettings.VideoLanguage.clear();
  FSettings.VideoDisable = false;
  FSettings.VideoCodecName.clear();
  FSettings.VideoStreamCopy = false;
  FSettings.FramePixelFormat = NoPixelFormat;
}

void TCustomFFmpeg::NewAudioStream(TOutputFile& file) {
  TOutputStream stream;
  stream.MediaType = AVMEDIA_TYPE_AUDIO;
  stream.CodecTag = FSettings.AudioCodecTag;
  TStreamGuard guard{stream};
  if (FSettings.AudioStreamCopy) {
    stream.StreamCopy = true; // channels and rate come from the source at run time
  } else {
    PrepareEncoder(stream, file, FSettings.AudioCodecName);
    AVCodecContext* codec = stream.Codec;
    if (file.Context->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (FSettings.AudioQScale > -99999) {
      codec->flags |= AV_CODEC_FLAG_QSCALE;
      codec->global_quality = static_cast<int>(FF_QP2LAMBDA * FSettings.AudioQScale);
    }
    av_channel_layout_uninit(&codec->ch_layout);
    if (FSettings.AudioChannelLayout &&
        av_popcount64(FSettings.AudioChannelLayout) == FSettings.AudioChannels)
      av_channel_layout_from_mask(&codec->ch_layout, FSettings.AudioChannelLayout);
    else
      av_channel_layout_default(&codec->ch_layout, FSettings.AudioChannels);
    codec->sample_fmt = static_cast<AVSampleFormat>(FSettings.AudioSampleFormat);
    codec->sample_rate = FSettings.AudioSampleRate;
    if (const AVCodec* encoder = stream.Encoder) {
      if (encoder->sample_fmts) {
        bool supported = false;
        for (const AVSampleFormat* f = encoder->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
          supported = supported || *f == codec->sample_fmt;
        if (!supported) codec->sample_fmt = encoder->sample_fmts[0];
      }
      if (encoder->supported_samplerates) {
        int best = encoder->supported_samplerates[0];
        for (const int* r = encoder->supported_samplerates; *r; ++r)
          if (std::abs(*r - codec->sample_rate) < std::abs(best - codec->sample_rate)) best = *r;
        codec->sample_rate = best;
      }
    }
    codec->time_base = {1, codec->sample_rate};
    codec->codec_tag = stream.CodecTag;
  }
  AddOutputStream(file, stream, FSettings.AudioBitstreamFilters);
  guard.Kept = true;
  if (!FSettings.AudioLanguage.empty())
    av_dict_set(&stream.Stream->metadata, "language", FSettings.AudioLanguage.c_str(), 0);
  FSettings.AudioLanguage.clear();
  FSettings.AudioDisable = false;
  FSettings.AudioCodecName.clear();
  FSettings.AudioStreamCopy = false;
}

void TCustomFFmpeg::NewSubtitleStream(TOutputFile& file) {
  TOutputStream stream;
  stream.MediaType = AVMEDIA_TYPE_SUBTITLE;
  stream.CodecTag = FSettings.SubtitleCodecTag;
  TStreamGuard guard{stream};
  if (FSettings.SubtitleStreamCopy)
    stream.StreamCopy = true;
  else
    PrepareEncoder(stream, file, FSettings.SubtitleCodecName);
  AddOutputStream(file, stream, FSettings.SubtitleBitstreamFilters);
  guard.Kept = true;
  if (!FSettings.SubtitleLanguage.empty())
    av_dict_set(&stream.Stream->metadata, "language", FSettings.SubtitleLanguage.c_str(), 0);
  FSettings.SubtitleLanguage.clear();
  FSettings.SubtitleDisable = false;
  FSettings.SubtitleCodecName.clear();
  FSettings.SubtitleStreamCopy = false;
}

void TCustomFFmpeg::NewStreamForOption(int mediaType) {
  TOutputFile& file = *FOutputFiles.back();
  if (mediaType == AVMEDIA_TYPE_VIDEO)
    NewVideoStream(file);
  else if (mediaType == AVMEDIA_TYPE_AUDIO)
    NewAudioStream(file);
  else
    NewSubtitleStream(file);
}

} // namespace kavro
