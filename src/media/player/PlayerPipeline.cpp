// The player's media pipeline: the read thread, stream opening, the video and subtitle decode
// threads, the audio callback and the clocks that keep sound and pictures together.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "FFUtils.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "UnicodeProtocol.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"
#include "player/FFPlayer.h"
#include "player/SubtitleBlend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/tx.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
}

namespace kavro {
namespace {

// Enough for a second or more of HD at a high bit rate, and for the packets frame threads hold.
constexpr int64_t MaxQueueBytes = 64 << 20;
constexpr int64_t MinAudioQueueBytes = 0x50000;
constexpr int MinFramesQueued = 5;
constexpr int MinVideoPacketsQueued = 30;
// How far before a seek's target the reader starts when subtitles are shown, so that a subtitle that
// began before the key frame the target lies after is read again; what lies before the target is
// decoded and dropped.
constexpr int64_t SubtitleLookBack = 5000000;
constexpr double NoSyncThreshold = 10.0;
constexpr double MaxTimerLag = 0.1;
constexpr double SyncThreshold = 0.01;
constexpr int AudioDiffAverageCount = 20;
constexpr int SampleCorrectionPercent = 10;

void Sleep(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

TPlayContext::~TPlayContext() {
  for (TPictureSlot& slot : Pictures)
    av_frame_free(&slot.Picture);
  avfilter_graph_free(&Graph);
  swr_free(&Resampler);
  av_frame_free(&AudioFrame);
  av_packet_free(&AudioPacket);
  av_frame_free(&AudioView);
  av_frame_free(&SkipHeld);
  for (TSubtitleSlot& slot : Subtitles) {
    if (!slot.Subtitle) continue;
    avsubtitle_free(slot.Subtitle);
    av_freep(&slot.Subtitle);
  }
  av_tx_uninit(&Spectrum);
}

bool ReusePicture(AVFrame*& picture, int width, int height) {
  if (picture && picture->width == width && picture->height == height) return true;
  av_frame_free(&picture);
  picture = av_frame_alloc();
  if (!picture) return false;
  picture->width = width;
  picture->height = height;
  picture->format = AV_PIX_FMT_YUV420P;
  if (av_frame_get_buffer(picture, 0) < 0) av_frame_free(&picture);
  return picture != nullptr;
}

// ---- clocks ----

double TCustomPlayer::AudioClockNow(TPlayContext* context) const {
  const double bytesPerSecond = 2.0 * context->AudioChannels * context->AudioRate;
  const double buffered = context->AudioSilence ? 0.0 : static_cast<double>(context->AudioBytesPending());
  return context->AudioClock - (bytesPerSecond > 0 ? buffered / bytesPerSecond : 0);
}

double TCustomPlayer::VideoClockNow(TPlayContext* context) const {
  if (context->Paused) return context->VideoCurrentPts;
  return context->VideoCurrentPtsDrift + WallSeconds();
}

double TCustomPlayer::MasterClock(TPlayContext* context) const {
  if (SyncType == 1) return context->VideoStream ? VideoClockNow(context) : AudioClockNow(context);
  if (SyncType == 0) return context->AudioStream ? AudioClockNow(context) : VideoClockNow(context);
  return WallSeconds();
}

double TCustomPlayer::TargetTime(TPlayContext* context, double pts) {
  double delay = pts - context->LastFramePts;
  if (std::isnan(context->LastFramePts) || delay <= 0 || delay >= NoSyncThreshold)
    delay = context->LastFrameDelay;
  else
    context->LastFrameDelay = delay;
  context->LastFramePts = pts;
  const bool videoIsSlave = (SyncType == 0 && context->AudioStream) || SyncType == 2;
  if (videoIsSlave) {
    const double difference = VideoClockNow(context) - MasterClock(context);
    const double threshold = std::max(SyncThreshold, delay);
    if (std::fabs(difference) < NoSyncThreshold) {
      if (difference <= -threshold)
        delay = 0;
      else if (difference >= threshold)
        delay *= 2;
    }
  }
  context->FrameTimer += delay;
  // Far behind (a slow hook or decoder): the timer catches up with now, or every picture after
  // this one would be late and dropped, and the picture would freeze.
  const double now = WallSeconds();
  if (context->FrameTimer < now - MaxTimerLag) context->FrameTimer = now;
  return context->FrameTimer;
}

// ---- read thread ----

void TCustomPlayer::ReadThread(TPlayContext* context) {
  AVFormatContext* format = avformat_alloc_context();
  format->interrupt_callback = {
      [](void* opaque) { return static_cast<TPlayContext*>(opaque)->StopRequested ? 1 : 0; }, context};
  AVDictionary* options = nullptr;
  if (FrameWidth > 0 && FrameHeight > 0)
    av_dict_set(&options, "video_size", Format("%dx%d", FrameWidth, FrameHeight).c_str(), 0);
  const AVInputFormat* forced = ForceFormat.empty() ? nullptr : av_find_input_format(ForceFormat.c_str());
  const int opened = OpenInputContext(&format, context->FileName, forced, &options);
  av_dict_free(&options);
  bool ok = false;
  if (opened < 0) {
    SetError(ErrorText(WideToNarrow(context->FileName), opened));
  } else {
    context->Format = format;
    context->IsImageSequence = std::string(format->iformat->name) == "image2";
    int found;
    {
      std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
      found = avformat_find_stream_info(format, nullptr);
    }
    if (found < 0) {
      SetError(WideToNarrow(context->FileName) + ": could not find codec parameters");
    } else {
      context->StartTime = format->start_time == AV_NOPTS_VALUE ? 0 : format->start_time;
      context->Duration = format->duration == AV_NOPTS_VALUE ? -1 : format->duration;
      if (StartTime != NoTimeValue) {
        const int64_t target = StartTime + context->StartTime;
        context->SeekTarget = target / 1000000.0;
        if (avformat_seek_file(format, -1, INT64_MIN, target, INT64_MAX, 0) < 0)
          TFFLogger::Instance().LogFmt(this, llError, "%s: could not seek to position %0.3f",
                                       WideToNarrow(context->FileName).c_str(), target / 1000000.0);
      }
      ok = OpenStreams(context);
      context->BitRate = format->bit_rate;
      if (context->VideoStream) {
        context->VideoWidth = context->VideoStream->codecpar->width;
        context->VideoHeight = context->VideoStream->codecpar->height;
      }
    }
  }
  context->OpenState = ok ? 1 : -1;
  AVPacket* packet = av_packet_alloc();
  bool endOfFile = false;
  while (ok && !context->StopRequested) {
    if (context->Paused != context->PreviousPaused) {
      context->PreviousPaused = context->Paused;
      if (context->Paused)
        context->LastReadPauseResult = av_read_pause(format);
      else
        av_read_play(format);
    }
    if (context->SeekPending) {
      int64_t target = 0;
      int64_t relative = 0;
      int flags = 0;
      {
        // Taken whole: a request that arrives meanwhile replaces this one and is served next.
        std::lock_guard lock(context->SeekLock);
        target = context->SeekPosition;
        relative = context->SeekRelative;
        flags = context->SeekFlags;
        context->SeekPending = false;
      }
      const bool lookBack = context->SubtitleIndex >= 0 && !(flags & AVSEEK_FLAG_BYTE);
      const int64_t readFrom =
          lookBack ? std::min(target, std::max(target - SubtitleLookBack, context->StartTime)) : target;
      const int64_t minimum = !lookBack && relative > 0 ? target - relative + 2 : INT64_MIN;
      const int64_t maximum = lookBack ? readFrom : relative < 0 ? target - relative - 2 : INT64_MAX;
      int result = avformat_seek_file(format, -1, minimum, readFrom, maximum, flags);
      if (result < 0) result = av_seek_frame(format, -1, readFrom, flags);
      if (result < 0) result = av_seek_frame(format, -1, readFrom, flags ^ AVSEEK_FLAG_BACKWARD);
      if (result < 0) {
        TFFLogger::Instance().LogFmt(this, llError, "%s: error while seeking",
                                     WideToNarrow(context->FileName).c_str());
        if (context->VideoStream) FFrameReady.SetEvent();
      } else {
        const std::pair<TPacketQueue*, bool> queues[] = {
            {&context->AudioQueue, context->AudioStream != nullptr},
            {&context->VideoQueue, context->VideoStream != nullptr},
            {&context->SubtitleQueue, context->SubtitleIndex >= 0}};
        context->SeekTarget = flags & AVSEEK_FLAG_BYTE ? NAN : target / 1000000.0;
        // While paused the sound decodes nothing, so its clock is where the seek went.
        if (context->Paused && !(flags & AVSEEK_FLAG_BYTE) && context->AudioStream)
          context->AudioClock = target / 1000000.0;
        if (context->VideoStream) {
          // Before the flush marker goes in: the decode thread may take it at once and must find
          // these cleared, or a waiting seek never hears of its picture.
          context->QueuesFlushed = false;
          FFrameReady.ResetEvent();
        }
        for (const auto& [queue, open] : queues) {
          if (!open) continue;
          queue->Flush();
          queue->PutFlush();
        }
        if (context->VideoStream) {
          // Pictures from before the seek leave the queue at once, so that a decoder waiting for a
          // free slot reaches the flush.
          std::lock_guard lock(context->PictureLock);
          for (TPictureSlot& slot : context->Pictures)
            slot.Target = 0;
          context->PictureChanged.notify_all();
        }
      }
      context->EndLogged = false;
      context->EndReached = false;
      context->EndReported = false;
      context->ShowAfterSeek = true;
      {
        std::lock_guard lock(context->SeekLock); // a newer request keeps its waiter waiting
        if (!context->SeekPending) {
          FSeekDone.SetEvent();
          if (!context->VideoStream) FSeeking = false;
        }
      }
      endOfFile = false;
    }
    const int64_t queued =
        context->AudioQueue.Size() + context->VideoQueue.Size() + context->SubtitleQueue.Size();
    const bool audioFull = !context->AudioStream || context->AudioQueue.Size() > MinAudioQueueBytes;
    const bool videoFull = !context->VideoStream || context->VideoQueue.Count() > MinVideoPacketsQueued;
    const bool subtitleFull = context->SubtitleIndex < 0 || context->SubtitleQueue.Count() > MinFramesQueued;
    if (queued > MaxQueueBytes || (audioFull && videoFull && subtitleFull)) {
      Sleep(10);
      continue;
    }
    if (endOfFile || (format->pb && avio_feof(format->pb))) {
      if (context->VideoStream) {
        // An empty packet drains the decoder of its last pictures.
        packet->data = nullptr;
        packet->size = 0;
        packet->stream_index = context->VideoIndex;
        context->VideoQueue.Put(packet);
      }
      Sleep(10);
      if (context->AudioQueue.Size() + context->VideoQueue.Size() + context->SubtitleQueue.Size() == 0)
        context->EndReached = true;
      continue;
    }
    context->ReadInProgress = true;
    const int read = av_read_frame(format, packet);
    context->ReadInProgress = false;
    if (context->StopRequested) break;
    if (read < 0) {
      if (read == AVERROR(EAGAIN)) {
        Sleep(10);
        continue;
      }
      // At the end the video decoder tells when its last picture is out; other errors may leave it
      // waiting for packets that never come.
      if (context->VideoStream && read != AVERROR_EOF) FFrameReady.SetEvent();
      if (!context->IsImageSequence && !context->EndLogged.exchange(true)) {
        if (read == AVERROR_EOF)
          TFFLogger::Instance().LogFmt(this, llInfo, "reach end of file: %s",
                                       WideToNarrow(context->FileName).c_str());
        else
          TFFLogger::Instance().LogFmt(this, llError, "error #%d while reading file: %s", read,
                                       WideToNarrow(context->FileName).c_str());
      }
      if (read == AVERROR_EOF) endOfFile = true;
      if (format->pb && format->pb->error) break;
      if (!endOfFile) Sleep(100);
      continue;
    }
    if (packet->stream_index == context->AudioIndex)
      context->AudioQueue.Put(packet);
    else if (packet->stream_index == context->VideoIndex)
      context->VideoQueue.Put(packet);
    else if (packet->stream_index == context->SubtitleIndex)
      context->SubtitleQueue.Put(packet);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  // Nobody reads any more: a seek asked for from now on, or left pending, returns at once, and no
  // picture is coming for it.
  context->ReadLoopEnded = true;
  while (!context->StopRequested) {
    {
      std::lock_guard lock(context->SeekLock); // the owner may store a request right now
      context->SeekPending = false;
      FSeekDone.SetEvent();
    }
    FFrameReady.SetEvent();
    FSeeking = false;
    Sleep(20);
  }
  CloseStreams(context);
  if (context->Format)
    CloseInputContext(&context->Format);
  else
    avformat_free_context(format);
  if (!ok) {
    if (FContext.load() == context) PostLoopEvent(leQuit);
    context->OpenState = -2;
  }
}

bool TCustomPlayer::OpenStreams(TPlayContext* context) {
  AVFormatContext* format = context->Format;
  int chosen[AVMEDIA_TYPE_NB];
  std::fill(std::begin(chosen), std::end(chosen), -1);
  for (unsigned i = 0; i < format->nb_streams; ++i)
    format->streams[i]->discard = AVDISCARD_ALL;
  // The libraries' choice counts the frames seen while probing, as a player wants.
  for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE}) {
    const int wanted = WantedStream[type];
    if (wanted >= 0) {
      int count = 0;
      for (unsigned i = 0; i < format->nb_streams; ++i)
        if (format->streams[i]->codecpar->codec_type == type && count++ == wanted)
          chosen[type] = static_cast<int>(i);
    } else {
      chosen[type] = av_find_best_stream(
          format, type, -1, type == AVMEDIA_TYPE_VIDEO ? -1 : chosen[AVMEDIA_TYPE_VIDEO], nullptr, 0);
    }
  }
  if (!DisableAudio && chosen[AVMEDIA_TYPE_AUDIO] >= 0) OpenStream(context, chosen[AVMEDIA_TYPE_AUDIO]);
  if (!DisableVideo && chosen[AVMEDIA_TYPE_VIDEO] >= 0) OpenStream(context, chosen[AVMEDIA_TYPE_VIDEO]);
  if (!DisableVideo && chosen[AVMEDIA_TYPE_SUBTITLE] >= 0) OpenStream(context, chosen[AVMEDIA_TYPE_SUBTITLE]);
  if (!context->VideoStream && !DisableDisplay) context->AudioDisplayMode = 2;
  if (!context->AudioStream && !context->VideoStream) {
    SetError(WideToNarrow(context->FileName) + ": could not open codecs, no stream to play.");
    return false;
  }
  return true;
}

bool TCustomPlayer::OpenStream(TPlayContext* context, int index) {
  AVFormatContext* format = context->Format;
  if (index < 0 || index >= static_cast<int>(format->nb_streams)) return false;
  AVStream* stream = format->streams[index];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
  if (!codec || avcodec_parameters_to_context(codec, stream->codecpar) < 0) {
    avcodec_free_context(&codec);
    TFFLogger::Instance().Log(this, llError, "avcodec_open() failed.");
    return false;
  }
  codec->pkt_timebase = stream->time_base;
  if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    // HD needs the decoder's own threads: as many as it sees fit, by frame or by slice.
    codec->thread_count = 0;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  }
  codec->workaround_bugs = 1;
  codec->err_recognition = 1;
  codec->error_concealment = 3;
  int result;
  {
    std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
    result = avcodec_open2(codec, decoder, nullptr);
  }
  if (result < 0) {
    avcodec_free_context(&codec);
    TFFLogger::Instance().Log(this, llError, "avcodec_open() failed.");
    return false;
  }
  stream->discard = AVDISCARD_DEFAULT;
  switch (stream->codecpar->codec_type) {
  case AVMEDIA_TYPE_AUDIO: {
    const int channels = codec->ch_layout.nb_channels > 0 ? std::min(2, codec->ch_layout.nb_channels) : 2;
    SDL_AudioSpec wanted{};
    SDL_AudioSpec obtained{};
    wanted.freq = codec->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = 1024;
    wanted.callback = AudioCallback;
    wanted.userdata = context;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!device) {
      // Without a device the pictures keep their own clock.
      TFFLogger::Instance().Log(this, llError, std::string("SDL_OpenAudio() failed: ") + SDL_GetError());
      stream->discard = AVDISCARD_ALL;
      std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
      avcodec_free_context(&codec);
      return false;
    }
    context->AudioDevice = device;
    context->AudioDecoder = codec;
    context->AudioStream = stream;
    context->AudioIndex = index;
    context->AudioChannels = obtained.channels;
    context->AudioRate = obtained.freq;
    context->AudioHardwareBuffer = static_cast<int>(obtained.size);
    context->AudioDuration = stream->duration == AV_NOPTS_VALUE
                                 ? -1
                                 : av_rescale_q(stream->duration, stream->time_base, {1, 1000000});
    context->AudioBufferSize = context->AudioBufferIndex = 0;
    if (!context->AudioPacket) context->AudioPacket = av_packet_alloc();
    context->Player = this;
    context->DriftCoefficient = std::exp(std::log(0.01) / AudioDiffAverageCount);
    context->DriftCount = 0;
    context->DriftThreshold = 2.0 * 1024 / context->AudioRate;
    context->AudioQueue.PutFlush();
    SDL_PauseAudioDevice(device, 0);
    break;
  }
  case AVMEDIA_TYPE_VIDEO:
    context->VideoDecoder = codec;
    context->VideoStream = stream;
    context->VideoIndex = index;
    context->VideoQueue.PutFlush();
    context->VideoThread = std::thread(&TCustomPlayer::VideoThread, this, context);
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    context->SubtitleDecoder = codec;
    context->SubtitleIndex = index;
    context->SubtitleQueue.PutFlush();
    context->SubtitleThread = std::thread(&TCustomPlayer::SubtitleThread, this, context);
    break;
  default: {
    std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
    avcodec_free_context(&codec);
    return false;
  }
  }
  return true;
}

void TCustomPlayer::CloseStreams(TPlayContext* context) {
  context->AudioQueue.Abort();
  context->VideoQueue.Abort();
  context->SubtitleQueue.Abort();
  context->PictureChanged.notify_all();
  {
    std::lock_guard lock(context->SubtitleLock);
    context->SubtitleChanged.notify_all();
  }
  if (context->AudioDevice) SDL_CloseAudioDevice(context->AudioDevice);
  context->AudioDevice = 0;
  if (context->VideoThread.joinable()) context->VideoThread.join();
  if (context->SubtitleThread.joinable()) context->SubtitleThread.join();
  std::lock_guard lock(TFFmpegLoader::Instance().CodecLock());
  avcodec_free_context(&context->AudioDecoder);
  avcodec_free_context(&context->VideoDecoder);
  avcodec_free_context(&context->SubtitleDecoder);
  context->AudioIndex = context->VideoIndex = context->SubtitleIndex = -1;
  context->AudioDuration = -1;
}

// ---- video ----

bool TCustomPlayer::BuildVideoGraph(TPlayContext* context, const AVFrame* frame) {
  // Pictures like these are not tried again once their graph failed: it is said once, not per picture.
  context->GraphWidth = frame->width;
  context->GraphHeight = frame->height;
  context->GraphFormat = frame->format;
  avfilter_graph_free(&context->Graph);
  context->GraphInput = context->GraphOutput = nullptr;
  context->Graph = avfilter_graph_alloc();
  if (!context->Graph) return false;
  context->Graph->scale_sws_opts = av_strdup(Format("flags=%d", ScalerFlags).c_str());
  const AVRational timeBase = context->VideoStream->time_base;
  AVRational aspect = frame->sample_aspect_ratio;
  if (aspect.num <= 0 || aspect.den <= 0) aspect = {0, 1};
  const std::string arguments =
      Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame->width, frame->height,
             frame->format, timeBase.num, timeBase.den, aspect.num, aspect.den);
  if (avfilter_graph_create_filter(&context->GraphInput, avfilter_get_by_name("buffer"), "ffplay_input",
                                   arguments.c_str(), nullptr, context->Graph) < 0 ||
      avfilter_graph_create_filter(&context->GraphOutput, avfilter_get_by_name("buffersink"), "ffplay_output",
                                   nullptr, nullptr, context->Graph) < 0)
    return false;
  const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE};
  if (av_opt_set_int_list(context->GraphOutput, "pix_fmts", formats, AV_PIX_FMT_NONE,
                          AV_OPT_SEARCH_CHILDREN) < 0)
    return false;
  int result;
  if (VideoFilters.empty()) {
    result = avfilter_link(context->GraphInput, 0, context->GraphOutput, 0);
  } else {
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = context->GraphInput;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = context->GraphOutput;
    result = avfilter_graph_parse_ptr(context->Graph, VideoFilters.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
  }
  if (result >= 0) result = avfilter_graph_config(context->Graph, nullptr);
  if (result < 0) {
    TFFLogger::Instance().Log(this, llError, ErrorText("video filters", result));
    return false;
  }
  if (const std::string unsafe = UnsafeFilterText(context->Graph); !unsafe.empty()) {
    TFFLogger::Instance().Log(this, llError, "video filters: " + unsafe);
    return false;
  }
  return true;
}

// The next decoded picture into frame: 1 to show it, 0 when there is none to show (flushed, dropped
// by the skip factor, or the decoder wants more), -1 when the queue was aborted.
int TCustomPlayer::DecodeVideo(TPlayContext* context, AVPacket* packet, AVFrame* frame) {
  AVCodecContext* decoder = context->VideoDecoder;
  for (;;) {
    const int received = avcodec_receive_frame(decoder, frame);
    if (received == 0) {
      const int64_t reordered = frame->pts;
      const int64_t dts = frame->pkt_dts;
      if (reordered != AV_NOPTS_VALUE) {
        if (reordered <= context->LastPts) ++context->FaultyPts;
        context->LastPts = reordered;
      }
      if (dts != AV_NOPTS_VALUE) {
        if (dts <= context->LastDts) ++context->FaultyDts;
        context->LastDts = dts;
      }
      if (reordered != AV_NOPTS_VALUE &&
          (DecoderReorderPts == 1 || (DecoderReorderPts != 0 && context->FaultyPts < context->FaultyDts) ||
           dts == AV_NOPTS_VALUE))
        frame->pts = reordered;
      else
        frame->pts = dts != AV_NOPTS_VALUE ? dts : 0;
      if (!std::isnan(context->VideoSkipUntil)) {
        // On the way to a seek's target: keep the latest picture in case the file ends before it.
        const double frameTime = av_q2d(av_inv_q(context->VideoStream->avg_frame_rate));
        const double half = std::isfinite(frameTime) && frameTime > 0 ? frameTime / 2 : 0.02;
        if (frame->pts * av_q2d(context->VideoStream->time_base) + half < context->VideoSkipUntil) {
          av_frame_unref(context->SkipHeld);
          av_frame_move_ref(context->SkipHeld, frame);
          continue;
        }
        context->VideoSkipUntil = NAN;
        av_frame_unref(context->SkipHeld);
      }
      context->SkipIndex += 1;
      const double skipFactor = context->SkipFactor;
      if (context->SkipIndex >= skipFactor) {
        context->SkipIndex -= std::max(1.0, skipFactor);
        return 1;
      }
      av_frame_unref(frame);
      return 0;
    }
    if (received == AVERROR_EOF) {
      // A drained decoder takes packets again once flushed.
      avcodec_flush_buffers(decoder);
      if (!std::isnan(context->VideoSkipUntil) && context->SkipHeld->buf[0]) {
        // The target lies past the last picture: show the last one.
        context->VideoSkipUntil = NAN;
        av_frame_move_ref(frame, context->SkipHeld);
        return 1;
      }
      // Drained: no picture is coming, so nobody should wait for one.
      if (context->QueuesFlushed) FFrameReady.SetEvent();
    }
    const TPacketQueue::TGetResult got = context->VideoQueue.Get(packet, true);
    if (got == TPacketQueue::grAborted) return -1;
    if (got == TPacketQueue::grFlush) {
      avcodec_flush_buffers(decoder);
      context->VideoSkipUntil = context->SeekTarget;
      av_frame_unref(context->SkipHeld);
      {
        std::unique_lock lock(context->PictureLock);
        for (TPictureSlot& slot : context->Pictures)
          slot.Target = 0;
        context->PictureChanged.wait(
            lock, [context] { return context->PictureCount == 0 || context->VideoQueue.Aborted(); });
        context->VideoCurrentPosition = -1;
        context->FaultyPts = context->FaultyDts = 0;
        context->LastPts = context->LastDts = INT64_MIN;
        context->LastFramePts = NAN;
        context->LastFrameDelay = 0;
        context->FrameTimer = WallSeconds();
        context->SkipFactor = 1;
        context->SkipIndex = 0;
      }
      context->ShowNext = true;
      context->QueuesFlushed = true;
      return 0;
    }
    if (got != TPacketQueue::grPacket) continue;
    const int sent = avcodec_send_packet(decoder, packet->data ? packet : nullptr);
    av_packet_unref(packet);
    if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN))
      TFFLogger::Instance().LogFmt(this, llVerbose, "video decoding error %d", sent);
  }
}

void TCustomPlayer::VideoThread(TPlayContext* context) {
  if (!context->SkipHeld) context->SkipHeld = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  AVFrame* filtered = av_frame_alloc();
  for (;;) {
    while (context->Paused && !context->VideoQueue.Aborted() && !context->PausedForSeek &&
           !context->StepFrames)
      Sleep(10);
    const int decoded = DecodeVideo(context, packet, frame);
    if (decoded < 0) break;
    if (decoded == 0) continue;
    if (context->ShowAfterSeek && context->QueuesFlushed) {
      context->ShowAfterSeek = false;
      context->PausedForSeek = false;
    }
    if ((frame->width != context->GraphWidth || frame->height != context->GraphHeight ||
         frame->format != context->GraphFormat) &&
        !BuildVideoGraph(context, frame))
      avfilter_graph_free(&context->Graph);
    if (!context->Graph) {
      av_frame_unref(frame);
      continue;
    }
    const int64_t position = frame->pkt_pos;
    if (av_buffersrc_add_frame(context->GraphInput, frame) < 0) {
      av_frame_unref(frame);
      continue;
    }
    bool aborted = false;
    while (av_buffersink_get_frame(context->GraphOutput, filtered) >= 0) {
      const double pts =
          filtered->pts == AV_NOPTS_VALUE ? 0 : filtered->pts * av_q2d(context->VideoStream->time_base);
      const int queued = QueuePicture(context, filtered, pts, position);
      av_frame_unref(filtered);
      if (queued < 0) {
        aborted = true;
        break;
      }
      // Only a picture from after the last seek's flush is the one a waiting Seek wants.
      if (context->QueuesFlushed) FFrameReady.SetEvent();
      context->EndReported = false;
      if (FSeeking && !context->SeekPending) FSeeking = false;
      if (context->StepFrames > 1) {
        context->StepFrames = 0;
        PostState(psPause);
      } else if (context->StepFrames == 1) {
        context->StepFrames = 2;
      }
    }
    if (aborted) break;
  }
  av_frame_free(&filtered);
  av_frame_free(&frame);
  av_packet_free(&packet);
}

int TCustomPlayer::QueuePicture(TPlayContext* context, AVFrame* frame, double pts, int64_t position) {
  {
    std::unique_lock lock(context->PictureLock);
    if (context->PictureCount >= PictureQueueSize && !context->RefreshPending)
      context->SkipFactor = std::max(0.95, context->SkipFactor * 0.95);
    context->PictureChanged.wait(lock, [context] {
      return context->PictureCount < PictureQueueSize || context->VideoQueue.Aborted();
    });
    if (context->VideoQueue.Aborted()) return -1;
  }
  RunHook(context, frame, pts);
  // The source's own size, odd or not: the chroma planes round up.
  const int width = frame->width;
  const int height = frame->height;
  std::lock_guard lock(context->PictureLock); // the event loop and CurrentFrame read the slots
  TPictureSlot& slot = context->Pictures[context->PictureWrite];
  AVFrame*& picture = slot.Picture;
  if (!ReusePicture(picture, width, height)) return 0;
  picture->sample_aspect_ratio = frame->sample_aspect_ratio;
  const uint8_t* source[4] = {frame->data[0], frame->data[1], frame->data[2], nullptr};
  int sourceStride[4] = {frame->linesize[0], frame->linesize[1], frame->linesize[2], 0};
  if (VerticalFlip) {
    source[0] += static_cast<ptrdiff_t>(frame->linesize[0]) * (height - 1);
    for (int plane = 1; plane < 3; ++plane)
      source[plane] += static_cast<ptrdiff_t>(frame->linesize[plane]) * ((height + 1) / 2 - 1);
    for (int plane = 0; plane < 3; ++plane)
      sourceStride[plane] = -sourceStride[plane];
  }
  av_image_copy(picture->data, picture->linesize, source, sourceStride, AV_PIX_FMT_YUV420P, width, height);
  slot.Pts = pts;
  slot.Blended = false;
  slot.Position = position;
  slot.Target = TargetTime(context, pts);
  const double frameDuration = av_q2d(av_inv_q(context->VideoStream->avg_frame_rate));
  context->VideoClock = pts + (std::isfinite(frameDuration) && frameDuration > 0 ? frameDuration : 0);
  context->PictureWrite = (context->PictureWrite + 1) % PictureQueueSize;
  ++context->PictureCount;
  return 0;
}

void TCustomPlayer::SubtitleThread(TPlayContext* context) {
  AVPacket* packet = av_packet_alloc();
  // Decoding goes on while paused: the queue holds only a few subtitles, and a seek while paused
  // must find the subtitle of the picture it shows.
  for (;;) {
    const TPacketQueue::TGetResult got = context->SubtitleQueue.Get(packet, true);
    if (got == TPacketQueue::grAborted) break;
    if (got == TPacketQueue::grFlush) {
      avcodec_flush_buffers(context->SubtitleDecoder);
      std::lock_guard lock(context->SubtitleLock);
      for (; context->SubtitleCount > 0; --context->SubtitleCount) {
        avsubtitle_free(context->Subtitles[context->SubtitleRead].Subtitle);
        context->SubtitleRead = (context->SubtitleRead + 1) % SubtitleQueueSize;
      }
      continue;
    }
    if (got != TPacketQueue::grPacket) continue;
    {
      std::unique_lock lock(context->SubtitleLock);
      context->SubtitleChanged.wait(lock, [context] {
        return context->SubtitleCount < SubtitleQueueSize || context->SubtitleQueue.Aborted();
      });
      if (context->SubtitleQueue.Aborted()) break;
    }
    // The slot at the write index is free and only this thread writes it.
    TSubtitleSlot& slot = context->Subtitles[context->SubtitleWrite];
    if (!slot.Subtitle) slot.Subtitle = static_cast<AVSubtitle*>(av_mallocz(sizeof(AVSubtitle)));
    int gotSubtitle = 0;
    if (slot.Subtitle &&
        avcodec_decode_subtitle2(context->SubtitleDecoder, slot.Subtitle, &gotSubtitle, packet) >= 0 &&
        gotSubtitle) {
      if (slot.Subtitle->format == 0) {
        for (unsigned i = 0; i < slot.Subtitle->num_rects; ++i)
          ConvertPalette(*slot.Subtitle->rects[i]);
        const AVStream* stream = context->Format->streams[context->SubtitleIndex];
        slot.Pts = packet->pts == AV_NOPTS_VALUE ? 0 : packet->pts * av_q2d(stream->time_base);
        std::lock_guard lock(context->SubtitleLock);
        context->SubtitleWrite = (context->SubtitleWrite + 1) % SubtitleQueueSize;
        ++context->SubtitleCount;
      } else {
        // Text subtitles are not drawn by the preview.
        avsubtitle_free(slot.Subtitle);
      }
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
}

// ---- audio ----

int TCustomPlayer::DecodeAudio(TPlayContext* context) {
  AVCodecContext* decoder = context->AudioDecoder;
  if (!context->AudioFrame) context->AudioFrame = av_frame_alloc();
  AVFrame* frame = context->AudioFrame;
  AVPacket* packet = context->AudioPacket;
  for (;;) {
    const int received = avcodec_receive_frame(decoder, frame);
    if (received == 0 && !std::isnan(context->AudioSkipUntil)) {
      // On the way to a seek's target: sound that ends before it is not played.
      const double end = frame->pts == AV_NOPTS_VALUE
                             ? INFINITY
                             : frame->pts * av_q2d(context->AudioStream->time_base) +
                                   static_cast<double>(frame->nb_samples) / std::max(1, frame->sample_rate);
      if (end < context->AudioSkipUntil) {
        av_frame_unref(frame);
        continue;
      }
      context->AudioSkipUntil = NAN;
    }
    if (received == 0) {
      const int channels = context->AudioChannels;
      if (!context->Resampler || frame->format != context->ResamplerFormat ||
          frame->sample_rate != context->ResamplerRate ||
          frame->ch_layout.nb_channels != context->ResamplerChannels) {
        swr_free(&context->Resampler);
        AVChannelLayout output;
        av_channel_layout_default(&output, channels);
        if (swr_alloc_set_opts2(&context->Resampler, &output, AV_SAMPLE_FMT_S16, context->AudioRate,
                                &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(context->Resampler) < 0) {
          const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format));
          TFFLogger::Instance().LogFmt(this, llError, "Cannot convert %s sample format to %s sample format",
                                       name ? name : "?", "s16");
          swr_free(&context->Resampler);
          av_frame_unref(frame);
          continue;
        }
        context->ResamplerFormat = frame->format;
        context->ResamplerRate = frame->sample_rate;
        context->ResamplerChannels = frame->ch_layout.nb_channels;
      }
      const int capacity = swr_get_out_samples(context->Resampler, frame->nb_samples);
      // Room for the synchroniser to stretch the buffer by a tenth.
      const size_t needed = static_cast<size_t>(capacity + capacity / 8 + 16) * 2 * channels;
      if (context->AudioBuffer.size() < needed) context->AudioBuffer.resize(needed);
      uint8_t* target[1] = {context->AudioBuffer.data()};
      const int samples = swr_convert(context->Resampler, target, capacity,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
      if (frame->pts != AV_NOPTS_VALUE)
        context->AudioClock = frame->pts * av_q2d(context->AudioStream->time_base);
      av_frame_unref(frame);
      if (samples < 0) {
        TFFLogger::Instance().Log(this, llError, "av_audio_convert() failed");
        continue;
      }
      if (samples == 0) continue;
      const int size = samples * 2 * channels;
      context->AudioClock =
          context->AudioClock + static_cast<double>(size) / (2.0 * channels * context->AudioRate);
      return size;
    }
    if (received == AVERROR_EOF) avcodec_flush_buffers(decoder);
    if (context->Paused) return -1;
    const TPacketQueue::TGetResult got = context->AudioQueue.Get(packet, false);
    if (got == TPacketQueue::grAborted || got == TPacketQueue::grEmpty) return -1;
    if (got == TPacketQueue::grFlush) {
      avcodec_flush_buffers(decoder);
      context->AudioSkipUntil = context->SeekTarget;
      continue;
    }
    if (packet->pos >= 0) context->AudioPacketPosition = packet->pos;
    if (avcodec_send_packet(decoder, packet) < 0)
      TFFLogger::Instance().Log(this, llInfo, "avcodec_decode_audio2() failed");
    av_packet_unref(packet);
  }
}

int TCustomPlayer::SynchronizeAudio(TPlayContext* context, int size) {
  const bool audioIsSlave = (SyncType == 1 && context->VideoStream) || SyncType == 2;
  if (!audioIsSlave) return size;
  const int frameBytes = 2 * context->AudioChannels;
  const double difference = AudioClockNow(context) - MasterClock(context);
  if (!(std::fabs(difference) < NoSyncThreshold)) {
    context->DriftCount = 0;
    context->DriftSum = 0;
    return size;
  }
  context->DriftSum = difference + context->DriftCoefficient * context->DriftSum;
  if (context->DriftCount < AudioDiffAverageCount) {
    ++context->DriftCount;
    return size;
  }
  if (std::fabs(context->DriftSum * (1.0 - context->DriftCoefficient)) < context->DriftThreshold) return size;
  int wanted = size + static_cast<int>(std::lround(difference * context->AudioRate)) * frameBytes;
  const int frames = size / frameBytes;
  const int minimum = frames * (100 - SampleCorrectionPercent) / 100 * frameBytes;
  const int maximum = frames * (100 + SampleCorrectionPercent) / 100 * frameBytes;
  wanted = std::clamp(wanted, minimum, maximum);
  if (wanted > size) {
    // Repeat the last sample frame; the buffer was made with room for a tenth more.
    const size_t room = std::min(static_cast<size_t>(wanted), context->AudioBuffer.size());
    uint8_t* data = context->AudioBuffer.data();
    for (size_t at = size; at + frameBytes <= room; at += frameBytes)
      std::memcpy(data + at, data + size - frameBytes, frameBytes);
    wanted = static_cast<int>(room / frameBytes * frameBytes);
  }
  return wanted;
}

void TCustomPlayer::AudioCallback(void* userdata, uint8_t* stream, int length) {
  TPlayContext* context = static_cast<TPlayContext*>(userdata);
  TCustomPlayer* player = context->Player;
  context->CallbackTime = av_gettime_relative();
  std::memset(stream, 0, static_cast<size_t>(length));
  while (length > 0) {
    if (context->AudioBufferIndex >= context->AudioBufferSize) {
      int size = player->DecodeAudio(context);
      if (size < 0) {
        // Silence while nothing can be decoded.
        if (context->AudioBuffer.size() < 1024) context->AudioBuffer.resize(1024);
        std::memset(context->AudioBuffer.data(), 0, 1024);
        size = 1024;
        context->AudioSilence = true;
      } else {
        context->AudioSilence = false;
        if (context->AudioDisplayMode) {
          const int16_t* samples = reinterpret_cast<const int16_t*>(context->AudioBuffer.data());
          int at = context->SampleRingIndex;
          for (int i = 0; i < size / 2; ++i) {
            context->SampleRing[at].store(samples[i], std::memory_order_relaxed);
            at = (at + 1) % SampleRingSize;
          }
          context->SampleRingIndex = at;
        }
        size = player->SynchronizeAudio(context, size);
      }
      context->AudioBufferSize = static_cast<size_t>(size);
      context->AudioBufferIndex = 0;
    }
    const int chunk =
        static_cast<int>(std::min<size_t>(length, context->AudioBufferSize - context->AudioBufferIndex));
    if (!player->Mute)
      SDL_MixAudioFormat(stream, context->AudioBuffer.data() + context->AudioBufferIndex, AUDIO_S16SYS,
                         static_cast<Uint32>(chunk),
                         std::clamp(player->AudioVolume.load(), 0, SDL_MIX_MAXVOLUME));
    length -= chunk;
    stream += chunk;
    context->AudioBufferIndex += static_cast<size_t>(chunk);
  }
}

} // namespace kavro
