// The second half of a conversion: choosing the input to read, time-stamp corrections, limits, join
// mode, draining, trailers and the end of the run.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>

#include "FFUtils.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "UnicodeProtocol.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/time.h>
}

namespace kavro {
namespace {

const AVRational Microseconds{1, 1000000};

void CloseCodecs(std::vector<AVCodecContext**>& codecs) {
  for (AVCodecContext** codec : codecs) {
    if (*codec) av_freep(&(*codec)->stats_in); // a second pass's statistics belong to us
    std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
    avcodec_free_context(codec);
  }
  codecs.clear();
}

} // namespace

void TCustomFFmpeg::RunConversion() {
  FRun = std::make_unique<TRunState>();
  FRun->CpuLimit.Start(FSettings.CpuTimeLimit);
  SetUpRun();
  MainLoop();
  FinishRun();
}

int TCustomFFmpeg::ChooseInputFile() {
  TRunState& run = *FRun;
  if (FJoinMode) {
    for (const auto& ost : run.OutputStreams) {
      if (ost->FileIndex != run.JoinFile) continue;
      const int type = ost->Setup->MediaType;
      const int limit = type == AVMEDIA_TYPE_VIDEO   ? FSettings.VideoMaxFrames
                        : type == AVMEDIA_TYPE_AUDIO ? FSettings.AudioMaxFrames
                                                     : FSettings.DataMaxFrames;
      if (ost->FrameNumber >= limit) return -1;
    }
    return run.JoinFile;
  }
  double inputMin = 1e100;
  double outputMin = 1e100;
  int chosen = -1;
  for (const auto& ost : run.OutputStreams) {
    const TInputStreamState& ist = *run.InputStreams[static_cast<size_t>(ost->SourceIndex)];
    const TInputFileState& file = run.InputFiles[static_cast<size_t>(ist.FileIndex)];
    if (ist.PastRecordingTime || file.NoPacket) continue;
    const double outputTime = ost->MuxTime;
    const double inputTime = static_cast<double>(ist.Pts) / 1000000.0;
    if (!file.Eof) {
      if (inputTime < inputMin) {
        inputMin = inputTime;
        if (FSettings.InputSync) chosen = ist.FileIndex;
      }
      if (outputTime < outputMin) {
        outputMin = outputTime;
        if (!FSettings.InputSync) chosen = ist.FileIndex;
      }
    }
    const int type = ost->Setup->MediaType;
    const int limit = type == AVMEDIA_TYPE_VIDEO   ? FSettings.VideoMaxFrames
                      : type == AVMEDIA_TYPE_AUDIO ? FSettings.AudioMaxFrames
                                                   : FSettings.DataMaxFrames;
    if (ost->FrameNumber >= limit) return -1;
  }
  return chosen;
}

bool TCustomFFmpeg::EndOfInput(int fileIndex) {
  TRunState& run = *FRun;
  run.InputFiles[static_cast<size_t>(fileIndex)].Eof = true;
  // The demuxer ends a file cut short as if it ended there: the output would hold only its first part.
  const TInputFile& input = *FInputFiles[static_cast<size_t>(fileIndex)];
  struct stat now {};
  if (input.OpenedSize >= 0 && stat(input.LocalPath.c_str(), &now) == 0 && now.st_size < input.OpenedSize)
    throw FFmpegException(input.LocalPath + ": the file became shorter while it was converted (" +
                          std::to_string(input.OpenedSize) + " bytes, then " + std::to_string(now.st_size) +
                          "); the output is not kept");
  if (!FJoinMode) return FSettings.Shortest;
  // Join mode: drain this input's decoders into the encoders, which carry on with the next input.
  const TInputFileState& file = run.InputFiles[static_cast<size_t>(fileIndex)];
  const bool last = fileIndex + 1 >= InputFileCount();
  for (int i = file.FirstStream; i < file.FirstStream + file.StreamCount; ++i) {
    TInputStreamState& ist = *run.InputStreams[static_cast<size_t>(i)];
    if (!ist.DecodingNeeded) continue;
    ProcessInputPacket(i, nullptr);
    if (last) FlushEncoders(ist);
    ist.Drained = true;
  }
  if (last) return true;
  const size_t groupSize = run.OutputStreams.size() / FOutputFiles.size();
  double endTime = 0;
  for (size_t i = 0; i < run.OutputStreams.size(); ++i) {
    TOutputStreamState& ost = *run.OutputStreams[i];
    if (ost.FileIndex != fileIndex) continue;
    TOutputStreamState& next = *run.OutputStreams[i + groupSize];
    next.SyncOpts = ost.SyncOpts;
    next.FrameNumber = ost.FrameNumber;
    next.MuxTime = ost.MuxTime;
    // Samples not yet encoded go on with the next input.
    if (ost.Fifo && next.Fifo) {
      const int left = av_audio_fifo_size(ost.Fifo);
      if (left > 0 && ost.Encoder) {
        std::vector<uint8_t*> planes(static_cast<size_t>(std::max(1, ost.Encoder->ch_layout.nb_channels)));
        uint8_t** data = nullptr;
        if (av_samples_alloc_array_and_samples(&data, nullptr, ost.Encoder->ch_layout.nb_channels, left,
                                               ost.Encoder->sample_fmt, 0) >= 0) {
          av_audio_fifo_read(ost.Fifo, reinterpret_cast<void**>(data), left);
          av_audio_fifo_write(next.Fifo, reinterpret_cast<void**>(data), left);
          av_freep(&data[0]);
          av_freep(&data);
        }
      }
    }
    // Where the group ended: what was written, or what was sent to an encoder that still holds some.
    const double sent = ost.Encoder ? static_cast<double>(ost.SyncOpts) * av_q2d(ost.Encoder->time_base) : 0;
    endTime = std::max({endTime, ost.MuxTime, sent});
    ost.ReportFlag = false;
  }
  TInputFile& nextInput = *FInputFiles[static_cast<size_t>(fileIndex + 1)];
  const int64_t shift = std::llround(endTime * 1000000.0);
  nextInput.TsOffset += shift;
  if (nextInput.StartCut != INT64_MIN) nextInput.StartCut += shift;
  run.JoinFile = fileIndex + 1;
  return false;
}

void TCustomFFmpeg::MainLoop() {
  TRunState& run = *FRun;
  run.TimerStart = run.LastReportTime = av_gettime();
  run.JoinFile = 0;
  AVPacket* packet = run.Packet;
  while (!StopRequested()) {
    WaitWhilePaused();
    if (StopRequested()) break;
    if (run.CpuLimit.Exceeded()) throw FFmpegException("CPU time limit exceeded");
    const int fileIndex = ChooseInputFile();
    if (fileIndex < 0) {
      if (FJoinMode || run.NoPacketCount == 0) break;
      for (TInputFileState& file : run.InputFiles)
        file.NoPacket = false;
      run.NoPacketCount = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (FSettings.LimitFileSize && FOutputFiles[0]->Context->pb &&
        avio_tell(FOutputFiles[0]->Context->pb) > FSettings.LimitFileSize)
      break;
    TInputFile& input = *FInputFiles[static_cast<size_t>(fileIndex)];
    TInputFileState& fileState = run.InputFiles[static_cast<size_t>(fileIndex)];
    const int read = av_read_frame(input.Context, packet);
    if (read == AVERROR(EAGAIN)) {
      fileState.NoPacket = true;
      ++run.NoPacketCount;
      continue;
    }
    if (read < 0) {
      if (input.LoopInput &&
          avformat_seek_file(input.Context, -1, INT64_MIN,
                             input.Context->start_time == AV_NOPTS_VALUE ? 0 : input.Context->start_time,
                             INT64_MAX, 0) >= 0) {
        // Looping input: the next pass continues after the last time stamp.
        input.TsOffset += input.Context->duration > 0 ? input.Context->duration : 0;
        continue;
      }
      if (EndOfInput(fileIndex)) break;
      continue;
    }
    for (TInputFileState& file : run.InputFiles)
      file.NoPacket = false;
    run.NoPacketCount = 0;
    if (FSettings.DoPacketDump)
      av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, packet, FSettings.DoHexDump,
                       input.Context->streams[packet->stream_index]);
    struct TUnref {
      AVPacket* Packet;
      ~TUnref() { av_packet_unref(Packet); }
    } unref{packet};
    if (packet->stream_index >= fileState.StreamCount) continue;
    const int istIndex = fileState.FirstStream + packet->stream_index;
    TInputStreamState& ist = *run.InputStreams[static_cast<size_t>(istIndex)];
    if (ist.Discard) continue;
    const AVRational timeBase = ist.Stream->time_base;
    const int64_t offset = av_rescale_q(input.TsOffset, Microseconds, timeBase);
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
    if (ist.TsScale != 0) {
      if (packet->dts != AV_NOPTS_VALUE) packet->dts = std::llround(packet->dts * ist.TsScale);
      if (packet->pts != AV_NOPTS_VALUE) packet->pts = std::llround(packet->pts * ist.TsScale);
    }
    if (packet->dts != AV_NOPTS_VALUE && ist.NextPts != AV_NOPTS_VALUE &&
        (input.Context->iformat->flags & AVFMT_TS_DISCONT) && !FSettings.CopyTimestamps) {
      const int64_t packetDts = av_rescale_q(packet->dts, timeBase, Microseconds);
      const int64_t delta = packetDts - ist.NextPts;
      if (std::llabs(delta) > static_cast<int64_t>(FSettings.DtsDeltaThreshold * 1000000.0) ||
          packetDts + 1 < ist.Pts) {
        input.TsOffset -= delta;
        if (Verbose >= 3)
          TFFLogger::Instance().LogFmt(this, llVerbose, "timestamp discontinuity %lld, new offset= %lld",
                                       static_cast<long long>(delta), static_cast<long long>(input.TsOffset));
        const int64_t shift = av_rescale_q(delta, Microseconds, timeBase);
        packet->dts -= shift;
        if (packet->pts != AV_NOPTS_VALUE) packet->pts -= shift;
      }
    }
    if (FSettings.RecordingTime != INT64_MAX && packet->pts != AV_NOPTS_VALUE &&
        av_compare_ts(packet->pts, timeBase, WindowEnd(fileIndex), Microseconds) >= 0) {
      ist.PastRecordingTime = true;
      continue;
    }
    if (ProcessInputPacket(istIndex, packet) < 0) {
      const std::string message =
          Format("Error while decoding stream #%d.%d (%s)", ist.FileIndex, ist.StreamIndex,
                 MediaTypeName(ist.Stream->codecpar->codec_type).c_str());
      if (FSettings.ExitOnError) throw FFmpegException(message);
      if (Verbose >= 0) TFFLogger::Instance().Log(this, llVerbose, message);
      continue;
    }
    const int64_t now = av_gettime();
    if (now - run.LastReportTime > ProgressIntervalUs) {
      run.LastReportTime = now;
      BuildProgressReport(false, fileIndex);
    }
  }
}

void TCustomFFmpeg::FinishRun() {
  TRunState& run = *FRun;
  for (size_t i = 0; i < run.InputStreams.size(); ++i) {
    TInputStreamState& ist = *run.InputStreams[i];
    if (!ist.DecodingNeeded || ist.Drained) continue;
    ProcessInputPacket(static_cast<int>(i), nullptr);
    FlushEncoders(ist);
    ist.Drained = true;
  }
  const size_t outputs = FJoinMode ? 1 : FOutputFiles.size();
  std::vector<int> results(outputs);
  for (size_t f = 0; f < outputs; ++f)
    results[f] = av_write_trailer(FOutputFiles[f]->Context);
  BuildProgressReport(true, -1);
  // Writing into a full disk may show only at the trailer, or when the file is closed.
  std::string failure;
  for (size_t f = 0; f < outputs; ++f) {
    TOutputFile& file = *FOutputFiles[f];
    const int closed = file.CloseIO();
    const int result = results[f] < 0 ? results[f] : closed;
    if (result < 0 && failure.empty()) failure = ErrorText(WideToNarrow(URLToFileName(file.Url)), result);
  }
  // A run that ends without a single packet in an output (a start after the input's end, say) made
  // an empty file, not a conversion.
  for (size_t f = 0; f < outputs && failure.empty() && !StopRequested(); ++f) {
    int64_t packets = 0;
    for (const auto& ost : run.OutputStreams)
      if (ost->File == FOutputFiles[f].get()) packets += ost->PacketsWritten;
    if (packets == 0)
      failure =
          Format("Output file #%d (%s) received no data: nothing of the input lies within its start time "
                 "and duration",
                 static_cast<int>(f), WideToNarrow(URLToFileName(FOutputFiles[f]->Url)).c_str());
  }
  // Only a run that wrote everything (or was stopped and wrote what it had) replaces the old files.
  for (size_t f = 0; f < outputs && failure.empty(); ++f) {
    TOutputFile& file = *FOutputFiles[f];
    const int committed = file.Target.Commit();
    const std::string path = WideToNarrow(URLToFileName(file.Url));
    if (committed == AVERROR(ENOENT))
      failure = path + ": its folder was removed while it was written (or the file was); nothing is kept";
    else if (committed < 0)
      failure = ErrorText(path, committed);
  }
  CloseOpenedEncoders();
  CloseOpenedDecoders();
  if (!failure.empty()) throw FFmpegException(failure);
  SetFinished(!StopRequested());
}

void TCustomFFmpeg::CloseOpenedEncoders() {
  if (FRun) CloseCodecs(FRun->OpenEncoders);
}

void TCustomFFmpeg::CloseOpenedDecoders() {
  if (FRun) CloseCodecs(FRun->OpenDecoders);
}

void TCustomFFmpeg::FreeRunTimeState() {
  FRun.reset();
  ReleaseHookModules(FHookModules);
  FHookModulesOn = false;
  FHookPicture.Reset();
  FPreviewPicture.Reset();
  FPreviewer.reset(); // the preview window closes with its task
  // A run that wrote nothing leaves no empty file of its own making behind.
  std::set<TOutputFile*> seen;
  for (const auto& file : FOutputFiles) {
    if (!seen.insert(file.get()).second) continue;
    file->CloseIO();
    file->Target.Discard(); // a failed run leaves the old file as it was
    if (file->DiskSize() == 0) file->RemoveCreatedFile();
  }
}

} // namespace kavro
