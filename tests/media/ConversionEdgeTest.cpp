// Conversions at the edges: sync methods, filters, two passes, stream maps, programs, chapters and
// subtitles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "AVProbe.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "fixtures/MediaReader.h"
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
