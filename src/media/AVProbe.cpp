#include "AVProbe.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "FFUtils.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "UnicodeProtocol.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kavro {
namespace {

const char* MetadataValue(const AVDictionary* metadata, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
  return entry ? entry->value : nullptr;
}

std::string MetadataText(const AVDictionary* metadata, const char* key) {
  const char* value = MetadataValue(metadata, key);
  return value ? value : "";
}

// The leading number of a metadata value such as "2010-05-01" or "3/12"; -1 when there is none.
int MetadataNumber(const AVDictionary* metadata, const char* key) {
  const char* value = MetadataValue(metadata, key);
  if (!value || *value < '0' || *value > '9') return -1;
  return std::atoi(value);
}

// The container's recording time ("creation_time", ISO 8601 UTC) in seconds since 1970; -1 when none.
int64_t CreationTime(const AVDictionary* metadata) {
  const char* value = MetadataValue(metadata, "creation_time");
  if (!value) return -1;
  std::tm fields{};
  if (!strptime(value, "%Y-%m-%dT%H:%M:%S", &fields) && !strptime(value, "%Y-%m-%d %H:%M:%S", &fields))
    return -1;
  return static_cast<int64_t>(timegm(&fields));
}

// A stream's time base with a zero denominator read as its numerator, and a zero one as 1.
AVRational SafeTimeBase(AVRational base) {
  if (base.den == 0) base.den = base.num;
  if (base.den == 0) base.den = 1;
  return base;
}

int64_t StreamTimeToMicroseconds(int64_t value, AVRational base) {
  return value == AV_NOPTS_VALUE ? -1 : av_rescale_q(value, SafeTimeBase(base), AVRational{1, 1000000});
}

} // namespace

std::string MetadataKeyName(const std::string& key) {
  static const std::pair<const char*, const char*> Keys[] = {
      {"TALB", "album"},     {"TAL", "album"},      {"TCOM", "composer"},  {"TCON", "genre"},
      {"TCO", "genre"},      {"TCOP", "copyright"}, {"TDRL", "date"},      {"TENC", "encoder"},
      {"TEN", "encoder"},    {"TIT2", "title"},     {"TT2", "title"},      {"TLAN", "language"},
      {"TPE1", "artist"},    {"TP1", "artist"},     {"TPOS", "disc"},      {"TPUB", "publisher"},
      {"TRCK", "track"},     {"TRK", "track"},      {"TSOA", "albumsort"}, {"TSOP", "authorsort"},
      {"TSOT", "titlesort"}, {"TYER", "year"}};
  for (const auto& [frame, name] : Keys)
    if (key == frame) return name;
  return key;
}

std::string CodecDescription(const AVStream* stream) {
  const AVCodecParameters* codec = stream->codecpar;
  if (const AVCodec* decoder = avcodec_find_decoder(codec->codec_id)) {
    if (decoder->long_name && *decoder->long_name) return Format("%s(%s)", decoder->name, decoder->long_name);
    return decoder->name;
  }
  if (codec->codec_id == AV_CODEC_ID_MPEG2TS) return "mpeg2ts";
  if (const char* name = avcodec_get_name(codec->codec_id); name && codec->codec_id != AV_CODEC_ID_NONE)
    return name;
  const uint32_t tag = codec->codec_tag;
  const auto printable = [](uint32_t c) { return c >= 32 && c <= 126; };
  if (printable(tag & 0xFF) && printable((tag >> 8) & 0xFF) && printable((tag >> 16) & 0xFF) &&
      printable(tag >> 24))
    return Format("%c%c%c%c / 0x%04X", static_cast<char>(tag & 0xFF), static_cast<char>((tag >> 8) & 0xFF),
                  static_cast<char>((tag >> 16) & 0xFF), static_cast<char>(tag >> 24), tag);
  return Format("0x%04x", tag);
}

TCustomAVProbe::~TCustomAVProbe() {
  CloseFile();
}

void TCustomAVProbe::CheckLibraries() const {
  const TFFmpegLoader& loader = TFFmpegLoader::Instance();
  if (!loader.LibLoaded(liAVCodec)) throw Exception("LibAVCodec not loaded.");
  if (!loader.LibLoaded(liAVFormat)) throw Exception("LibAVFormat not loaded.");
  if (!loader.LibLoaded(liAVUtil)) throw Exception("LibAVUtil not loaded.");
  if (!loader.LibLoaded(liSWScale)) throw Exception("LibSwScale not loaded.");
}

void TCustomAVProbe::ResetCounts() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
}

void TCustomAVProbe::CountStreams() {
  ResetCounts();
  if (!FContext) return;
  FStreamCount = static_cast<int>(FContext->nb_streams);
  FProgramCount = static_cast<int>(FContext->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int i = 0; i < FStreamCount; ++i) {
    switch (FContext->streams[i]->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (FAudioStreamCount++ == 0) FFirstAudioStreamIndex = i;
      break;
    case AVMEDIA_TYPE_VIDEO:
      if (FVideoStreamCount++ == 0) FFirstVideoStreamIndex = i;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (FSubtitleStreamCount++ == 0) FFirstSubtitleStreamIndex = i;
      break;
    default:
      break;
    }
  }
  const int64_t containerSize = FContext->pb ? avio_size(FContext->pb) : -1;
  FFileSize = containerSize;
  if (containerSize <= 0 && FContext->url && FContext->iformat &&
      !(FContext->iformat->flags & AVFMT_NOFILE)) {
    struct stat info;
    const std::wstring name = URLToFileName(FContext->url);
    const std::string path = IsUnicodeURL(FContext->url) ? WideToUtf8(name) : std::string(FContext->url);
    FFileSize = stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }
}

bool TCustomAVProbe::LoadFile(const std::wstring& fileName, const std::string& forceFormat) {
  CheckLibraries();
  CloseFile();
  const AVInputFormat* format = nullptr;
  if (!forceFormat.empty()) {
    format = av_find_input_format(forceFormat.c_str());
    if (!format) {
      FLastErrMsg = "Unknown input format: " + forceFormat;
      return false;
    }
  }
  AVFormatContext* context = avformat_alloc_context();
  context->flags |= AVFMT_FLAG_NONBLOCK;
  const int result = OpenInputContext(&context, fileName, format, nullptr);
  if (result < 0) {
    FLastErrMsg = ErrorText(WideToNarrow(fileName), result);
    TFFLogger::Instance().Log(this, llError, FLastErrMsg);
    return false;
  }
  FContext = context;
  FOwnsContext = true;
  int found;
  {
    std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
    found = avformat_find_stream_info(FContext, nullptr);
  }
  if (found < 0) {
    FLastErrMsg = WideToNarrow(fileName) + ": could not find codec parameters";
    CloseFile();
    return false;
  }
  CountStreams();
  FForceFormat = forceFormat;
  return true;
}

void TCustomAVProbe::SetFormatContext(AVFormatContext* context) {
  CheckLibraries();
  CloseFile();
  FOwnsContext = false;
  FContext = context;
  CountStreams();
}

void TCustomAVProbe::CloseFile() {
  FForceFormat.clear();
  if (FOwnsContext) CloseInputContext(&FContext);
  FContext = nullptr;
  FOwnsContext = false;
  ResetCounts();
}

std::wstring TCustomAVProbe::FileName() const {
  return FContext && FContext->url ? URLToFileName(FContext->url) : std::wstring();
}

std::string TCustomAVProbe::FormatName() const {
  return FContext && FContext->iformat ? FContext->iformat->name : "";
}

void TCustomAVProbe::Fail(const std::string& message, int level) {
  FLastErrMsg = message;
  TFFLogger::Instance().Log(this, static_cast<TLogLevel>(level), message);
}

void TCustomAVProbe::GetFileInfo(TFileStreamInfo& info) {
  info = TFileStreamInfo();
  if (!FContext) {
    Fail("file not loaded.", llWarning);
    return;
  }
  info.StartTime = FContext->start_time == AV_NOPTS_VALUE ? -1 : FContext->start_time;
  info.Duration = FContext->duration == AV_NOPTS_VALUE ? -1 : FContext->duration;
  info.BitRate = static_cast<int>(FContext->bit_rate);
  info.TimeStamp = CreationTime(FContext->metadata);
  info.Year = MetadataNumber(FContext->metadata, "year");
  if (info.Year < 0) info.Year = MetadataNumber(FContext->metadata, "date");
  info.Track = MetadataNumber(FContext->metadata, "track");
  info.Title = MetadataText(FContext->metadata, "title");
  info.Author = MetadataText(FContext->metadata, "author");
  if (info.Author.empty()) info.Author = MetadataText(FContext->metadata, "artist");
  info.Copyright = MetadataText(FContext->metadata, "copyright");
  info.Comment = MetadataText(FContext->metadata, "comment");
  info.Album = MetadataText(FContext->metadata, "album");
  info.Genre = MetadataText(FContext->metadata, "genre");
}

const AVStream* TCustomAVProbe::StreamFor(int streamIndex, int mediaType, int firstIndex) {
  const char* kind = mediaType == AVMEDIA_TYPE_AUDIO ? "audio" : "video";
  if (FContext && streamIndex == -1) {
    if (firstIndex < 0) {
      Fail(Format("no %s stream.", kind), llError);
      return nullptr;
    }
    streamIndex = firstIndex;
  }
  if (!ValidStream(streamIndex)) return nullptr;
  const AVStream* stream = FContext->streams[streamIndex];
  if (stream->codecpar->codec_type != mediaType) {
    Fail(Format("stream #%d is not %s stream.", streamIndex, kind), llError);
    return nullptr;
  }
  return stream;
}

// Fills the part that audio and video records share.
template <class TInfo> static void FillCommon(const AVStream* stream, TInfo& info) {
  info.Language = MetadataText(stream->metadata, "language");
  info.CodecName = CodecDescription(stream);
  info.StreamStartTime = stream->start_time == AV_NOPTS_VALUE ? -1 : stream->start_time;
  info.StartTime = StreamTimeToMicroseconds(stream->start_time, stream->time_base);
  info.StreamDuration = stream->duration == AV_NOPTS_VALUE ? -1 : stream->duration;
  info.Duration = StreamTimeToMicroseconds(stream->duration, stream->time_base);
  info.BitRate = static_cast<int>(stream->codecpar->bit_rate);
}

void TCustomAVProbe::GetAudioInfo(int streamIndex, TAudioStreamInfo& info) {
  info = TAudioStreamInfo();
  const AVStream* stream = StreamFor(streamIndex, AVMEDIA_TYPE_AUDIO, FFirstAudioStreamIndex);
  if (!stream) return;
  FillCommon(stream, info);
  info.Channels = stream->codecpar->ch_layout.nb_channels;
  info.SampleRate = stream->codecpar->sample_rate;
  info.SampleFormat = stream->codecpar->format;
}

void TCustomAVProbe::GetVideoInfo(int streamIndex, TVideoStreamInfo& info) {
  info = TVideoStreamInfo();
  const AVStream* stream = StreamFor(streamIndex, AVMEDIA_TYPE_VIDEO, FFirstVideoStreamIndex);
  if (!stream) return;
  FillCommon(stream, info);
  const AVCodecParameters* codec = stream->codecpar;
  info.Height = codec->height;
  info.Width = codec->width;
  AVRational sample =
      stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio : codec->sample_aspect_ratio;
  if (codec->height > 0)
    info.AspectRatio = static_cast<float>((sample.num ? av_q2d(sample) : 1.0) * codec->width / codec->height);
  info.PixelFormat = codec->format;
  info.FrameRateNum = stream->r_frame_rate.num;
  info.FrameRateDen = stream->r_frame_rate.den;
}

bool TCustomAVProbe::ValidStream(int streamIndex) {
  if (!FContext) {
    Fail("file not loaded.", llWarning);
    return false;
  }
  if (streamIndex < 0 || streamIndex >= FStreamCount) {
    Fail(Format("stream index #%d is invalid.", streamIndex), llError);
    return false;
  }
  return true;
}

bool TCustomAVProbe::IsAudioStream(int streamIndex) {
  return ValidStream(streamIndex) &&
         FContext->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool TCustomAVProbe::IsVideoStream(int streamIndex) {
  return ValidStream(streamIndex) &&
         FContext->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

} // namespace kavro
