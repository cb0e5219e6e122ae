// Conversions at the edges: sync methods, filters, two passes, stream maps, programs, chapters and
// subtitles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "AVProbe.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "engine/CpuTimeLimit.h"
#include "fixtures/MediaReader.h"
#include "platform/Event.h"
#include "fixtures/Tone.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kavro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class ConversionEdgeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Out = OutputFolder();
    TFFLogger::Instance().SetLogLevel(llVerbose);
    TFFLogger::Instance().SetTriggerEventInMainThread(false);
    TFFLogger::Instance().SetOnLog([this](TObject*, uint32_t, TLogLevel, const std::string& line) {
      std::lock_guard lock(FLock);
      Log.push_back(line);
    });
  }
  void TearDown() override {
    TFFLogger::Instance().SetOnLog(nullptr);
    TFFLogger::Instance().SetLogLevel(llInfo);
    TFFLogger::Instance().SetTriggerEventInMainThread(true);
  }
  // Converts a fixture in this thread; the termination of the task.
  TTerminateInfo Convert(const std::string& input, const std::string& output, const std::string& outputText,
                         const std::string& inputText = "", TOutputOptions options = {}) {
    TFFmpegVCL component;
    EXPECT_TRUE(component.LoadAVLib(L""));
    TTerminateInfo result{-2, false, true, "not started"};
    component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
      if (info.TaskIndex == 0) result = info;
    };
    TInputOptions inputOptions;
    inputOptions.ExtOptions = inputText;
    if (component.AddTask(NarrowToWide(Fixture(input)), &inputOptions) != 0)
      return {-1, false, true, component.LastErrMsg()};
    options.ExtOptions = outputText;
    if (!component.SetOutputFile(0, NarrowToWide(Out + output), &options))
      return {-1, false, true, component.LastErrMsg()};
    component.StartTask(0);
    return result;
  }
  bool Logged(const std::string& part) {
    std::lock_guard lock(FLock);
    for (const std::string& line : Log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  size_t PictureCount(const std::string& output) {
    fixtures::TMediaReader reader;
    std::string error;
    if (!reader.Open(Out + output, error)) return 0;
    return reader.ReadPictures(reader.BestStream(AVMEDIA_TYPE_VIDEO), 1000).size();
  }

  // What an output holds of the stepped-tone clip: its pictures and which part of the source its
  // sound came from.
  struct TCut {
    size_t Pictures = 0;
    int FirstCounter = -1;
    double PictureTime = 0;  // time stamp of the first picture, s
    double SoundSource = -1; // where in the source the sound begins, s
    double SoundTime = 0;    // time stamp of the first sample, s
    double SoundLength = 0;  // s
  };
  TCut Measure(const std::string& output) {
    TCut cut;
    fixtures::TMediaReader pictures, sound;
    std::string error;
    if (!pictures.Open(Out + output, error) || !sound.Open(Out + output, error)) {
      ADD_FAILURE() << output << ": " << error;
      return cut;
    }
    if (const int video = pictures.BestStream(AVMEDIA_TYPE_VIDEO); video >= 0) {
      const std::vector<fixtures::TPicture> read = pictures.ReadPictures(video, 1000);
      cut.Pictures = read.size();
      if (!read.empty()) {
        cut.FirstCounter = read[0].Counter;
        cut.PictureTime = read[0].Time;
      }
    }
    if (const int audio = sound.BestStream(AVMEDIA_TYPE_AUDIO); audio >= 0) {
      int rate = 0, channels = 0;
      const std::vector<int16_t> samples = sound.ReadSound(audio, 100, rate, channels, &cut.SoundTime);
      if (rate > 0 && channels > 0) {
        const int count = static_cast<int>(samples.size()) / channels;
        cut.SoundSource = fixtures::StepSourceStart(samples.data(), count, channels, rate);
        cut.SoundLength = static_cast<double>(count) / rate;
      }
    }
    return cut;
  }

  std::string Out;
  std::mutex FLock; // the log may come from any thread
  std::vector<std::string> Log;
};

TEST_F(ConversionEdgeTest, VideoSyncMethods) {
  // Passing time stamps through: nothing is duplicated or dropped whatever the rate.
  TOutputOptions sync;
  sync.VideoSync = 0;
  ASSERT_TRUE(Convert("av.mp4", "passthrough.avi", "r=50\nan=1", "", sync).Finished);
  EXPECT_EQ(PictureCount("passthrough.avi"), 75u);
  // Variable rate: a 50 fps time base takes the 25 fps pictures as they come.
  sync.VideoSync = 2;
  ASSERT_TRUE(Convert("av.mp4", "variable.avi", "r=50\nan=1\nv=3", "", sync).Finished);
  EXPECT_EQ(PictureCount("variable.avi"), 75u);
  EXPECT_FALSE(Logged("dup!"));
}

TEST_F(ConversionEdgeTest, AudioSyncDropsAndKeepsADeadZone) {
  TOutputOptions sync;
  sync.AudioSync = 1;
  ASSERT_TRUE(Convert("audio.wav", "early.wav", "v=3", "itsoffset=-0.1", sync).Finished);
  EXPECT_TRUE(Logged("discarding 4410 audio samples"));
  Log.clear();
  ASSERT_TRUE(Convert("audio.wav", "tiny.wav", "v=3", "itsoffset=0.0005", sync).Finished);
  EXPECT_FALSE(Logged("audio samples"));
}

TEST_F(ConversionEdgeTest, FiltersCropScaleAndDeinterlace) {
  ASSERT_TRUE(Convert("av.mp4", "cropped.avi", "vf=crop=0:0:320:200\nan=1").Finished);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "cropped.avi")));
  TVideoStreamInfo video;
  probe.GetVideoInfo(-1, video);
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.Height, 200);
  ASSERT_TRUE(Convert("av.mp4", "bands.avi", "croptop=8\ncropbottom=8\ns=160x120\nan=1").Finished);
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "bands.avi")));
  probe.GetVideoInfo(-1, video);
  EXPECT_EQ(video.Width, 160);
  EXPECT_EQ(video.Height, 120);
  ASSERT_TRUE(Convert("av.mp4", "smooth.avi", "deinterlace=1\nthreads=0").Finished);
  EXPECT_EQ(PictureCount("smooth.avi"), 75u);
  const TTerminateInfo broken = Convert("av.mp4", "broken.avi", "vf=nosuchfilter");
  EXPECT_TRUE(broken.Exception);
  EXPECT_EQ(broken.ExceptionMsg, "Error opening filters: nosuchfilter");
  // libpostproc reads before pictures this low; the engine refuses them before a frame reaches it.
  const TTerminateInfo low = Convert("av.mp4", "low.avi", "s=64x16\nvf=pp\nan=1\nt=0.2");
  EXPECT_EQ(low.ExceptionMsg,
            "Error opening filters: the pp filter takes pictures at least 32 lines high, not 64x16");
  EXPECT_TRUE(Convert("av.mp4", "high.avi", "s=64x32\nvf=pp\nan=1\nt=0.2").Finished);
}

TEST_F(ConversionEdgeTest, TwoPassesAndStatistics) {
  const std::string prefix = Out + "passlog";
  ASSERT_TRUE(Convert("av.mp4", "pass1.avi", "vcodec=mpeg4\npass=1\nan=1\npasslogfile=" + prefix).Finished);
  std::ifstream log(prefix + "-0.log");
  EXPECT_TRUE(log.good());
  const TTerminateInfo second = Convert("av.mp4", "pass2.avi",
                                        "vcodec=mpeg4\npass=2\nan=1\nb=300000\npasslogfile=" + prefix +
                                            "\nvstats_file=" + Out + "vstats.log");
  ASSERT_TRUE(second.Finished) << second.ExceptionMsg;
  std::ifstream stats(Out + "vstats.log");
  int lines = 0;
  for (std::string line; std::getline(stats, line);) {
    EXPECT_THAT(line, StartsWith("frame= "));
    ++lines;
  }
  EXPECT_GE(lines, 70);
}

TEST_F(ConversionEdgeTest, StreamMapsAndEmptyOutputs) {
  const TTerminateInfo swapped = Convert("av.mp4", "swapped.avi", "map=0.1\nmap=0.0");
  EXPECT_EQ(swapped.ExceptionMsg, "Codec type mismatch for mapping #0.1 (Audio) -> #0.0 (Video)");
  const TTerminateInfo counted = Convert("av.mp4", "counted.avi", "map=0.0");
  EXPECT_EQ(counted.ExceptionMsg, "Number of stream maps must match number of output streams");
  const TTerminateInfo empty = Convert("av.mp4", "empty.mp4", "vn=1\nan=1");
  EXPECT_EQ(empty.ExceptionMsg, "Output file #0 does not contain any stream");
  ASSERT_TRUE(Convert("av.mp4", "mapped.avi", "map=0.0\nmap=0.1").Finished);
  EXPECT_TRUE(Logged("  Stream #0.0 -> #0.0 (Video)"));
}

TEST_F(ConversionEdgeTest, ProgramChaptersAndSubtitles) {
  ASSERT_TRUE(Convert("programs.ts", "second.avi", "", "programid=2").Finished);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "second.avi")));
  TVideoStreamInfo video;
  probe.GetVideoInfo(-1, video);
  EXPECT_EQ(video.Width, 176);
  ASSERT_TRUE(Convert("av.mkv", "limited.mkv", "t=1.5\nvcodec=copy\nacodec=copy\nscodec=ass").Finished);
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(Out + "limited.mkv")));
  ASSERT_EQ(probe.FormatContext()->nb_chapters, 2u);
  EXPECT_EQ(probe.SubtitleStreamCount(), 1);
  EXPECT_THAT(probe.GetInfoText(), HasSubstr("Subtitle: ass"));
}

// A looped input never ends by itself: the CPU time limit ends the run, and the process limit it
// set for the run is given back afterwards.
TEST_F(ConversionEdgeTest, TheCpuTimeLimitEndsALoopedConversion) {
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_CPU, &before), 0);
  TFFmpegVCL component;
  ASSERT_TRUE(component.LoadAVLib(L""));
  component.TriggerEventInMainThread = false;
  TTerminateInfo result{-2, false, true, "not started"};
  TEvent ended;
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex != 0) return;
    result = info;
    ended.SetEvent();
  };
  std::mutex lock; // the reports come from the worker
  rlim_t softDuringRun = RLIM_INFINITY;
  component.OnProgress = [&](TObject*, TProgressInfo*) {
    rlimit during{};
    getrlimit(RLIMIT_CPU, &during);
    std::lock_guard guard(lock);
    softDuringRun = during.rlim_cur;
  };
  TInputOptions inputOptions;
  inputOptions.ExtOptions = "loop_input=1";
  ASSERT_EQ(component.AddTask(NarrowToWide(Fixture("av.mp4")), &inputOptions), 0) << component.LastErrMsg();
  TOutputOptions options;
  options.DisableAudio = true;
  options.ExtOptions = "timelimit=1";
  ASSERT_TRUE(component.SetOutputFile(0, NarrowToWide(Out + "looped.avi"), &options))
      << component.LastErrMsg();
  const double startCpu = TCpuTimeLimit::ProcessCpuSeconds();
  component.StartTask(1);
  const bool endedInTime = ended.WaitFor(60000);
  if (!endedInTime) component.Stop(true);
  ASSERT_TRUE(endedInTime) << "the looped conversion ran on for a minute";
  EXPECT_FALSE(result.Finished);
  EXPECT_EQ(result.ExceptionMsg, "CPU time limit exceeded");
  EXPECT_GE(TCpuTimeLimit::ProcessCpuSeconds() - startCpu, 1.0);
  {
    std::lock_guard guard(lock);
    EXPECT_LE(softDuringRun, static_cast<rlim_t>(std::ceil(startCpu + 1.0)) + 1);
  }
  rlimit after{};
  ASSERT_EQ(getrlimit(RLIMIT_CPU, &after), 0);
  EXPECT_EQ(after.rlim_cur, before.rlim_cur);
  EXPECT_EQ(after.rlim_max, before.rlim_max);
}

// The clip steps.mp4 has a key frame every second and a tone whose pitch changes every second. An
// audio frame lasts at most 1,152 samples (26 ms at 44,100 Hz); finding the change of pitch adds 10 ms.
constexpr double SoundTolerance = 0.04;

TEST_F(ConversionEdgeTest, AnInputStartTimeCutsSoundAndPicturesAtTheTarget) {
  // Re-encoded into every kind of container: 1.5 s lies half a second after a key frame.
  for (const char* output : {"cut.mp4", "cut.avi", "cut.mkv", "cut.flv", "cut.mpg", "cut.wav"}) {
    SCOPED_TRACE(output);
    const TTerminateInfo result = Convert("steps.mp4", output, "t=2", "ss=1.5");
    ASSERT_TRUE(result.Finished) << result.ExceptionMsg;
    const TCut cut = Measure(output);
    if (!std::string(output).ends_with(".wav")) {
      EXPECT_EQ(cut.Pictures, 50u);    // no picture more than two seconds hold
      EXPECT_EQ(cut.FirstCounter, 38); // the first picture at or after 1.5 s
    }
    EXPECT_NEAR(cut.SoundSource, 1.5, SoundTolerance);
    EXPECT_NEAR(cut.SoundLength, 2.0, SoundTolerance);
  }
  // Sound alone stops at the recording time too.
  ASSERT_TRUE(Convert("steps.wav", "alone.wav", "t=3\nvn=1", "ss=2").Finished);
  const TCut alone = Measure("alone.wav");
  EXPECT_NEAR(alone.SoundSource, 2.0, SoundTolerance);
  EXPECT_NEAR(alone.SoundLength, 3.0, 0.001);
}

TEST_F(ConversionEdgeTest, AnInputStartTimeFindsThePicturesInEveryInputContainer) {
  // Program and transport streams have no index: a seek by time stamps may land after the key frame
  // the target needs. The first picture is the one at the target, whatever the container.
  const struct {
    const char* Input;
    int FirstCounter; // -1: not read (the picture is scaled)
  } inputs[] = {{"pal.mpg", 15}, {"programs.ts", -1}, {"av.avi", 15}, {"av.mkv", 15}, {"ntsc.avi", 18}};
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.Input);
    ASSERT_TRUE(Convert(input.Input, "from.mkv", "t=0.4", "ss=0.6").Finished);
    const TCut cut = Measure("from.mkv");
    EXPECT_NEAR(static_cast<double>(cut.Pictures), input.Input == std::string("ntsc.avi") ? 12 : 10, 1);
    if (input.FirstCounter >= 0) {
      EXPECT_EQ(cut.FirstCounter, input.FirstCounter);
    }
    EXPECT_NEAR(cut.SoundLength, 0.4, SoundTolerance);
  }
}

TEST_F(ConversionEdgeTest, AnInputStartTimeCutsCopiedStreamsInStep) {
  // On a key frame, copied pictures and sound both begin at the target.
  for (const char* output : {"keyed.mp4", "keyed.mkv", "keyed.flv", "keyed.avi"}) {
    SCOPED_TRACE(output);
    ASSERT_TRUE(Convert("steps.mp4", output, "t=2\nvcodec=copy\nacodec=copy", "ss=1").Finished);
    const TCut cut = Measure(output);
    EXPECT_NEAR(static_cast<double>(cut.Pictures), 50, 1);
    EXPECT_EQ(cut.FirstCounter, 25);
    EXPECT_NEAR(cut.SoundSource, 1.0, SoundTolerance);
    EXPECT_NEAR(cut.SoundLength, 2.0, SoundTolerance);
    EXPECT_NEAR(cut.SoundTime - cut.PictureTime, 0, SoundTolerance);
  }
  // Between key frames the pictures begin at the key frame before the target, the sound at the
  // target, half a second later on the same clock.
  ASSERT_TRUE(Convert("steps.mp4", "between.mkv", "t=2\nvcodec=copy\nacodec=copy", "ss=1.5").Finished);
  const TCut between = Measure("between.mkv");
  EXPECT_EQ(between.FirstCounter, 25);
  EXPECT_NEAR(static_cast<double>(between.Pictures), 63, 1); // 1.0 s up to 3.5 s
  EXPECT_NEAR(between.SoundSource, 1.5, SoundTolerance);
  EXPECT_NEAR(between.SoundTime - between.PictureTime, 0.5, SoundTolerance);
  // A program stream copied from its key frame at 0.48 s (MPEG-2 and MP2 suit no other clip).
  ASSERT_TRUE(Convert("pal.mpg", "keyed.mpg", "t=0.4\nvcodec=copy\nacodec=copy", "ss=0.48").Finished);
  const TCut program = Measure("keyed.mpg");
  EXPECT_EQ(program.FirstCounter, 12);
  EXPECT_NEAR(static_cast<double>(program.Pictures), 10, 1);
  EXPECT_NEAR(program.SoundLength, 0.4, SoundTolerance);
  EXPECT_NEAR(program.SoundTime - program.PictureTime, 0, SoundTolerance);
  ASSERT_TRUE(Convert("steps.wav", "copied.wav", "t=2\nacodec=copy", "ss=1.5").Finished);
  const TCut copied = Measure("copied.wav");
  EXPECT_NEAR(copied.SoundSource, 1.5, SoundTolerance);
  EXPECT_NEAR(copied.SoundLength, 2.0, SoundTolerance);
}

TEST_F(ConversionEdgeTest, ANegativeInputOffsetShiftsEveryStream) {
  ASSERT_TRUE(Convert("steps.mp4", "early.mp4", "", "itsoffset=-1").Finished);
  const TCut early = Measure("early.mp4");
  EXPECT_EQ(early.FirstCounter, 25);
  EXPECT_NEAR(static_cast<double>(early.Pictures), 125, 1);
  EXPECT_NEAR(early.SoundSource, 1.0, SoundTolerance);
  EXPECT_NEAR(early.SoundTime - early.PictureTime, 0, SoundTolerance);
  // An offset that moves the whole input before the output's beginning leaves nothing to convert.
  std::remove((Out + "gone.mp4").c_str());
  const TTerminateInfo gone = Convert("av.mp4", "gone.mp4", "", "itsoffset=-100");
  EXPECT_TRUE(gone.Exception);
  EXPECT_THAT(gone.ExceptionMsg, HasSubstr("nothing of the input lies after its start"));
  EXPECT_FALSE(std::ifstream(Out + "gone.mp4").good());
}

// An existing file is replaced only by a run that succeeded: a failed one leaves it byte for byte,
// a new name that failed leaves nothing, and a replaced file keeps its permissions and its links.
TEST_F(ConversionEdgeTest, OnlyASucceededRunReplacesAFile) {
  const std::string old = "the user's own file";
  std::ofstream(Out + "kept.avi") << old;
  chmod((Out + "kept.avi").c_str(), 0640);
  const TTerminateInfo failed = Convert("av.mp4", "kept.avi", "vf=nosuchfilter");
  ASSERT_TRUE(failed.Exception);
  EXPECT_EQ(Contents(Out + "kept.avi"), old);
  EXPECT_TRUE(Convert("av.mp4", "new.avi", "vf=nosuchfilter").Exception);
  EXPECT_FALSE(std::filesystem::exists(Out + "new.avi"));

  std::filesystem::remove(Out + "link.avi");
  std::filesystem::create_symlink("kept.avi", Out + "link.avi");
  const TTerminateInfo replaced = Convert("av.mp4", "link.avi", "t=1");
  ASSERT_TRUE(replaced.Finished) << replaced.ExceptionMsg;
  EXPECT_TRUE(std::filesystem::is_symlink(Out + "link.avi"));
  EXPECT_GT(std::filesystem::file_size(Out + "kept.avi"), 10000u);
  struct stat info;
  ASSERT_EQ(stat((Out + "kept.avi").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(PictureCount("kept.avi"), 25u);
  // Nothing written aside is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(Out))
    EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr(".part"))) << entry.path();
}

// Names far longer than the old cuts (1,024 and 2,047 bytes) are read and written whole.
TEST_F(ConversionEdgeTest, LongFileNamesAreUsedWhole) {
  std::string folder = Out + "long";
  std::filesystem::remove_all(folder);
  while (folder.size() < 2200)
    folder += "/" + std::string(120, 'd');
  std::filesystem::create_directories(folder);
  const std::string input = folder + "/" + std::string(100, 's') + "-\u00e9.mp4";
  const std::string output = folder + "/" + std::string(100, 'o') + "-\u00e9.avi";
  std::filesystem::copy_file(Fixture("av.mp4"), input);
  TFFmpegVCL component;
  ASSERT_TRUE(component.LoadAVLib(L""));
  TTerminateInfo result{-2, false, true, "not started"};
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) result = info;
  };
  ASSERT_EQ(component.AddTask(Utf8ToWide(input)), 0) << component.LastErrMsg();
  TOutputOptions options;
  options.ExtOptions = "t=1";
  ASSERT_TRUE(component.SetOutputFile(0, Utf8ToWide(output), &options)) << component.LastErrMsg();
  component.StartTask(0);
  EXPECT_TRUE(result.Finished) << result.ExceptionMsg;
  EXPECT_GT(std::filesystem::file_size(output), 10000u);
  // Nothing but the two files: no cut name was written.
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2u);
  std::filesystem::remove_all(Out + "long");
}

} // namespace
} // namespace kavro::test
