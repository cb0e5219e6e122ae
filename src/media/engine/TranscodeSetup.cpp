// The first half of a conversion: the run-time tables, the stream mapping, stream copy or encoder
// set-up for every output stream, opening the codecs, metadata, chapters and headers.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "FFUtils.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

// Which input stream serves best among candidates of the same type: the one the libraries would
// pick for its file (they count the frames seen while probing), then the most frames the
// container declares.
int64_t SourceScore(const TInputStreamState& ist, int bestOfFile) {
  const int64_t frames = ist.Stream->nb_frames > 0 ? ist.Stream->nb_frames : 0;
  return (ist.StreamIndex == bestOfFile ? (INT64_C(1) << 40) : 0) + frames;
}

// What the encoder tells the muxer beside its packets, such as the video buffer size a disc
// multiplexer needs for its rate control.
void CopyCodedSideData(const AVCodecContext& encoder, AVStream& stream) {
  for (int i = 0; i < encoder.nb_coded_side_data; ++i) {
    const AVPacketSideData& data = encoder.coded_side_data[i];
    uint8_t* copy = av_stream_new_side_data(&stream, data.type, data.size);
    if (!copy) throw FFmpegException("av_mallocz fail");
    std::copy_n(data.data, data.size, copy);
  }
}

} // namespace

void TCustomFFmpeg::SetUpRun() {
  TRunState& run = *FRun;
  // 1. Input tables.
  for (size_t f = 0; f < FInputFiles.size(); ++f) {
    TInputFile& input = *FInputFiles[f];
    TInputFileState state;
    state.FirstStream = static_cast<int>(run.InputStreams.size());
    state.StreamCount = static_cast<int>(input.Context->nb_streams);
    run.InputFiles.push_back(state);
    for (unsigned s = 0; s < input.Context->nb_streams; ++s) {
      auto ist = std::make_unique<TInputStreamState>();
      ist->FileIndex = static_cast<int>(f);
      ist->StreamIndex = static_cast<int>(s);
      ist->Stream = input.Context->streams[s];
      ist->ForcedDecoder = s < input.Decoders.size() ? input.Decoders[s] : nullptr;
      ist->TsScale = f < MaxFiles && s < MaxStreams ? FSettings.InputTsScale[f][s] : 0;
      if (FSettings.ReadAtNativeRate) ist->StartTime = av_gettime();
      run.InputStreams.push_back(std::move(ist));
    }
  }
  // 2. Output streams.
  int total = 0;
  for (size_t f = 0; f < FOutputFiles.size(); ++f) {
    TOutputFile& file = *FOutputFiles[f];
    if (file.Streams.empty()) {
      av_dump_format(file.Context, static_cast<int>(f), file.Url.c_str(), 1);
      throw FFmpegException(Format("Output file #%d does not contain any stream", static_cast<int>(f)));
    }
    total += static_cast<int>(file.Streams.size());
  }
  if (!FSettings.StreamMaps.empty() && static_cast<int>(FSettings.StreamMaps.size()) != total)
    throw FFmpegException("Number of stream maps must match number of output streams");
  for (const TStreamMap& map : FSettings.StreamMaps) {
    if (map.FileIndex < 0 || map.FileIndex >= InputFileCount() || map.StreamIndex < 0 ||
        map.StreamIndex >= run.InputFiles[map.FileIndex].StreamCount)
      throw FFmpegException(Format("Could not find input stream #%d.%d", map.FileIndex, map.StreamIndex));
    if (map.SyncFileIndex < 0 || map.SyncFileIndex >= InputFileCount() || map.SyncStreamIndex < 0 ||
        map.SyncStreamIndex >= run.InputFiles[map.SyncFileIndex].StreamCount)
      throw FFmpegException(
          Format("Could not find sync stream #%d.%d", map.SyncFileIndex, map.SyncStreamIndex));
  }
  for (size_t f = 0; f < FOutputFiles.size(); ++f) {
    TOutputFile& file = *FOutputFiles[f];
    for (size_t s = 0; s < file.Streams.size(); ++s) {
      auto ost = std::make_unique<TOutputStreamState>();
      ost->FileIndex = static_cast<int>(f);
      ost->StreamIndex = static_cast<int>(s);
      ost->File = &file;
      ost->Setup = &file.Streams[s];
      ost->Stream = file.Streams[s].Stream;
      run.OutputStreams.push_back(std::move(ost));
    }
  }
  // 3. Sources.
  MapOutputStreams();
  // 4. Stream copy or encoding.
  for (size_t i = 0; i < run.OutputStreams.size(); ++i) {
    TOutputStreamState& ost = *run.OutputStreams[i];
    TInputStreamState& ist = *run.InputStreams[static_cast<size_t>(ost.SourceIndex)];
    av_dict_copy(&ost.Stream->metadata, ist.Stream->metadata, AV_DICT_DONT_OVERWRITE);
    ost.Stream->disposition = ist.Stream->disposition;
    if (ost.Setup->StreamCopy)
      SetUpStreamCopy(ost, ist);
    else if (ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO)
      SetUpVideoEncoding(ost, ist);
    else if (ost.Setup->MediaType == AVMEDIA_TYPE_AUDIO)
      SetUpAudioEncoding(ost, ist);
    else if (ost.Setup->MediaType == AVMEDIA_TYPE_SUBTITLE) {
      ost.EncodingNeeded = true;
      ist.DecodingNeeded = true;
      ost.Setup->Codec->time_base = ist.Stream->time_base;
    } else
      throw FFmpegException("invalid codec_type of output stream");
    if (ost.EncodingNeeded) {
      ost.Encoder = ost.Setup->Codec;
      if (ost.Encoder->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))
        OpenPassLog(ost, static_cast<int>(i));
    }
  }
  // 5, 6. Codecs; the decoders first, since a subtitle encoder starts from its decoder's header.
  OpenDecoders();
  OpenEncoders();
  // 7. Initial time stamps.
  for (auto& ist : run.InputStreams) {
    const AVRational rate = ist->Stream->avg_frame_rate;
    const int delay = ist->Decoder ? ist->Decoder->has_b_frames : ist->Stream->codecpar->video_delay;
    ist->Pts = rate.num && rate.den ? -std::llround(delay * 1000000.0 / av_q2d(rate)) : 0;
    ist->NextPts = AV_NOPTS_VALUE;
    ist->IsStart = true;
  }
  for (auto& ost : run.OutputStreams)
    SetUpBitstreamFilters(*ost);
  // 8, 9, 10.
  CopyMetadataMaps();
  CopyChapters();
  WriteHeaders();
}

void TCustomFFmpeg::MapOutputStreams() {
  TRunState& run = *FRun;
  std::vector<int> bestOfFile[AVMEDIA_TYPE_NB];
  for (int type = 0; type < AVMEDIA_TYPE_NB; ++type)
    for (const auto& input : FInputFiles)
      bestOfFile[type].push_back(
          av_find_best_stream(input->Context, static_cast<AVMediaType>(type), -1, -1, nullptr, 0));
  int mapIndex = 0;
  for (auto& ostPointer : run.OutputStreams) {
    TOutputStreamState& ost = *ostPointer;
    const int type = ost.Setup->MediaType;
    int source = -1;
    int sync = -1;
    if (!FSettings.StreamMaps.empty()) {
      const TStreamMap& map = FSettings.StreamMaps[static_cast<size_t>(mapIndex++)];
      source = run.InputFiles[static_cast<size_t>(map.FileIndex)].FirstStream + map.StreamIndex;
      sync = run.InputFiles[static_cast<size_t>(map.SyncFileIndex)].FirstStream + map.SyncStreamIndex;
      const int sourceType = run.InputStreams[static_cast<size_t>(source)]->Stream->codecpar->codec_type;
      if (sourceType != type) {
        av_dump_format(ost.File->Context, ost.FileIndex, ost.File->Url.c_str(), 1);
        throw FFmpegException(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)",
                                     map.FileIndex, map.StreamIndex, MediaTypeName(sourceType).c_str(),
                                     ost.FileIndex, ost.StreamIndex, MediaTypeName(type).c_str()));
      }
    } else {
      int64_t bestScore = -1;
      for (size_t i = 0; i < run.InputStreams.size(); ++i) {
        const TInputStreamState& ist = *run.InputStreams[i];
        if (!ist.Discard || ist.Stream->discard == AVDISCARD_ALL || ist.Stream->codecpar->codec_type != type)
          continue;
        if (FJoinMode && ist.FileIndex != ost.FileIndex) continue;
        const int64_t score = SourceScore(ist, bestOfFile[type][static_cast<size_t>(ist.FileIndex)]);
        if (score > bestScore) {
          bestScore = score;
          source = static_cast<int>(i);
        }
      }
      if (source < 0 && !FJoinMode)
        for (size_t i = 0; i < run.InputStreams.size(); ++i) {
          const TInputStreamState& ist = *run.InputStreams[i];
          if (ist.Stream->discard != AVDISCARD_ALL && ist.Stream->codecpar->codec_type == type)
            source = static_cast<int>(i);
        }
      if (source < 0) {
        av_dump_format(ost.File->Context, ost.FileIndex, ost.File->Url.c_str(), 1);
        throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)",
                                     ost.FileIndex, ost.StreamIndex, MediaTypeName(type).c_str()));
      }
      sync = source;
    }
    run.InputStreams[static_cast<size_t>(source)]->Discard = false;
    ost.SourceIndex = source;
    ost.SyncIndex = sync;
    ost.ReportFlag = true;
  }
}

void TCustomFFmpeg::SetUpStreamCopy(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecParameters* input = ist.Stream->codecpar;
  AVCodecParameters* output = ost.Stream->codecpar;
  if (static_cast<int64_t>(input->extradata_size) + 8 > INT32_MAX)
    throw FFmpegException("icodec.extradata_size is invalid (too large)");
  const uint32_t wantedTag = ost.Setup->CodecTag;
  if (avcodec_parameters_copy(output, input) < 0) throw FFmpegException("av_mallocz fail");
  const AVCodecTag* const* tags = ost.File->Context->oformat->codec_tag;
  if (wantedTag) {
    output->codec_tag = wantedTag;
  } else if (!tags || av_codec_get_id(tags, input->codec_tag) == input->codec_id ||
             !av_codec_get_tag(tags, input->codec_id)) {
    output->codec_tag = input->codec_tag;
  } else {
    output->codec_tag = 0;
  }
  ost.Stream->time_base = ist.Stream->time_base;
  switch (input->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    if (FSettings.AudioVolume != 256)
      throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
    if ((output->block_align == 1 && output->codec_id == AV_CODEC_ID_MP3) ||
        output->codec_id == AV_CODEC_ID_AC3)
      output->block_align = 0;
    break;
  case AVMEDIA_TYPE_VIDEO:
    if (HasCustomHook())
      throw FFmpegException("-vcodec copy and CustomHook are incompatible (frames are not decoded)");
    if (HasHookModules())
      throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
    {
      std::lock_guard lock(PreviewLock());
      if (PreviewFlags)
        throw FFmpegException("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
    }
    ost.Stream->sample_aspect_ratio = ist.Stream->sample_aspect_ratio;
    ost.Stream->avg_frame_rate = ist.Stream->avg_frame_rate;
    ost.Stream->r_frame_rate = ist.Stream->r_frame_rate;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
  case AVMEDIA_TYPE_DATA:
  case AVMEDIA_TYPE_ATTACHMENT:
    break;
  default:
    throw FFmpegException("invalid codec_type of output stream");
  }
}

void TCustomFFmpeg::OpenPassLog(TOutputStreamState& ost, int index) {
  std::string name = (FSettings.PassLogFileName.empty() ? "ffmpeg2pass" : FSettings.PassLogFileName) + "-" +
                     std::to_string(index) + ".log";
  AVCodecContext* encoder = ost.Setup->Codec;
  if (encoder->flags & AV_CODEC_FLAG_PASS1) {
    ost.PassLogFile = std::fopen(name.c_str(), "wb");
    if (!ost.PassLogFile) throw FFmpegException("Cannot write log file " + name + " for pass-1 encoding");
    return;
  }
  FILE* file = std::fopen(name.c_str(), "rb");
  if (!file)
    throw FFmpegException("Cannot read file: Error reading log file \"" + name + "\" for pass-2 encoding");
  std::string text;
  char buffer[65536];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    text.append(buffer, read);
  const bool failed = std::ferror(file);
  std::fclose(file);
  if (failed)
    throw FFmpegException("Cannot read file: Error reading log file \"" + name + "\" for pass-2 encoding");
  encoder->stats_in = static_cast<char*>(av_malloc(text.size() + 1));
  if (!encoder->stats_in)
    throw FFmpegException("Could not allocate file buffer: Error reading log file \"" + name +
                          "\" for pass-2 encoding");
  std::copy(text.begin(), text.end(), encoder->stats_in);
  encoder->stats_in[text.size()] = '\0';
}

void TCustomFFmpeg::OpenEncoders() {
  TRunState& run = *FRun;
  const size_t groups = FJoinMode ? FOutputFiles.size() : 1;
  const size_t firstGroup = run.OutputStreams.size() / groups;
  for (size_t i = 0; i < firstGroup; ++i) {
    TOutputStreamState& ost = *run.OutputStreams[i];
    if (!ost.EncodingNeeded) continue;
    const std::string type = MediaTypeName(ost.Setup->MediaType);
    const AVCodec* encoder =
        ost.Setup->Encoder ? ost.Setup->Encoder : avcodec_find_encoder(ost.Encoder->codec_id);
    if (!encoder) {
      av_dump_format(ost.File->Context, ost.FileIndex, ost.File->Url.c_str(), 1);
      const std::string message = Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                                         ost.Encoder->codec_id, ost.FileIndex, ost.StreamIndex, type.c_str());
      TFFLogger::Instance().Log(this, llError, message);
      throw FFmpegException(message);
    }
    ost.SavedCodecId = ost.Encoder->codec_id;
    const AVCodecContext* decoder = run.InputStreams[static_cast<size_t>(ost.SourceIndex)]->Decoder;
    if (ost.Setup->MediaType == AVMEDIA_TYPE_SUBTITLE && decoder && decoder->subtitle_header &&
        !ost.Encoder->subtitle_header) {
      ost.Encoder->subtitle_header = static_cast<uint8_t*>(av_mallocz(decoder->subtitle_header_size + 1));
      if (!ost.Encoder->subtitle_header) throw FFmpegException("av_mallocz fail");
      std::copy_n(decoder->subtitle_header, decoder->subtitle_header_size, ost.Encoder->subtitle_header);
      ost.Encoder->subtitle_header_size = decoder->subtitle_header_size;
    }
    AVDictionary* options = nullptr;
    FParams.AddPrivateOptions(encoder->name, &options);
    int result;
    {
      std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
      result = avcodec_open2(ost.Encoder, encoder, &options);
    }
    std::string unused;
    for (const AVDictionaryEntry* entry = nullptr;
         (entry = av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX));)
      unused += std::string(unused.empty() ? "" : ", ") + entry->key;
    av_dict_free(&options);
    if (result >= 0) run.OpenEncoders.push_back(&ost.Setup->Codec);
    if (result < 0 || !unused.empty()) {
      av_dump_format(ost.File->Context, ost.FileIndex, ost.File->Url.c_str(), 1);
      if (!unused.empty())
        TFFLogger::Instance().Log(
            this, llError, "Option not used by the encoder " + std::string(encoder->name) + ": " + unused);
      const std::string message =
          Format("Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters "
                 "such as bit_rate, "
                 "rate, width or height. Please check error log message to find out more detail information.",
                 ost.FileIndex, ost.StreamIndex, type.c_str());
      TFFLogger::Instance().Log(this, llError, message);
      throw FFmpegException(message);
    }
    if (avcodec_parameters_from_context(ost.Stream->codecpar, ost.Encoder) < 0)
      throw FFmpegException("av_mallocz fail");
    if (ost.Setup->CodecTag) ost.Stream->codecpar->codec_tag = ost.Setup->CodecTag;
    CopyCodedSideData(*ost.Encoder, *ost.Stream);
    ost.Stream->time_base = ost.Encoder->time_base;
    if (ost.Setup->MediaType == AVMEDIA_TYPE_VIDEO) {
      ost.Stream->avg_frame_rate = ost.Encoder->framerate;
      ost.Stream->sample_aspect_ratio = ost.Encoder->sample_aspect_ratio;
    }
    run.GlobalHeaderBytes += ost.Encoder->extradata_size;
  }
}

void TCustomFFmpeg::OpenDecoders() {
  TRunState& run = *FRun;
  for (auto& istPointer : run.InputStreams) {
    TInputStreamState& ist = *istPointer;
    if (!ist.DecodingNeeded) continue;
    const AVCodecParameters* parameters = ist.Stream->codecpar;
    const std::string type = MediaTypeName(parameters->codec_type);
    const AVCodec* decoder =
        ist.ForcedDecoder ? ist.ForcedDecoder : avcodec_find_decoder(parameters->codec_id);
    if (!decoder) {
      const std::string message = Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                         parameters->codec_id, ist.FileIndex, ist.StreamIndex, type.c_str());
      TFFLogger::Instance().Log(this, llError, message);
      throw FFmpegException(message);
    }
    ist.Decoder = avcodec_alloc_context3(decoder);
    if (!ist.Decoder || avcodec_parameters_to_context(ist.Decoder, parameters) < 0)
      throw FFmpegException("av_mallocz fail");
    const TParameterTarget target = parameters->codec_type == AVMEDIA_TYPE_VIDEO   ? ptVideo
                                    : parameters->codec_type == AVMEDIA_TYPE_AUDIO ? ptAudio
                                                                                   : ptSubtitle;
    FParams.ApplyToCodec(ist.Decoder, target);
    ist.Decoder->pkt_timebase = ist.Stream->time_base;
    ist.Decoder->thread_count = FInputFiles[static_cast<size_t>(ist.FileIndex)]->Threads;
    int result;
    {
      std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
      result = avcodec_open2(ist.Decoder, decoder, nullptr);
    }
    run.OpenDecoders.push_back(&ist.Decoder);
    if (result < 0) {
      const std::string message = Format("Error while opening decoder for input stream #%d.%d (%s)",
                                         ist.FileIndex, ist.StreamIndex, type.c_str());
      TFFLogger::Instance().Log(this, llError, message);
      throw FFmpegException(message);
    }
  }
}

void TCustomFFmpeg::SetUpBitstreamFilters(TOutputStreamState& ost) {
  const auto failure = [&ost](const std::string& filterName) {
    return Format("%s failed for stream %d, codec %s", filterName.c_str(), ost.Stream->index,
                  ost.Encoder ? ost.Encoder->codec->name : "copy");
  };
  for (const TBitstreamFilterSpec& spec : ost.Setup->BitstreamFilters) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name(spec.Name.c_str());
    AVBSFContext* context = nullptr;
    if (!filter || av_bsf_alloc(filter, &context) < 0)
      throw FFmpegException("Unknown bitstream filter " + spec.Name);
    ost.BitstreamFilters.push_back(context);
    ost.FilteredPackets.push_back(av_packet_alloc());
    if (!ost.FilteredPackets.back()) throw FFmpegException("av_mallocz fail");
    const AVCodecParameters* input = ost.BitstreamFilters.size() > 1
                                         ? ost.BitstreamFilters[ost.BitstreamFilters.size() - 2]->par_out
                                         : ost.Stream->codecpar;
    if (const int copied = avcodec_parameters_copy(context->par_in, input); copied < 0)
      throw FFmpegException(ErrorText(failure(spec.Name), copied));
    context->time_base_in = ost.Stream->time_base;
    if (!spec.Arguments.empty() && av_set_options_string(context, spec.Arguments.c_str(), "=", ":") < 0)
      throw FFmpegException(failure(spec.Name));
    if (av_bsf_init(context) < 0) throw FFmpegException(failure(spec.Name));
  }
  if (ost.BitstreamFilters.empty()) return;
  // The stream takes what the last filter gives out.
  if (const int copied = avcodec_parameters_copy(ost.Stream->codecpar, ost.BitstreamFilters.back()->par_out);
      copied < 0)
    throw FFmpegException(ErrorText(failure(ost.Setup->BitstreamFilters.back().Name), copied));
}

void TCustomFFmpeg::CopyMetadataMaps() {
  for (const TMetaDataMap& map : FSettings.MetaDataMaps) {
    if (map.OutFile < 0 || map.OutFile >= OutputFileCount()) {
      throw FFmpegException(
          Format("Invalid output file index %d map_meta_data(%d,%d)", map.OutFile, map.OutFile, map.InFile));
    }
    if (map.InFile < 0 || map.InFile >= InputFileCount())
      throw FFmpegException(
          Format("Invalid input file index %d map_meta_data(%d,%d)", map.InFile, map.OutFile, map.InFile));
    av_dict_copy(&FOutputFiles[static_cast<size_t>(map.OutFile)]->Context->metadata,
                 FInputFiles[static_cast<size_t>(map.InFile)]->Context->metadata, AV_DICT_DONT_OVERWRITE);
  }
}

void TCustomFFmpeg::CopyChapters() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (size_t f = 0; f < FInputFiles.size(); ++f) {
    const AVFormatContext* input = FInputFiles[f]->Context;
    for (size_t o = 0; o < outputs; ++o) {
      AVFormatContext* output = FOutputFiles[o]->Context;
      for (unsigned c = 0; c < input->nb_chapters; ++c) {
        const AVChapter* chapter = input->chapters[c];
        const int64_t t0 = av_rescale_q(FSettings.StartTime - FInputFiles[f]->TsOffset,
                                        AVRational{1, 1000000}, chapter->time_base);
        const bool limited = FSettings.RecordingTime != INT64_MAX;
        const int64_t r =
            limited ? av_rescale_q(FSettings.RecordingTime, AVRational{1, 1000000}, chapter->time_base)
                    : INT64_MAX;
        if (chapter->end < t0) continue;
        if (limited && chapter->start > t0 + r) break;
        AVChapter** grown = static_cast<AVChapter**>(
            av_realloc_array(output->chapters, output->nb_chapters + 1, sizeof(AVChapter*)));
        if (!grown) throw FFmpegException("av_realloc fail");
        output->chapters = grown;
        auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!copy) throw FFmpegException("av_mallocz fail");
        copy->id = chapter->id;
        copy->time_base = chapter->time_base;
        copy->start = std::max<int64_t>(0, chapter->start - t0);
        copy->end = limited ? std::min(r, chapter->end - t0) : chapter->end - t0;
        av_dict_copy(&copy->metadata, chapter->metadata, 0);
        output->chapters[output->nb_chapters++] = copy;
      }
    }
  }
}

void TCustomFFmpeg::WriteHeaders() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (size_t f = 0; f < outputs; ++f) {
    TOutputFile& file = *FOutputFiles[f];
    if (avformat_write_header(file.Context, nullptr) < 0) {
      av_dump_format(file.Context, static_cast<int>(f), file.Url.c_str(), 1);
      const std::string message = Format(
          "Could not write header for output file #%d (incorrect codec parameters ?)", static_cast<int>(f));
      TFFLogger::Instance().Log(this, llError, message);
      throw FFmpegException(message);
    }
    file.HeaderWritten = true;
  }
  DumpStreamMapping();
}

void TCustomFFmpeg::DumpStreamMapping() {
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  for (size_t f = 0; f < outputs; ++f)
    av_dump_format(FOutputFiles[f]->Context, static_cast<int>(f), FOutputFiles[f]->Url.c_str(), 1);
  if (Verbose < 0) return;
  TFFLogger& logger = TFFLogger::Instance();
  logger.Log(this, llVerbose, "Stream mapping:");
  for (const auto& ost : FRun->OutputStreams) {
    const TInputStreamState& source = *FRun->InputStreams[static_cast<size_t>(ost->SourceIndex)];
    const std::string type = MediaTypeName(ost->Setup->MediaType);
    logger.LogFmt(this, llVerbose, "  Stream #%d.%d -> #%d.%d (%s)", source.FileIndex, source.StreamIndex,
                  FJoinMode ? 0 : ost->FileIndex, ost->StreamIndex, type.c_str());
    if (ost->SyncIndex != ost->SourceIndex) {
      const TInputStreamState& sync = *FRun->InputStreams[static_cast<size_t>(ost->SyncIndex)];
      logger.LogFmt(this, llVerbose, " [sync #%d.%d (%s)]", sync.FileIndex, sync.StreamIndex, type.c_str());
    }
  }
}

} // namespace kavro
