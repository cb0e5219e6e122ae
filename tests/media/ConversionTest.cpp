// Conversions from end to end on generated media, read back with the probe and a decoder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <cmath>
#include <mutex>

#include "AVProbe.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "fixtures/MediaReader.h"
#include "fixtures/Tone.h"
#include "platform/Event.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kavro::test {
namespace {

using fixtures::TMediaReader;
using fixtures::TPicture;
using ::testing::HasSubstr;

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

class ConversionTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Component.LoadAVLib(L""));
    Out = OutputFolder();
    Component.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
      std::lock_guard lock(FLock);
      if (info.TaskIndex >= 0)
        Results.push_back(info);
      else
        AllDone.SetEvent();
    };
    Component.OnProgress = [this](TObject*, TProgressInfo* info) {
      std::lock_guard lock(FLock);
      Progress.push_back(*info);
    };
    Component.TriggerEventInMainThread = false;
    TFFLogger::Instance().SetLogLevel(llVerbose);
    TFFLogger::Instance().SetTriggerEventInMainThread(false);
    TFFLogger::Instance().SetOnLog([this](TObject*, uint32_t, TLogLevel, const std::string& line) {
      std::lock_guard lock(FLock);
      Log.push_back(line);
    });
  }
  void TearDown() override {
    Component.ClearTasks();
    TFFLogger::Instance().SetOnLog(nullptr);
    TFFLogger::Instance().SetLogLevel(llInfo);
    TFFLogger::Instance().SetTriggerEventInMainThread(true);
  }
  // Adds one task from a fixture to an output of the test's folder; the task's index.
  int Add(const std::string& input, const std::string& output, TOutputOptions options = {},
          TInputOptions inputOptions = {}) {
    const int task = Component.AddTask(NarrowToWide(Fixture(input)), &inputOptions);
    EXPECT_GE(task, 0) << Component.LastErrMsg();
    if (task >= 0) {
      EXPECT_TRUE(Component.SetOutputFile(task, NarrowToWide(Out + output), &options))
          << Component.LastErrMsg();
    }
    return task;
  }
  // Joins two fixtures into one output of the test's folder and runs it; the termination.
  TTerminateInfo RunJoined(const std::string& first, const std::string& second, const std::string& output) {
    const int task = Component.AddTask(NarrowToWide(Fixture(first)));
    EXPECT_TRUE(Component.AddInput(task, NarrowToWide(Fixture(second)))) << Component.LastErrMsg();
    TOutputOptions options;
    options.Join = true;
    EXPECT_TRUE(Component.SetOutputFile(task, NarrowToWide(Out + output), &options))
        << Component.LastErrMsg();
    return Run();
  }
  // Runs every task in this thread; the termination of the first.
  TTerminateInfo Run() {
    Component.StartTask(0);
    std::lock_guard lock(FLock);
    return Results.empty() ? TTerminateInfo{-2, false, true, "no termination"} : Results[0];
  }
  bool Logged(const std::string& part) {
    std::lock_guard lock(FLock);
    return std::any_of(Log.begin(), Log.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
  }
  int64_t DurationOf(const std::string& output) {
    TAVProbe probe;
    if (!probe.LoadFile(NarrowToWide(Out + output))) return -1;
    TFileStreamInfo info;
    probe.GetFileInfo(info);
    return info.Duration;
  }
  std::vector<TPicture> Pictures(const std::string& output, int count) {
    TMediaReader reader;
    std::string error;
    if (!reader.Open(Out + output, error)) {
      ADD_FAILURE() << error;
      return {};
    }
    return reader.ReadPictures(reader.BestStream(AVMEDIA_TYPE_VIDEO), count);
  }
  std::vector<int16_t> Sound(const std::string& output, int& rate, int& channels) {
    TMediaReader reader;
    std::string error;
    if (!reader.Open(Out + output, error)) {
      ADD_FAILURE() << error;
      return {};
    }
    return reader.ReadSound(reader.BestStream(AVMEDIA_TYPE_AUDIO), 10, rate, channels);
  }

  TFFmpegVCL Component;
  TEvent AllDone; // the final termination arrived
  std::string Out;
  std::mutex FLock; // events may come from a worker
  std::vector<TTerminateInfo> Results;
  std::vector<TProgressInfo> Progress;
  std::vector<std::string> Log;
};

TEST_F(ConversionTest, ReencodesWithEveryFrameInPlace) {
  TOutputOptions options;
  options.VideoCodec = "libx264";
  options.AudioCodec = "aac";
  options.ExtOptions = "crf=18<CRLF>preset=ultrafast";
  Add("av.avi", "out.mp4", options);
  const TTerminateInfo result = Run();
  ASSERT_TRUE(result.Finished) << result.ExceptionMsg;
  EXPECT_FALSE(result.Exception);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "out.mp4")));
  TVideoStreamInfo video;
  probe.GetVideoInfo(-1, video);
  EXPECT_THAT(video.CodecName, HasSubstr("h264"));
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.FrameRateNum, 25);
  EXPECT_NEAR(video.Duration, 3000000, 40000);
  const std::vector<TPicture> pictures = Pictures("out.mp4", 100);
  ASSERT_EQ(pictures.size(), 75u);
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_EQ(pictures[i].Counter, static_cast<int>(i));
  int rate = 0, channels = 0;
  const std::vector<int16_t> sound = Sound("out.mp4", rate, channels);
  ASSERT_EQ(channels, 2);
  EXPECT_NEAR(fixtures::ToneFrequency(sound.data(), static_cast<int>(sound.size() / 2), 2, 0, rate), 440, 2);
  EXPECT_NEAR(fixtures::ToneFrequency(sound.data(), static_cast<int>(sound.size() / 2), 2, 1, rate), 880, 2);
}

TEST_F(ConversionTest, StreamCopyKeepsTheStreams) {
  TOutputOptions options;
  options.VideoCodec = "copy";
  options.AudioCodec = "copy";
  options.SubtitleCodec = "copy";
  Add("av.mkv", "copy.mkv", options);
  ASSERT_TRUE(Run().Finished);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "copy.mkv")));
  EXPECT_EQ(probe.VideoStreamCount(), 1);
  EXPECT_EQ(probe.AudioStreamCount(), 1);
  EXPECT_EQ(probe.SubtitleStreamCount(), 1);
  EXPECT_EQ(probe.FormatContext()->nb_chapters, 3u);
  EXPECT_EQ(Pictures("copy.mkv", 100).size(), 75u);
}

TEST_F(ConversionTest, RecordingTimeEndsTheRunAsFinished) {
  TOutputOptions options;
  options.RecordingTime = 1000000;
  Add("av.mp4", "short.avi", options);
  const TTerminateInfo result = Run();
  EXPECT_TRUE(result.Finished) << result.ExceptionMsg;
  EXPECT_NEAR(static_cast<double>(DurationOf("short.avi")), 1000000, 80000);
  // The expected duration follows the recording time.
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back().TotalDuration, 1000000);
}

TEST_F(ConversionTest, FrameRateConversionDuplicatesAndDrops) {
  TOutputOptions up;
  up.FrameRate = "50";
  up.VideoSync = 1;
  up.ExtOptions = "v=3<CRLF>an=1";
  Add("av.mp4", "fifty.avi", up);
  ASSERT_TRUE(Run().Finished);
  EXPECT_TRUE(Logged("*** 1 dup!"));
  const std::vector<TPicture> fifty = Pictures("fifty.avi", 200);
  EXPECT_NEAR(static_cast<double>(fifty.size()), 150, 2);
  Component.ClearTasks();
  Results.clear();
  TOutputOptions down;
  down.FrameRate = "12.5";
  down.VideoSync = 1;
  down.DisableAudio = true;
  Add("av.mp4", "half.avi", down);
  ASSERT_TRUE(Run().Finished);
  const std::vector<TPicture> half = Pictures("half.avi", 200);
  EXPECT_NEAR(static_cast<double>(half.size()), 38, 2);
  for (size_t i = 1; i < half.size(); ++i)
    EXPECT_NEAR(half[i].Counter - half[i - 1].Counter, 2, 1);
}

TEST_F(ConversionTest, VolumeScalesAndClips) {
  TOutputOptions options;
  options.Volume = 1024; // four times: the 0.5 channel clips, the 0.25 one reaches full scale
  Add("audio.wav", "loud.wav", options);
  ASSERT_TRUE(Run().Finished);
  int rate = 0, channels = 0;
  const std::vector<int16_t> sound = Sound("loud.wav", rate, channels);
  ASSERT_EQ(channels, 2);
  int16_t highest = 0, lowest = 0;
  for (size_t i = 0; i < sound.size(); i += 2) {
    highest = std::max(highest, sound[i]);
    lowest = std::min(lowest, sound[i]);
  }
  EXPECT_EQ(highest, 32767);
  EXPECT_EQ(lowest, -32768);
}

TEST_F(ConversionTest, ResamplesAndMixesDown) {
  TOutputOptions options;
  options.AudioSampleRate = 22050;
  options.AudioChannels = 1;
  Add("audio.wav", "mono.wav", options);
  ASSERT_TRUE(Run().Finished);
  int rate = 0, channels = 0;
  const std::vector<int16_t> sound = Sound("mono.wav", rate, channels);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(channels, 1);
  EXPECT_NEAR(static_cast<double>(sound.size()), 3 * 22050, 600);
  EXPECT_NEAR(fixtures::ToneFrequency(sound.data(), static_cast<int>(sound.size()), 1, 0, rate), 440, 2);
}

TEST_F(ConversionTest, AudioSyncPadsTheStartWithSilence) {
  TInputOptions input;
  input.ExtOptions = "itsoffset=0.5";
  TOutputOptions options;
  options.AudioSync = 1;
  options.ExtOptions = "v=3";
  Add("audio.wav", "late.wav", options, input);
  ASSERT_TRUE(Run().Finished);
  EXPECT_TRUE(Logged("adding 22050 audio samples of silence"));
  int rate = 0, channels = 0;
  const std::vector<int16_t> sound = Sound("late.wav", rate, channels);
  EXPECT_EQ(fixtures::Rms(sound.data(), 22000, 2, 0), 0);
  EXPECT_GT(fixtures::Rms(sound.data() + 2 * 23000, 4000, 2, 0), 0.2);
}

TEST_F(ConversionTest, JoinedInputsLastAboutTheirSum) {
  const TTerminateInfo result = RunJoined("av.mp4", "av.avi", "joined.avi");
  ASSERT_TRUE(result.Finished) << result.ExceptionMsg;
  EXPECT_NEAR(static_cast<double>(DurationOf("joined.avi")), 6000000, 120000);
  const std::vector<TPicture> pictures = Pictures("joined.avi", 200);
  ASSERT_EQ(pictures.size(), 150u);
  EXPECT_EQ(pictures[74].Counter, 74);
  EXPECT_EQ(pictures[75].Counter, 0);
  EXPECT_EQ(pictures[149].Counter, 74);
  // The progress follows the joined output to its end, not the first input.
  ASSERT_FALSE(Progress.empty());
  const TProgressInfo& last = Progress.back();
  EXPECT_NEAR(static_cast<double>(last.CurrentDuration), 6000000, 120000);
  EXPECT_NEAR(static_cast<double>(last.CurrentDuration) / static_cast<double>(last.TotalDuration), 1.0, 0.03);
}

TEST_F(ConversionTest, JoinedInputsOfOtherSizesAndRatesTakeTheFirstOnes) {
  const TTerminateInfo result = RunJoined("av.mp4", "pal.mpg", "first.mkv");
  ASSERT_TRUE(result.Finished) << result.ExceptionMsg;
  // 75 pictures of the first input, then the second input's 25 scaled to the first one's size.
  const std::vector<TPicture> pictures = Pictures("first.mkv", 200);
  ASSERT_EQ(pictures.size(), 100u);
  for (const TPicture& picture : pictures)
    ASSERT_TRUE(picture.Width == 320 && picture.Height == 240) << picture.Width << "x" << picture.Height;
  int rate = 0;
  int channels = 0;
  EXPECT_FALSE(Sound("first.mkv", rate, channels).empty());
  EXPECT_EQ(rate, 44100);
}

TEST_F(ConversionTest, AnOutputThatReceivesNothingFails) {
  TOutputOptions options;
  options.StartTime = 99000000;               // the input lasts 3 s
  std::remove((Out + "nothing.avi").c_str()); // a failed run keeps what an earlier one left
  Add("av.mp4", "nothing.avi", options);
  const TTerminateInfo result = Run();
  EXPECT_FALSE(result.Finished);
  EXPECT_TRUE(result.Exception);
  EXPECT_THAT(result.ExceptionMsg, HasSubstr("received no data"));
  EXPECT_FALSE(Exists(Out + "nothing.avi"));
}

TEST_F(ConversionTest, ADiscTargetTellsTheMultiplexerItsBuffer) {
  TOutputOptions options;
  options.TargetType = 3;
  options.TargetNorm = 1;
  options.RecordingTime = 1000000;
  Add("av.mp4", "disc.mpg", options);
  const TTerminateInfo result = Run();
  ASSERT_TRUE(result.Finished) << result.ExceptionMsg;
  EXPECT_FALSE(Logged("VBV buffer size not set"));
}

TEST_F(ConversionTest, AnEncoderThatCannotOpenLeavesNoFile) {
  TOutputOptions options;
  options.VideoCodec = "libx264";
  options.FrameSize = "321x241"; // x264 takes no odd sizes in 4:2:0
  Add("av.mp4", "odd.mp4", options);
  const TTerminateInfo result = Run();
  EXPECT_FALSE(result.Finished);
  EXPECT_TRUE(result.Exception);
  EXPECT_THAT(result.ExceptionMsg, HasSubstr("Error while opening encoder for output stream #0.0 (Video)"));
  EXPECT_FALSE(Exists(Out + "odd.mp4"));
}

TEST_F(ConversionTest, AFullDiskFailsLoudly) {
  if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
  const std::string device = Out + "full.avi";
  std::remove(device.c_str());
  ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  TOutputOptions options;
  options.FileFormat = "avi";
  Add("av.mp4", "full.avi", options);
  const TTerminateInfo result = Run();
  EXPECT_FALSE(result.Finished);
  EXPECT_TRUE(result.Exception);
  EXPECT_FALSE(result.ExceptionMsg.empty());
  struct stat info;
  ASSERT_EQ(stat(device.c_str(), &info), 0); // a device is never deleted
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  std::remove(device.c_str());
}

TEST_F(ConversionTest, ProgressReportsCarryTheNumbers) {
  Component.SetProgressInterval(100);
  TInputOptions input;
  input.ExtOptions = "re=1"; // at the file's own pace, so reports come during the run
  Add("av.mp4", "paced.avi", {}, input);
  ASSERT_TRUE(Run().Finished);
  ASSERT_GE(Progress.size(), 5u);
  for (const TProgressInfo& info : Progress) {
    EXPECT_EQ(info.TaskIndex, 0);
    EXPECT_GE(info.FrameNumber, 1);
    EXPECT_EQ(info.TotalDuration, 3000000);
  }
  EXPECT_EQ(Progress.back().FileIndex, -1);
  EXPECT_EQ(Progress.back().FrameNumber, 75);
  EXPECT_GT(Progress.back().CurrentSize, 10000);
  EXPECT_TRUE(Logged("muxing overhead"));
}

TEST_F(ConversionTest, StopMidRunWritesTheTrailer) {
  TInputOptions input;
  input.ExtOptions = "re=1";
  Add("av.mp4", "stopped.avi", {}, input);
  TEvent started;
  Component.OnProgress = [&](TObject*, TProgressInfo*) { started.SetEvent(); };
  Component.SetProgressInterval(100);
  Component.StartTask(1);
  ASSERT_TRUE(started.WaitFor(10000));
  Component.Stop(true);
  ASSERT_TRUE(AllDone.WaitFor(10000));
  {
    std::lock_guard lock(FLock);
    ASSERT_EQ(Results.size(), 1u);
    EXPECT_FALSE(Results[0].Finished);
    EXPECT_FALSE(Results[0].Exception) << Results[0].ExceptionMsg;
  }
  const int64_t duration = DurationOf("stopped.avi");
  EXPECT_GT(duration, 0);
  EXPECT_LT(duration, 2800000);
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(ConversionTest, APausedTaskRestsAndResumes) {
  TInputOptions input;
  input.ExtOptions = "re=1";
  Add("av.mp4", "paused.avi", {}, input);
  TEvent started;
  Component.SetProgressInterval(100);
  Component.OnProgress = [&](TObject*, TProgressInfo*) { started.SetEvent(); };
  Component.StartTask(1);
  ASSERT_TRUE(started.WaitFor(10000));
  Component.Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_LT(ProcessCpuSeconds() - before, 0.05);
  EXPECT_FALSE(AllDone.IsSet());
  Component.Resume();
  ASSERT_TRUE(AllDone.WaitFor(20000));
  std::lock_guard lock(FLock);
  ASSERT_EQ(Results.size(), 1u);
  EXPECT_TRUE(Results[0].Finished) << Results[0].ExceptionMsg;
}

TEST_F(ConversionTest, AStalledInputIsInterruptedByAStop) {
  const std::string pipe = Out + "stall.ts";
  std::remove(pipe.c_str());
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  TEvent release;
  std::thread writer([&] {
    std::ifstream source(Fixture("programs.ts"), std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    // A reader that goes away fails the write instead of ending the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    // Every wait gives way to the release, so a test that ends early never waits for the writer.
    int fifo = -1;
    while ((fifo = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) < 0)
      if (release.WaitFor(10)) return;
    size_t written = 0;
    const size_t part = data.size() * 3 / 4; // then nothing more until released
    while (written < part) {
      const ssize_t n = write(fifo, data.data() + written, part - written);
      if (n > 0)
        written += static_cast<size_t>(n);
      else if (n < 0 && errno == EAGAIN && !release.WaitFor(5))
        continue;
      else
        break;
    }
    release.WaitFor(30000);
    close(fifo);
  });
  // However the test ends, the writer is let go and joined.
  struct TWriterGuard {
    TEvent& Release;
    std::thread& Writer;
    ~TWriterGuard() {
      Release.SetEvent();
      Writer.join();
    }
  } guard{release, writer};
  const int task = Component.AddTask(NarrowToWide(pipe));
  ASSERT_EQ(task, 0) << Component.LastErrMsg();
  ASSERT_TRUE(Component.SetOutputFile(task, NarrowToWide(Out + "stalled.avi")));
  Component.StartTask(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the run has read all there is
  const auto stopped = std::chrono::steady_clock::now();
  Component.Stop(true);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(3));
  EXPECT_TRUE(AllDone.WaitFor(10000));
  std::lock_guard lock(FLock);
  ASSERT_EQ(Results.size(), 1u);
  EXPECT_FALSE(Results[0].Finished);
}

} // namespace
} // namespace kavro::test
