// The texts of the file information window: the shortened name, the duration, the audio codec cut
// from a stream line, and a probe that finds nothing.
#include "FileInfoText.h"

#include "AppTestSupport.h"
#include "FFmpegVCL.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kavro {
namespace {

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += piece;
  return text;
}

TEST(FileInfoTextTest, NamesOf46CharactersOrMoreKeepTheirFirst40AndTheirExtension) {
  const std::string short45 = "/videos/" + std::string(33, 'a') + ".mp4";
  ASSERT_EQ(short45.size(), 45u);
  EXPECT_EQ(ShortSourceName(short45), short45);

  const std::string long46 = "/videos/" + std::string(34, 'b') + ".mp4";
  EXPECT_EQ(ShortSourceName(long46), long46.substr(0, 40) + "...mp4  ");

  const std::string long60 = "/videos/holiday/" + std::string(40, 'c') + ".mkv";
  ASSERT_EQ(long60.size(), 60u);
  EXPECT_EQ(ShortSourceName(long60), "/videos/holiday/" + std::string(24, 'c') + "...mkv  ");

  // No extension: the start and the marks only.
  EXPECT_EQ(ShortSourceName("/" + std::string(59, 'd')), "/" + std::string(39, 'd') + "..  ");
}

TEST(FileInfoTextTest, NonAsciiNamesCountCharactersAndAreNeverCutInsideOne) {
  // 45 characters but 89 bytes: shown whole.
  const std::string fits = "/" + Repeat("\xC3\xA9", 40) + ".mp4";
  EXPECT_EQ(ShortSourceName(fits), fits);

  // 60 characters of three bytes each after the slash: the cut comes after the 40th character.
  const std::string cut = "/" + Repeat("\xE6\x98\xA0", 55) + ".avi";
  EXPECT_EQ(ShortSourceName(cut), "/" + Repeat("\xE6\x98\xA0", 39) + "...avi  ");

  // A byte that is not UTF-8 counts as one character and survives the cut as it was.
  const std::string odd = "/\xFF" + std::string(50, 'e') + ".mp4";
  EXPECT_EQ(ShortSourceName(odd), "/\xFF" + std::string(38, 'e') + "...mp4  ");
}

TEST(FileInfoTextTest, DurationIsWholeSecondsAndMilliseconds) {
  EXPECT_EQ(DurationText(3000000), "3.000 Second");
  EXPECT_EQ(DurationText(5999), "0.005 Second");
  EXPECT_EQ(DurationText(3723500000LL), "3723.500 Second");
  // Past the range of a 32-bit number of seconds.
  EXPECT_EQ(DurationText(3000000000LL * 1000000 + 42000), "3000000000.042 Second");
  EXPECT_EQ(DurationText(-1), "N/A");
}

TEST(FileInfoTextTest, AudioFormatIsTheCodecAfterAudio) {
  EXPECT_EQ(AudioFormatText("Stream #1, 1/44100: Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, stereo"),
            "aac (LC) (mp4a / 0x6134706D)");
  EXPECT_EQ(AudioFormatText("Stream #0, 1/44100: Audio: pcm_s16le"), "pcm_s16le");
  // The codec ends with its line even when a later line has a comma.
  EXPECT_EQ(AudioFormatText("Stream #0, 1/8000: Audio: none\nStream #1, 1/25: Video: h264, yuv420p"), "none");
  EXPECT_EQ(AudioFormatText("Stream #0, 1/25: Video: h264 (High), yuv420p, 320x240"), "");
  EXPECT_EQ(AudioFormatText("Stream #0, 1/44100: Audio:"), "");
  EXPECT_EQ(AudioFormatText("Stream #0, 1/44100: Audio: "), "");
  EXPECT_EQ(AudioFormatText(""), "");
}

class FileInfoProbeTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Component.LoadAVLib(L"")) << Component.LastErrMsg(); }

  TFFmpegVCL Component;
  test::TScratchFolder Folder{"FileInfoProbeTest"};
};

TEST_F(FileInfoProbeTest, AFileThatCannotBeOpenedGivesNothingAndSaysWhy) {
  std::string error;
  const std::string missing = Folder.File("missing.mp4");
  TFileInfo info = ProbeFileInfo(Component, missing, error);
  EXPECT_FALSE(info.Found);
  EXPECT_TRUE(info.SourceName.empty());
  EXPECT_TRUE(info.Format.empty());
  EXPECT_NE(error.find("missing.mp4"), std::string::npos) << error;
  EXPECT_EQ(Component.TasksCount(), 0);

  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<char>(i * 131 + 7);
  const std::string random = Folder.Write("random.avi", noise);
  info = ProbeFileInfo(Component, random, error);
  EXPECT_FALSE(info.Found);
  EXPECT_TRUE(info.Duration.empty());
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Component.TasksCount(), 0);
}

} // namespace
} // namespace kavro
