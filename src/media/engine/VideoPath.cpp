// The video output path: encoder set-up with crop, scale or a filter graph, pre-processing of each
// decoded picture for deinterlacing and hooks, frame-rate conversion, scaling and encoding.
#include <cmath>
#include <cstdio>

#include "FFUtils.h"
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/Deinterlacer.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/dv_profile.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace kavro {
namespace {

constexpr int Top = 0, Bottom = 1, Left = 2, Right = 3;

int ScalerFlags(const TGenericParameters& params) {
  int64_t flags = 0;
  av_opt_get_int(params.ScalerContext(), "sws_flags", 0, &flags);
  return static_cast<int>(flags);
}

// The old positional crop of filter text, "crop=x:y:w:h", in today's named form.
std::string TranslateOldCrop(const std::string& filters) {
  std::string result;
  size_t at = 0;
  for (size_t found; (found = filters.find("crop=", at)) != std::string::npos;) {
    const size_t start = found + 5;
    size_t end = filters.find_first_of(",;[", start);
    if (end == std::string::npos) end = filters.size();
    const std::string arguments = filters.substr(start, end - start);
    int x, y, w, h;
    char rest;
    const bool positional = arguments.find('=') == std::string::npos &&
                            std::sscanf(arguments.c_str(), "%d:%d:%d:%d%c", &x, &y, &w, &h, &rest) == 4;
    result += filters.substr(at, start - at);
    result += positional ? Format("x=%d:y=%d:w=%d:h=%d", x, y, w, h) : arguments;
    at = end;
  }
  return result + filters.substr(at);
}

AVFilterContext* CreateFilter(AVFilterGraph* graph, const char* filter, const char* name,
                              const std::string& args) {
  AVFilterContext* context = nullptr;
  if (avfilter_graph_create_filter(&context, avfilter_get_by_name(filter), name,
                                   args.empty() ? nullptr : args.c_str(), nullptr, graph) < 0)
    return nullptr;
  return context;
}

} // namespace

void TCustomFFmpeg::SetUpVideoEncoding(TOutputStreamState& ost, TInputStreamState& ist) {
  AVCodecContext* encoder = ost.Setup->Codec;
  const AVCodecParameters* input = ist.Stream->codecpar;
  if (input->format < 0) throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
  const int bands[4] = {FSettings.FrameTopBand, FSettings.FrameBottomBand, FSettings.FrameLeftBand,
                        FSettings.FrameRightBand};
  const int croppedWidth = input->width - bands[Left] - bands[Right];
  const int croppedHeight = input->height - bands[Top] - bands[Bottom];
  if (encoder->width <= 0 || encoder->height <= 0) {
    encoder->width = croppedWidth;
    encoder->height = croppedHeight;
  }
  ost.Crop = bands[Top] + bands[Bottom] + bands[Left] + bands[Right] != 0;
  ost.ScalingNeeded =
      encoder->width != croppedWidth || encoder->height != croppedHeight || encoder->pix_fmt != input->format;
  if (ost.Crop)
    for (int i = 0; i < 4; ++i)
      ost.Bands[i] = ost.InitialBands[i] = bands[i];
  if (ost.ScalingNeeded) {
    if (!ost.TempPictures.Next(encoder->pix_fmt, encoder->width, encoder->height))
      throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    ost.Scaler =
        sws_getContext(croppedWidth, croppedHeight, static_cast<AVPixelFormat>(input->format), encoder->width,
                       encoder->height, encoder->pix_fmt, ScalerFlags(FParams), nullptr, nullptr, nullptr);
    if (!ost.Scaler) throw FFmpegException("Cannot get resampling context");
    if (FSettings.VideoFilters.empty()) {
      ost.InitialHeight = input->height;
      ost.InitialWidth = input->width;
    }
    encoder->bits_per_raw_sample = 0;
  }
  ost.ExpectedHeight = croppedHeight;
  ost.ExpectedWidth = croppedWidth;
  ost.ExpectedPixelFormat = input->format;
  if (!FSettings.VideoFilters.empty() && BuildVideoFilterGraph(ist, ost) < 0) {
    const std::string text = LastErrorText();
    throw FFmpegException(text.empty() ? "Error opening filters!" : "Error opening filters: " + text);
  }
  ost.EncodingNeeded = true;
  ist.DecodingNeeded = true;
}

int TCustomFFmpeg::BuildVideoFilterGraph(TInputStreamState& ist, TOutputStreamState& ost) {
  AVCodecContext* encoder = ost.Setup->Codec;
  const AVCodecParameters* input = ist.Stream->codecpar;
  const int scaledWidth = encoder->width;
  const int scaledHeight = encoder->height;
  avfilter_graph_free(&ist.Graph);
  ist.Graph = avfilter_graph_alloc();
  if (!ist.Graph) return -1;
  const AVRational timeBase = ist.Stream->time_base.num ? ist.Stream->time_base : AVRational{1, 1000000};
  const AVRational aspect = input->sample_aspect_ratio.num ? input->sample_aspect_ratio : AVRational{0, 1};
  ist.GraphInput =
      CreateFilter(ist.Graph, "buffer", "src",
                   Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", input->width,
                          input->height, input->format, timeBase.num, timeBase.den, aspect.num, aspect.den));
  ist.GraphOutput = CreateFilter(ist.Graph, "buffersink", "out", "");
  if (!ist.GraphInput || !ist.GraphOutput) return -1;
  // The sink gives only what the encoder takes.
  const AVPixelFormat formats[] = {encoder->pix_fmt, AV_PIX_FMT_NONE};
  if (av_opt_set_int_list(ist.GraphOutput, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN) < 0)
    return -1;
  AVFilterContext* last = ist.GraphInput;
  const int croppedWidth = input->width - ost.Bands[Left] - ost.Bands[Right];
  const int croppedHeight = input->height - ost.Bands[Top] - ost.Bands[Bottom];
  if (ost.Crop) {
    AVFilterContext* crop = CreateFilter(
        ist.Graph, "crop", "crop",
        Format("x=%d:y=%d:w=%d:h=%d", ost.Bands[Left], ost.Bands[Top], croppedWidth, croppedHeight));
    if (!crop || avfilter_link(last, 0, crop, 0) < 0) return -1;
    last = crop;
  }
  const int flags = ScalerFlags(FParams);
  if (encoder->width != croppedWidth || encoder->height != croppedHeight) {
    AVFilterContext* scale = CreateFilter(
        ist.Graph, "scale", "scale", Format("w=%d:h=%d:flags=0x%X", encoder->width, encoder->height, flags));
    if (!scale || avfilter_link(last, 0, scale, 0) < 0) return -1;
    last = scale;
  }
  av_free(ist.Graph->scale_sws_opts);
  ist.Graph->scale_sws_opts = av_strdup(Format("flags=0x%X", flags).c_str());
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  outputs->name = av_strdup("in");
  outputs->filter_ctx = last;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = ist.GraphOutput;
  const int parsed = avfilter_graph_parse_ptr(ist.Graph, TranslateOldCrop(FSettings.VideoFilters).c_str(),
                                              &inputs, &outputs, nullptr);
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  if (parsed < 0 || avfilter_graph_config(ist.Graph, nullptr) < 0) {
    SetLastErrorText(FSettings.VideoFilters);
    return -1;
  }
  if (const std::string unsafe = UnsafeFilterText(ist.Graph); !unsafe.empty()) {
    SetLastErrorText(unsafe);
    return -1;
  }
  encoder->width = av_buffersink_get_w(ist.GraphOutput);
  encoder->height = av_buffersink_get_h(ist.GraphOutput);
  // DV takes one sampling per picture size, and a padding filter settles the size only here: the
  // sampling chosen for the size before the filters may not be one DV has at this size.
  const AVCodec* dv = encoder->codec_id == AV_CODEC_ID_DVVIDEO ? ost.Setup->Encoder : nullptr;
  if (dv && dv->pix_fmts &&
      !av_dv_codec_profile2(encoder->width, encoder->height, encoder->pix_fmt, encoder->framerate))
    for (const AVPixelFormat* format = dv->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
      if (av_dv_codec_profile2(encoder->width, encoder->height, *format, encoder->framerate)) {
        encoder->width = scaledWidth;
        encoder->height = scaledHeight;
        encoder->pix_fmt = *format;
        return BuildVideoFilterGraph(ist, ost);
      }
  const AVRational filteredAspect = av_buffersink_get_sample_aspect_ratio(ist.GraphOutput);
  if (filteredAspect.num) encoder->sample_aspect_ratio = filteredAspect;
  return 0;
}

void TCustomFFmpeg::PrepareDecodedPicture(TInputStreamState& ist, AVFrame* picture) {
  TRunState& run = *FRun;
  ++run.FrameCounter;
  const int64_t pts = ist.Pts;
  const bool customHook = HasCustomHook();
  const bool hookModules = HasHookModules();
  if (!FSettings.DoDeinterlace && !customHook && !hookModules) return;
  // The custom hook alone reads the decoded picture and writes what it drew into a copy of its own;
  // a picture it leaves alone costs no copy.
  if (customHook && !FSettings.DoDeinterlace) {
    RunCustomHook(picture, pts);
    return;
  }
  // A free copy: the encoder may still hold the previous one.
  AVFrame* copy = run.HookPictures.Next(picture->format, picture->width, picture->height);
  if (!copy) {
    TFFLogger::Instance().Log(this, llError, "hook buf malloc error.");
    return;
  }
  if (!FSettings.DoDeinterlace || !DeinterlacePicture(picture, copy)) {
    if (FSettings.DoDeinterlace) TFFLogger::Instance().Log(this, llError, "Deinterlacing failed.");
    av_frame_copy(copy, picture);
  }
  if (!customHook && hookModules) ProcessHookModules(copy, pts);
  av_frame_copy_props(copy, picture);
  av_frame_unref(picture);
  if (const int referenced = av_frame_ref(picture, copy); referenced < 0)
    throw FFmpegException(ErrorText("Cannot pass on the prepared picture", referenced));
  if (customHook) RunCustomHook(picture, pts);
}

int TCustomFFmpeg::EncodeVideoPicture(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture) {
  TRunState& run = *FRun;
  AVCodecContext* encoder = ost.Encoder;
  const TInputStreamState& sync = *run.InputStreams[static_cast<size_t>(ost.SyncIndex)];
  const double position =
      static_cast<double>(sync.Pts - FSettings.StartTime) / 1000000.0 / av_q2d(encoder->time_base);
  int count = 1;
  if (FSettings.VideoSyncMethod != 0) {
    const double delta = position - static_cast<double>(ost.SyncOpts);
    const bool variableRate =
        FSettings.VideoSyncMethod < 0 && (ost.File->Context->oformat->flags & AVFMT_VARIABLE_FPS);
    if (delta < -1.1) {
      count = 0;
    } else if (FSettings.VideoSyncMethod == 2 || variableRate) {
      if (delta <= -0.6)
        count = 0;
      else if (delta > 0.6)
        ost.SyncOpts = std::llround(position);
    } else if (delta > 1.1) {
      count = static_cast<int>(std::llround(delta));
    }
    if (count == 0) {
      ++run.DroppedFrames;
      run.ChangedSinceReport = true;
      if (Verbose > 2) TFFLogger::Instance().Log(this, llVerbose, "*** drop!");
    } else if (count > 1) {
      run.DuplicatedFrames += count - 1;
      run.ChangedSinceReport = true;
      if (Verbose > 2) TFFLogger::Instance().LogFmt(this, llVerbose, "*** %d dup!", count - 1);
    }
  } else {
    ost.SyncOpts = std::llround(position);
  }
  count = std::min(count, FSettings.VideoMaxFrames - ost.FrameNumber);
  if (count <= 0) return 0;

  AVFrame* toEncode = picture;
  if (FSettings.VideoFilters.empty()) {
    const int height = picture->height - ost.Bands[Top] - ost.Bands[Bottom];
    const int width = picture->width - ost.Bands[Left] - ost.Bands[Right];
    const bool changed = height != ost.ExpectedHeight || width != ost.ExpectedWidth ||
                         picture->format != ost.ExpectedPixelFormat;
    if (changed) {
      const char* formatName = av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture->format));
      TFFLogger::Instance().LogFmt(this, llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s",
                                   ist.FileIndex, ist.StreamIndex, picture->width, picture->height,
                                   formatName ? formatName : "none");
      if (!ost.ScalingNeeded)
        throw FFmpegException(
            Format("Input Stream #%d.%d frame size changed and the output stream is not scaled",
                   ist.FileIndex, ist.StreamIndex));
      // The crop bands follow the new size in proportion, on even numbers.
      if (ost.Crop && ost.InitialHeight > 0 && ost.InitialWidth > 0)
        for (int i = 0; i < 4; ++i) {
          const int64_t size = i < 2 ? picture->height : picture->width;
          const int64_t initial = i < 2 ? ost.InitialHeight : ost.InitialWidth;
          ost.Bands[i] = static_cast<int>(size * ost.InitialBands[i] / initial) & ~1;
        }
      ost.ExpectedHeight = picture->height - ost.Bands[Top] - ost.Bands[Bottom];
      ost.ExpectedWidth = picture->width - ost.Bands[Left] - ost.Bands[Right];
      ost.ExpectedPixelFormat = picture->format;
      ost.Scaler = sws_getCachedContext(
          ost.Scaler, ost.ExpectedWidth, ost.ExpectedHeight, static_cast<AVPixelFormat>(picture->format),
          encoder->width, encoder->height, encoder->pix_fmt, ScalerFlags(FParams), nullptr, nullptr, nullptr);
      if (!ost.Scaler) throw FFmpegException("Cannot get resampling context");
    }
    if (ost.Crop) {
      if (!ost.Cropped) ost.Cropped = av_frame_alloc();
      av_frame_unref(ost.Cropped);
      const bool cropped = ost.Cropped && av_frame_ref(ost.Cropped, picture) >= 0;
      if (cropped) {
        ost.Cropped->crop_top = static_cast<size_t>(ost.Bands[Top]);
        ost.Cropped->crop_bottom = static_cast<size_t>(ost.Bands[Bottom]);
        ost.Cropped->crop_left = static_cast<size_t>(ost.Bands[Left]);
        ost.Cropped->crop_right = static_cast<size_t>(ost.Bands[Right]);
      }
      if (!cropped || av_frame_apply_cropping(ost.Cropped, AV_FRAME_CROP_UNALIGNED) < 0) {
        if (FSettings.ExitOnError) throw FFmpegException("error cropping picture");
        TFFLogger::Instance().Log(this, llError, "error cropping picture");
        return 0;
      }
      toEncode = ost.Cropped;
    }
    if (ost.ScalingNeeded) {
      AVFrame* scaled = ost.TempPictures.Next(encoder->pix_fmt, encoder->width, encoder->height);
      if (!scaled) throw FFmpegException("Cannot allocate temp picture, check pix fmt");
      sws_scale(ost.Scaler, toEncode->data, toEncode->linesize, 0, toEncode->height, scaled->data,
                scaled->linesize);
      toEncode = scaled;
    }
  }

  int frameSize = 0;
  for (int i = 0; i < count && !StopRequested(); ++i) {
    if (i > 0) WaitWhilePaused();
    toEncode->interlaced_frame = picture->interlaced_frame;
    if (encoder->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME))
      toEncode->top_field_first =
          FSettings.TopFieldFirst == -1 ? picture->top_field_first : FSettings.TopFieldFirst;
    toEncode->quality =
        FSettings.SameQuality ? static_cast<int>(std::lround(ist.Quality)) : encoder->global_quality;
    if (!FSettings.MeThreshold) toEncode->pict_type = AV_PICTURE_TYPE_NONE;
    toEncode->pts = ost.SyncOpts;
    toEncode->sample_aspect_ratio = encoder->sample_aspect_ratio;
    if (avcodec_send_frame(encoder, toEncode) < 0) throw FFmpegException("Video encoding failed");
    const int coded = DrainEncoder(ost);
    if (coded > 0) {
      frameSize = coded;
      if (PreviewFlags) DeliverPreview(toEncode, encoder);
    }
    ++ost.SyncOpts;
    ++ost.FrameNumber;
  }
  return frameSize;
}

void TCustomFFmpeg::WriteVideoStatsLine(TOutputStreamState& ost, int frameSize) {
  TRunState& run = *FRun;
  if (ost.Setup->MediaType != AVMEDIA_TYPE_VIDEO) return;
  if (!run.VStatsFile) {
    run.VStatsFile = std::fopen(FSettings.VStatsFileName.c_str(), "w");
    if (!run.VStatsFile) throw FFmpegException("fopen fail: " + FSettings.VStatsFileName);
  }
  const AVCodecContext* encoder = ost.Encoder;
  std::fprintf(run.VStatsFile, "frame= %5d q= %2.1f ", ost.FrameNumber,
               ost.CodedQuality / static_cast<double>(FF_QP2LAMBDA));
  if (encoder->flags & AV_CODEC_FLAG_PSNR)
    std::fprintf(run.VStatsFile, "PSNR= %6.2f ",
                 -10.0 * std::log10(static_cast<double>(ost.CodedError[0]) /
                                    (encoder->width * encoder->height * 255.0 * 255.0)));
  std::fprintf(run.VStatsFile, "f_size= %6d ", frameSize);
  const double timeBase = av_q2d(encoder->time_base);
  const double t = std::max(0.01, static_cast<double>(ost.SyncOpts) * timeBase);
  std::fprintf(run.VStatsFile, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
               run.VideoBytes / 1024.0, t, frameSize * 8 / timeBase / 1000.0,
               run.VideoBytes * 8 / t / 1000.0);
  std::fprintf(run.VStatsFile, "type= %c\n", ost.CodedPictureType);
}

} // namespace kavro
