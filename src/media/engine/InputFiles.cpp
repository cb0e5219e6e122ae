// Opening an input file: the pending settings that an input consumes, and those it hands on to
// the outputs created afterwards.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "FFUtils.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "engine/CodecLookup.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace kavro {
namespace {

// Demuxer options from the pending settings, for the formats that read them (raw and capture).
AVDictionary* FormatParameters(const TTaskSettings& settings) {
  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "sample_rate", settings.AudioSampleRate, 0);
  av_dict_set_int(&options, "channels", settings.AudioChannels, 0);
  if (settings.FrameRate.Num > 0 && settings.FrameRate.Den > 0)
    av_dict_set(&options, "framerate",
                Format("%d/%d", settings.FrameRate.Num, settings.FrameRate.Den).c_str(), 0);
  if (settings.FrameWidth > 0 && settings.FrameHeight > 0)
    av_dict_set(&options, "video_size", Format("%dx%d", settings.FrameWidth, settings.FrameHeight).c_str(),
                0);
  if (settings.FramePixelFormat != NoPixelFormat)
    av_dict_set(&options, "pixel_format",
                av_get_pix_fmt_name(static_cast<AVPixelFormat>(settings.FramePixelFormat)), 0);
  if (settings.VideoChannel) av_dict_set_int(&options, "channel", settings.VideoChannel, 0);
  if (!settings.VideoStandard.empty()) av_dict_set(&options, "standard", settings.VideoStandard.c_str(), 0);
  return options;
}

// The format option each stream parameter option fills for a raw input; none for the aspect, which
// no format reads.
const char* FormatOptionOf(const std::string& option) {
  static const std::pair<const char*, const char*> Names[] = {{"s", "video_size"},
                                                              {"r", "framerate"},
                                                              {"pix_fmt", "pixel_format"},
                                                              {"ar", "sample_rate"},
                                                              {"ac", "channels"}};
  for (const auto& [name, formatOption] : Names)
    if (option == name) return formatOption;
  return nullptr;
}

// Keeps only the streams of the program with that id; False when no program has it.
bool SelectProgram(AVFormatContext* context, int programId) {
  for (unsigned i = 0; i < context->nb_streams; ++i)
    context->streams[i]->discard = AVDISCARD_ALL;
  bool found = false;
  for (unsigned p = 0; p < context->nb_programs; ++p) {
    AVProgram* program = context->programs[p];
    if (program->id != programId) {
      program->discard = AVDISCARD_ALL;
      continue;
    }
    found = true;
    program->discard = AVDISCARD_DEFAULT;
    for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
      context->streams[program->stream_index[s]]->discard = AVDISCARD_DEFAULT;
  }
  return found;
}

// The latest of the first key pictures of the video streams from the current position (µs);
// AV_NOPTS_VALUE when some stream shows none within a bounded number of packets.
int64_t LatestFirstKeyTime(AVFormatContext* context, AVPacket* packet) {
  constexpr int MaxPackets = 5000;
  std::vector<bool> waiting(context->nb_streams);
  int left = 0;
  for (unsigned i = 0; i < context->nb_streams; ++i)
    if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        context->streams[i]->discard < AVDISCARD_ALL &&
        !(context->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      waiting[i] = true;
      ++left;
    }
  int64_t latest = INT64_MIN;
  for (int read = 0; left > 0 && read < MaxPackets && av_read_frame(context, packet) >= 0; ++read) {
    const int stream = packet->stream_index;
    const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (stream >= 0 && static_cast<unsigned>(stream) < waiting.size() && waiting[stream] &&
        (packet->flags & AV_PKT_FLAG_KEY) && stamp != AV_NOPTS_VALUE) {
      waiting[stream] = false;
      --left;
      latest = std::max(latest, av_rescale_q(stamp, context->streams[stream]->time_base, AV_TIME_BASE_Q));
    }
    av_packet_unref(packet);
  }
  return left > 0 || latest == INT64_MIN ? AV_NOPTS_VALUE : latest;
}

// Seeks so that the pictures read next begin at key frames at or before the target. Demuxers without
// an index search by time stamps and can land just after the key frame the target needs, which
// would lose every picture up to the next one; the landing is checked and the aim moved back.
int SeekBeforeTarget(AVFormatContext* context, int64_t target) {
  int64_t aim = target;
  int result = av_seek_frame(context, -1, aim, AVSEEK_FLAG_BACKWARD);
  const int64_t first = context->start_time == AV_NOPTS_VALUE ? 0 : context->start_time;
  AVPacket* packet = av_packet_alloc();
  if (!packet) return result;
  for (int64_t step = 1000000; result >= 0; step *= 2) {
    const int64_t key = LatestFirstKeyTime(context, packet);
    if (key == AV_NOPTS_VALUE || key <= target) {
      result = av_seek_frame(context, -1, aim, AVSEEK_FLAG_BACKWARD);
      break;
    }
    if (aim <= first) {
      // Even the beginning, found by time, lands late: read from the first byte.
      result = (context->iformat->flags & AVFMT_NO_BYTE_SEEK)
                   ? av_seek_frame(context, -1, aim, AVSEEK_FLAG_BACKWARD)
                   : av_seek_frame(context, -1, 0, AVSEEK_FLAG_BYTE);
      break;
    }
    aim = std::max(first, target - step);
    result = av_seek_frame(context, -1, aim, AVSEEK_FLAG_BACKWARD);
  }
  av_packet_free(&packet);
  return result;
}

} // namespace

void TCustomFFmpeg::ApplyFormatParameters(AVFormatContext* context) const {
  for (const std::string& name : FParams.SetNames(ptFormat)) {
    uint8_t* value = nullptr;
    if (av_opt_get(FParams.FormatContext(), name.c_str(), 0, &value) < 0) continue;
    av_opt_set(context, name.c_str(), reinterpret_cast<const char*>(value), 0);
    av_free(value);
  }
}

// Stream parameters given before an input describe a raw input; a format that carries its own leaves
// them unread, and the user is told rather than left to wonder why the output did not change.
void TCustomFFmpeg::WarnUnusedStreamHints(const std::string& name, const AVDictionary* unread) {
  for (const auto& [option, value] : FSettings.StreamHints) {
    const char* formatOption = FormatOptionOf(option);
    if (formatOption && !av_dict_get(unread, formatOption, nullptr, 0)) continue;
    TFFLogger::Instance().LogFmt(this, llWarning,
                                 "%s: option %s (%s) is not used: this input's format carries it itself; to "
                                 "set the output's, give it after the input",
                                 name.c_str(), option.c_str(), value.c_str());
  }
}

bool TCustomFFmpeg::OpenInputFile(const std::wstring& fileName) {
  const std::string name = WideToNarrow(fileName);
  if (InputFileCount() >= MaxFiles) {
    SetLastErrorText(Format("max input files %d reached", MaxFiles));
    return false;
  }
  const AVInputFormat* format = nullptr;
  if (!FSettings.FileFormat.empty()) {
    format = av_find_input_format(FSettings.FileFormat.c_str());
    if (!format) throw FFmpegException("Unknown input format: \"" + FSettings.FileFormat + "\"");
    FSettings.FileFormat.clear();
  }
  const bool pgmyuv = FSettings.FileFormatIsPgmyuv;
  FSettings.FileFormatIsPgmyuv = false;
  // The forced decoder names and the stream parameters belong to this input, whether it opens or not.
  struct TConsumeInputSettings {
    TTaskSettings& Settings;
    ~TConsumeInputSettings() {
      Settings.VideoCodecName.clear();
      Settings.AudioCodecName.clear();
      Settings.SubtitleCodecName.clear();
      Settings.StreamHints.clear();
    }
  } consumeSettings{FSettings};
  auto input = std::make_unique<TInputFile>();
  input->Context = avformat_alloc_context();
  if (!input->Context) throw FFmpegException("avformat_alloc_context failed");
  ApplyFormatParameters(input->Context);
  // A stop request ends any wait of the libraries for this input.
  input->Context->interrupt_callback = {
      [](void* engine) { return static_cast<TCustomFFmpeg*>(engine)->StopRequested() ? 1 : 0; }, this};

  int codecIds[3] = {};
  const std::pair<const std::string*, int> forced[] = {{&FSettings.VideoCodecName, AVMEDIA_TYPE_VIDEO},
                                                       {&FSettings.AudioCodecName, AVMEDIA_TYPE_AUDIO},
                                                       {&FSettings.SubtitleCodecName, AVMEDIA_TYPE_SUBTITLE}};
  for (int i = 0; i < 3; ++i) {
    const auto [codecName, type] = forced[i];
    const TParameterTarget target = type == AVMEDIA_TYPE_VIDEO   ? ptVideo
                                    : type == AVMEDIA_TYPE_AUDIO ? ptAudio
                                                                 : ptSubtitle;
    if (!FindCodec(*codecName, type, FParams.CodecContext(target)->strict_std_compliance, false, codecIds[i]))
      return false;
  }
  input->Context->flags |= AVFMT_FLAG_NONBLOCK;
  if (pgmyuv) input->Context->video_codec_id = AV_CODEC_ID_PGMYUV;

  AVDictionary* options = FormatParameters(FSettings);
  const int opened = OpenInputContext(&input->Context, fileName, format, &options);
  if (opened >= 0) WarnUnusedStreamHints(name, options);
  av_dict_free(&options);
  if (opened < 0) {
    SetLastErrorText(ErrorText(name, opened));
    return false;
  }
  if (FSettings.ProgramID) {
    if (!SelectProgram(input->Context, FSettings.ProgramID))
      throw FFmpegException("Specified program id not found");
    FSettings.ProgramID = 0;
  }
  input->LoopInput = FSettings.LoopInput;
  input->Threads = FSettings.Threads;
  struct stat info {};
  if (stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    input->LocalPath = name;
    input->OpenedSize = info.st_size;
  }
  int found;
  {
    std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
    found = avformat_find_stream_info(input->Context, nullptr);
  }
  if (found < 0 && Verbose >= 0) {
    SetLastErrorText(name + ": could not find codec parameters");
    TFFLogger::Instance().Log(this, llVerbose, LastErrorText());
    return false;
  }

  const int64_t inputStart = FSettings.StartTime;
  int64_t seekTarget = FSettings.StartTime;
  if (input->Context->start_time != AV_NOPTS_VALUE) seekTarget += input->Context->start_time;
  if (FSettings.StartTime != 0) {
    if (SeekBeforeTarget(input->Context, seekTarget) < 0 && Verbose > 0)
      TFFLogger::Instance().LogFmt(this, llWarning, "%s: could not seek to position %0.3f", name.c_str(),
                                   static_cast<double>(seekTarget) / 1000000);
    FSettings.StartTime = 0;
  }

  for (unsigned i = 0; i < input->Context->nb_streams; ++i) {
    AVStream* stream = input->Context->streams[i];
    AVCodecParameters* codec = stream->codecpar;
    const AVCodec* decoder = nullptr;
    switch (codec->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
      FSettings.FrameWidth = codec->width;
      FSettings.FrameHeight = codec->height;
      FSettings.FramePixelFormat = codec->format < 0 ? 0 : codec->format;
      const AVRational sample =
          stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio : codec->sample_aspect_ratio;
      if (codec->width > 0 && codec->height > 0)
        FSettings.FrameAspectRatio =
            static_cast<float>((sample.num ? av_q2d(sample) : 1.0) * codec->width / codec->height);
      else if (FSettings.FrameAspectRatio == 0)
        FSettings.FrameAspectRatio = 4.0f / 3;
      const int lowres = FParams.CodecContext(ptVideo)->lowres;
      if (lowres > 0) {
        FSettings.FrameWidth >>= lowres;
        FSettings.FrameHeight >>= lowres;
      }
      const AVRational real = stream->r_frame_rate;
      const AVRational average = stream->avg_frame_rate;
      if (Verbose >= 0 && real.num && real.den && average.num && average.den && av_cmp_q(real, average) != 0)
        TFFLogger::Instance().LogFmt(this, llInfo,
                                     "Seems stream %d codec frame rate differs from container frame rate: "
                                     "%2.2f (%d/%d) -> %2.2f (%d/%d)",
                                     static_cast<int>(i), av_q2d(average), average.num, average.den,
                                     av_q2d(real), real.num, real.den);
      FSettings.FrameRate = {real.num, real.den};
      input->Proposal.HasVideo = true;
      input->Proposal.FrameWidth = FSettings.FrameWidth;
      input->Proposal.FrameHeight = FSettings.FrameHeight;
      input->Proposal.FramePixelFormat = FSettings.FramePixelFormat;
      input->Proposal.FrameAspectRatio = FSettings.FrameAspectRatio;
      input->Proposal.FrameRate = FSettings.FrameRate;
      if (codecIds[0]) decoder = avcodec_find_decoder(static_cast<AVCodecID>(codecIds[0]));
      if (FSettings.VideoDisable)
        stream->discard = AVDISCARD_ALL;
      else if (FSettings.VideoDiscard)
        stream->discard = static_cast<AVDiscard>(FSettings.VideoDiscard);
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      FSettings.AudioChannelLayout =
          codec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? codec->ch_layout.u.mask : 0;
      FSettings.AudioChannels = codec->ch_layout.nb_channels;
      FSettings.AudioSampleRate = codec->sample_rate;
      FSettings.AudioSampleFormat = codec->format;
      input->Proposal.HasAudio = true;
      input->Proposal.AudioChannelLayout = FSettings.AudioChannelLayout;
      input->Proposal.AudioChannels = FSettings.AudioChannels;
      input->Proposal.AudioSampleRate = FSettings.AudioSampleRate;
      input->Proposal.AudioSampleFormat = FSettings.AudioSampleFormat;
      if (codecIds[1]) decoder = avcodec_find_decoder(static_cast<AVCodecID>(codecIds[1]));
      if (FSettings.AudioDisable) stream->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (codecIds[2]) decoder = avcodec_find_decoder(static_cast<AVCodecID>(codecIds[2]));
      if (FSettings.SubtitleDisable) stream->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT:
      break;
    default:
      // A stream of no known type cannot be converted; the others still can.
      TFFLogger::Instance().LogFmt(this, llWarning, "%s: stream %u has an invalid codec_type and is ignored",
                                   name.c_str(), i);
      stream->discard = AVDISCARD_ALL;
      break;
    }
    input->Decoders.push_back(decoder);
  }
  input->TsOffset = FSettings.InputTsOffset - (FSettings.CopyTimestamps ? 0 : seekTarget);
  // The seek lands on a key frame before the target; what lies before it is not converted. Nor is
  // what a negative offset moves before the output's beginning.
  if (inputStart != 0) input->StartCut = seekTarget + input->TsOffset;
  if (FSettings.InputTsOffset < 0) input->StartCut = std::max<int64_t>(input->StartCut, 0);
  if (input->Context->duration != AV_NOPTS_VALUE) {
    const int64_t beginning = input->Context->start_time == AV_NOPTS_VALUE ? 0 : input->Context->start_time;
    const int64_t end = beginning + input->Context->duration + input->TsOffset;
    if (input->StartCut != INT64_MIN && end <= input->StartCut) {
      SetLastErrorText(Format("%s: nothing of the input lies after its start (start time %0.3f s, offset "
                              "%0.3f s, duration %0.3f s)",
                              name.c_str(), static_cast<double>(inputStart) / 1000000,
                              static_cast<double>(FSettings.InputTsOffset) / 1000000,
                              static_cast<double>(input->Context->duration) / 1000000));
      TFFLogger::Instance().Log(this, llVerbose, LastErrorText());
      return false;
    }
    const int64_t remaining = input->StartCut == INT64_MIN ? input->Context->duration : end - input->StartCut;
    if (remaining > ExpectedDuration()) SetExpectedDuration(remaining);
  }
  if (Verbose >= 0) av_dump_format(input->Context, InputFileCount(), input->Context->url, 0);
  FInputCodecCount += static_cast<int>(input->Decoders.size());
  FInputFiles.push_back(std::move(input));
  FSettings.VideoChannel = 0;
  return true;
}

} // namespace kavro
