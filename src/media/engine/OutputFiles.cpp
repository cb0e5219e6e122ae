// Creating an output file with its streams from the pending settings.
#include <sys/stat.h>

#include <cmath>
#include <ctime>

#include "FFUtils.h"
#include "UnicodeProtocol.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"
#include "platform/FileIdentity.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace kavro {
namespace {

std::string DiskPath(const std::string& url) {
  return IsUnicodeURL(url) ? WideToUtf8(URLToFileName(url)) : url;
}

bool PathExists(const std::string& url) {
  struct stat info;
  return lstat(DiskPath(url).c_str(), &info) == 0;
}

// Sets a private option of the muxer when it has one of that name.
void SetMuxerOption(AVFormatContext* context, const char* name, int64_t value) {
  if (context->priv_data && av_opt_find(context->priv_data, name, nullptr, 0, 0))
    av_opt_set_int(context->priv_data, name, value, 0);
}

std::string IsoTime(int64_t seconds) {
  const time_t value = static_cast<time_t>(seconds);
  std::tm utc{};
  gmtime_r(&value, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
  return text;
}

} // namespace

void TCustomFFmpeg::CheckInputStreamTypes(bool& hasVideo, bool& hasAudio, bool& hasSubtitle) const {
  hasVideo = hasAudio = hasSubtitle = false;
  const size_t inspected = FJoinMode ? 1 : FInputFiles.size();
  for (size_t i = 0; i < inspected && i < FInputFiles.size(); ++i) {
    const AVFormatContext* input = FInputFiles[i]->Context;
    for (unsigned s = 0; s < input->nb_streams; ++s) {
      switch (input->streams[s]->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        hasVideo = true;
        break;
      case AVMEDIA_TYPE_AUDIO:
        hasAudio = true;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        hasSubtitle = true;
        break;
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT:
        break;
      default:
        // Streams of no known type were set aside when the input was opened.
        if (input->streams[s]->discard != AVDISCARD_ALL)
          throw FFmpegException("check_audio_video_sub_inputs fail: invalid codec_type of input file");
      }
    }
  }
}

std::string TCustomFFmpeg::InputBehind(const std::string& outputUrl) const {
  const std::string output = DiskPath(outputUrl);
  struct stat info;
  // Devices such as /dev/null are read and written by anyone.
  if (stat(output.c_str(), &info) != 0 || S_ISCHR(info.st_mode)) return {};
  for (const auto& input : FInputFiles)
    if (input->Context && input->Context->url && SameFile(DiskPath(input->Context->url), output))
      return WideToNarrow(URLToFileName(input->Context->url));
  return {};
}

// Each input that was opened wrote its own picture and sound over the pending settings, so the last
// one would decide. A joined output takes the first input's instead, and converts the others to
// it; what the options gave after the inputs stays.
void TCustomFFmpeg::ProposeFirstInput() {
  const TInputProposal& first = FInputFiles.front()->Proposal;
  const TInputProposal& last = FInputFiles.back()->Proposal;
  const auto take = [](auto& setting, const auto& lastValue, const auto& firstValue) {
    if (setting == lastValue) setting = firstValue;
  };
  if (first.HasVideo && last.HasVideo) {
    take(FSettings.FrameWidth, last.FrameWidth, first.FrameWidth);
    take(FSettings.FrameHeight, last.FrameHeight, first.FrameHeight);
    take(FSettings.FramePixelFormat, last.FramePixelFormat, first.FramePixelFormat);
    take(FSettings.FrameAspectRatio, last.FrameAspectRatio, first.FrameAspectRatio);
    take(FSettings.FrameRate, last.FrameRate, first.FrameRate);
  }
  if (first.HasAudio && last.HasAudio) {
    if (FSettings.AudioChannels == last.AudioChannels &&
        FSettings.AudioChannelLayout == last.AudioChannelLayout) {
      FSettings.AudioChannels = first.AudioChannels;
      FSettings.AudioChannelLayout = first.AudioChannelLayout;
    }
    take(FSettings.AudioSampleRate, last.AudioSampleRate, first.AudioSampleRate);
    take(FSettings.AudioSampleFormat, last.AudioSampleFormat, first.AudioSampleFormat);
  }
}

int TCustomFFmpeg::OpenOutputFile(const std::wstring& fileName, bool join) {
  FSettings.StreamHints.clear(); // given after the inputs, they are this output's
  const std::string name = WideToNarrow(fileName);
  if (FJoinMode) {
    SetLastErrorText("Cannot join more than one output file.");
    return -1;
  }
  if (OutputFileCount() >= MaxFiles) {
    SetLastErrorText(Format("max output files %d reached", MaxFiles));
    return -1;
  }
  if (const std::string input = InputBehind(FileNameToURL(fileName)); !input.empty()) {
    SetLastErrorText("Output file '" + name + "' is the same file as the input '" + input +
                     "': it would be overwritten while it is read");
    return -1;
  }
  const AVOutputFormat* format;
  if (!FSettings.FileFormat.empty()) {
    const std::string forced = FSettings.FileFormat;
    FSettings.FileFormat.clear();
    FSettings.FileFormatIsPgmyuv = false;
    format = av_guess_format(forced.c_str(), nullptr, nullptr);
    if (!format) {
      SetLastErrorText("Requested output format '" + forced + "' is not a suitable output format");
      return -1;
    }
  } else {
    format = av_guess_format(nullptr, WideToUtf8(fileName).c_str(), nullptr);
    if (!format) {
      SetLastErrorText("Unable to find a suitable output format for '" + name + "'");
      return -1;
    }
  }
  auto file = std::make_shared<TOutputFile>();
  file->Url = FileNameToURL(fileName);
  if (avformat_alloc_output_context2(&file->Context, format, nullptr, file->Url.c_str()) < 0 ||
      !file->Context)
    throw FFmpegException("avformat_alloc_context failed");

  if (join && FInputFiles.size() > 1) ProposeFirstInput();
  // Audio containers name PNG as their video codec for cover pictures, not for a video stream.
  const bool formatHasVideo =
      format->video_codec != AV_CODEC_ID_NONE && format->video_codec != AV_CODEC_ID_PNG;
  bool useVideo = FSettings.VideoStreamCopy || formatHasVideo || !FSettings.VideoCodecName.empty();
  bool useAudio = FSettings.AudioStreamCopy || format->audio_codec != AV_CODEC_ID_NONE ||
                  !FSettings.AudioCodecName.empty();
  bool useSubtitle = FSettings.SubtitleStreamCopy || format->subtitle_codec != AV_CODEC_ID_NONE ||
                     !FSettings.SubtitleCodecName.empty();
  if (!FInputFiles.empty()) {
    bool hasVideo, hasAudio, hasSubtitle;
    CheckInputStreamTypes(hasVideo, hasAudio, hasSubtitle);
    useVideo = useVideo && hasVideo;
    useAudio = useAudio && hasAudio;
    useSubtitle = useSubtitle && hasSubtitle;
  }
  useVideo = useVideo && !FSettings.VideoDisable;
  useAudio = useAudio && !FSettings.AudioDisable;
  useSubtitle = useSubtitle && !FSettings.SubtitleDisable;
  // Each stream is made from the pending settings; a failure names the step that failed.
  const auto create = [&](bool wanted, const char* step, auto make) {
    if (!wanted) return true;
    try {
      make();
    } catch (const std::exception& e) {
      SetLastErrorText(std::string(step) + " fail: " + e.what());
      return false;
    }
    return true;
  };
  if (!create(useVideo, "new_video_stream", [&] { NewVideoStream(*file); }) ||
      !create(useAudio, "new_audio_stream", [&] { NewAudioStream(*file); }) ||
      !create(useSubtitle, "new_subtitle_stream", [&] { NewSubtitleStream(*file); }))
    return -1;

  if (FSettings.RecordingTimestamp > 0)
    av_dict_set(&file->Context->metadata, "creation_time", IsoTime(FSettings.RecordingTimestamp).c_str(), 0);
  for (auto pair = FSettings.Metadata.rbegin(); pair != FSettings.Metadata.rend(); ++pair)
    av_dict_set(&file->Context->metadata, pair->first.c_str(), pair->second.c_str(), 0);
  FSettings.Metadata.clear();

  if ((format->flags & AVFMT_NEEDNUMBER) && !av_filename_number_test(file->Url.c_str())) {
    SetLastErrorText(ErrorText(name, AVERROR(EDOM)));
    return -1;
  }
  if (!(format->flags & AVFMT_NOFILE)) {
    const bool existed = PathExists(file->Url);
    const int opened = file->Target.Open(file->Context, file->Url);
    if (opened < 0) {
      SetLastErrorText(ErrorText(name, opened));
      return -1;
    }
    file->CreatedFile = !existed;
  }
  PrepareOutputFile(*file);
  FOutputFiles.push_back(file);
  if (join && FInputFiles.size() > 1) {
    FJoinMode = true;
    int64_t total = 0;
    for (const auto& input : FInputFiles)
      if (input->Context->duration != AV_NOPTS_VALUE && input->Context->duration > 0)
        total += input->Context->duration;
    SetExpectedDuration(total == 0 ? -1 : total);
    for (size_t i = 1; i < FInputFiles.size() && OutputFileCount() < MaxFiles; ++i)
      FOutputFiles.push_back(file);
  }
  return OutputFileCount();
}

void TCustomFFmpeg::PrepareOutputFile(TOutputFile& file) {
  AVFormatContext* context = file.Context;
  context->max_delay = static_cast<int>(std::lround(FSettings.MuxMaxDelay * 1000000.0));
  SetMuxerOption(context, "preload", std::lround(FSettings.MuxPreload * 1000000.0));
  if (FSettings.LoopOutput >= 0) SetMuxerOption(context, "loop", FSettings.LoopOutput);
  context->flags |= AVFMT_FLAG_NONBLOCK;
  ApplyFormatParameters(context);
  if (context->priv_data)
    for (const auto& [option, value] : FParams.PrivateOptions(context->oformat->name))
      av_opt_set(context->priv_data, option.c_str(), value.c_str(), 0);
  FSettings.StreamIds.fill(0);
}

} // namespace kavro
