// The media probe on generated media: records, texts, damaged files and names the locale cannot spell.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>

#include "AVProbe.h"
#include "FFmpegLoader.h"
#include "FixtureMedia.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

namespace kavro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class ProbeTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet)); }
  bool Load(const std::string& name) { return Probe.LoadFile(NarrowToWide(Fixture(name))); }
  TAVProbe Probe;
};

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST_F(ProbeTest, RecordsOfAVideoFile) {
  ASSERT_TRUE(Load("av.mp4")) << Probe.LastErrMsg();
  EXPECT_EQ(Probe.StreamCount(), 2);
  EXPECT_EQ(Probe.VideoStreamCount(), 1);
  EXPECT_EQ(Probe.AudioStreamCount(), 1);
  EXPECT_EQ(Probe.SubtitleStreamCount(), 0);
  EXPECT_EQ(Probe.FirstVideoStreamIndex(), 0);
  EXPECT_EQ(Probe.FirstAudioStreamIndex(), 1);
  EXPECT_EQ(Probe.FirstSubtitleStreamIndex(), -1);
  EXPECT_GT(Probe.FileSize(), 1000);
  EXPECT_EQ(Probe.FormatName(), "mov,mp4,m4a,3gp,3g2,mj2");
  TFileStreamInfo file;
  Probe.GetFileInfo(file);
  EXPECT_EQ(file.Duration, 3000000);
  EXPECT_GE(file.BitRate, 100000);
  TVideoStreamInfo video;
  Probe.GetVideoInfo(-1, video);
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.Height, 240);
  EXPECT_EQ(video.FrameRateNum, 25);
  EXPECT_EQ(video.FrameRateDen, 1);
  EXPECT_FLOAT_EQ(video.AspectRatio, 4.0f / 3);
  EXPECT_THAT(video.CodecName, StartsWith("h264("));
  EXPECT_EQ(video.Duration, 3000000);
  TAudioStreamInfo audio;
  Probe.GetAudioInfo(-1, audio);
  EXPECT_EQ(audio.SampleRate, 44100);
  EXPECT_EQ(audio.Channels, 2);
  EXPECT_EQ(audio.SampleFormat, AV_SAMPLE_FMT_FLTP);
  EXPECT_TRUE(Probe.IsVideoStream(0));
  EXPECT_TRUE(Probe.IsAudioStream(1));
  EXPECT_FALSE(Probe.IsAudioStream(0));
}

TEST_F(ProbeTest, WrongStreamsGiveEmptyRecordsAndReasons) {
  ASSERT_TRUE(Load("audio.mp3"));
  TVideoStreamInfo video;
  video.Width = 99;
  Probe.GetVideoInfo(-1, video);
  EXPECT_EQ(video.Width, -1);
  EXPECT_EQ(video.Duration, -1);
  EXPECT_FLOAT_EQ(video.AspectRatio, -1.0f);
  EXPECT_EQ(Probe.LastErrMsg(), "no video stream.");
  Probe.GetVideoInfo(0, video);
  EXPECT_EQ(Probe.LastErrMsg(), "stream #0 is not video stream.");
  TAudioStreamInfo audio;
  Probe.GetAudioInfo(5, audio);
  EXPECT_EQ(Probe.LastErrMsg(), "stream index #5 is invalid.");
  EXPECT_FALSE(Probe.IsVideoStream(7));
  Probe.CloseFile();
  EXPECT_EQ(Probe.StreamCount(), -1);
  TFileStreamInfo file;
  Probe.GetFileInfo(file);
  EXPECT_EQ(file.Duration, -1);
  EXPECT_EQ(Probe.LastErrMsg(), "file not loaded.");
  EXPECT_EQ(Probe.GetInfoText(), "");
}

TEST_F(ProbeTest, DescriptionTexts) {
  ASSERT_TRUE(Load("av.mp4"));
  const std::string mp4 = Probe.GetInfoText();
  EXPECT_THAT(mp4,
              StartsWith("File Name: " + Fixture("av.mp4") + "\nFormat Name: mov,mp4,m4a,3gp,3g2,mj2\n"));
  EXPECT_THAT(mp4, HasSubstr("\nDuration: 00:00:03.000\n"));
  EXPECT_THAT(mp4, HasSubstr("\nStartTime: 0.000000\n"));
  EXPECT_THAT(mp4, HasSubstr(", 25 fps, 25 tbr, 12800 tbn"));
  ASSERT_TRUE(Load("ntsc.avi"));
  EXPECT_THAT(Probe.GetInfoText(), HasSubstr(", 29.97 fps, 29.97 tbr"));
  ASSERT_TRUE(Load("programs.ts"));
  const std::string ts = Probe.GetInfoText();
  EXPECT_THAT(ts, HasSubstr("90k tbn"));
  EXPECT_EQ(Probe.ProgramCount(), 2);
  EXPECT_THAT(ts, HasSubstr("\nProgram 1 "));
  EXPECT_THAT(ts, HasSubstr("\nProgram 2 "));
  for (int stream = 0; stream < 4; ++stream)
    EXPECT_EQ(Occurrences(ts, "\nStream #" + std::to_string(stream) + "["), 1) << ts;
  // The second program's streams come after its line.
  EXPECT_LT(ts.find("\nProgram 2 "), ts.find("\nStream #2["));
  ASSERT_TRUE(Load("av.mkv"));
  EXPECT_THAT(Probe.GetInfoText(), HasSubstr("Stream #2(eng), 1/1000: Subtitle: subrip"));
}

TEST_F(ProbeTest, DamagedAndMissingFilesFailClearly) {
  for (const char* name : {"empty.mp4", "truncated.mp4", "random.avi", "folder.mkv", "missing.avi"}) {
    EXPECT_FALSE(Load(name)) << name;
    EXPECT_THAT(Probe.LastErrMsg(), StartsWith(Fixture(name) + ": ")) << name;
    EXPECT_EQ(Probe.StreamCount(), -1);
  }
  EXPECT_EQ(Probe.LastErrMsg(), Fixture("missing.avi") + ": No such file or directory");
  EXPECT_FALSE(Probe.LoadFile(NarrowToWide(Fixture("av.mp4")), "nosuchformat"));
  EXPECT_EQ(Probe.LastErrMsg(), "Unknown input format: nosuchformat");
}

TEST_F(ProbeTest, NamesTheLocaleCannotSpell) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const std::wstring name = Utf8ToWide(Fixture("Sm\xc3\xb6rg\xc3\xa5sbord_\xe6\x97\xa5\xe6\x9c\xac.mp4"));
  const bool loaded = Probe.LoadFile(name);
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_TRUE(loaded) << Probe.LastErrMsg();
  EXPECT_EQ(Probe.FileName(), name);
  EXPECT_EQ(Probe.VideoStreamCount(), 1);
  EXPECT_GT(Probe.FileSize(), 1000);
}

TEST_F(ProbeTest, ZeroTimeBaseDenominatorReadsAsItsNumerator) {
  AVFormatContext* context = avformat_alloc_context();
  AVStream* stream = avformat_new_stream(context, nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->time_base = {5, 0};
  stream->duration = 10;
  stream->start_time = 3;
  Probe.SetFormatContext(context);
  TVideoStreamInfo video;
  Probe.GetVideoInfo(0, video);
  EXPECT_EQ(video.StreamDuration, 10);
  EXPECT_EQ(video.Duration, 10000000);
  EXPECT_EQ(video.StartTime, 3000000);
  Probe.CloseFile(); // not the probe's to free
  avformat_free_context(context);
}

TEST(ProbeTexts, Id3v2KeysAndCodecDescriptions) {
  EXPECT_EQ(MetadataKeyName("TIT2"), "title");
  EXPECT_EQ(MetadataKeyName("TT2"), "title");
  EXPECT_EQ(MetadataKeyName("TPE1"), "artist");
  EXPECT_EQ(MetadataKeyName("TSOP"), "authorsort");
  EXPECT_EQ(MetadataKeyName("TYER"), "year");
  EXPECT_EQ(MetadataKeyName("encoder"), "encoder");
  AVFormatContext* context = avformat_alloc_context();
  AVStream* stream = avformat_new_stream(context, nullptr);
  stream->codecpar->codec_id = AV_CODEC_ID_NONE;
  stream->codecpar->codec_tag = 0x34504D46; // "FMP4"
  EXPECT_EQ(CodecDescription(stream), "FMP4 / 0x34504D46");
  stream->codecpar->codec_tag = 0x01;
  EXPECT_EQ(CodecDescription(stream), "0x0001");
  stream->codecpar->codec_id = AV_CODEC_ID_MPEG2TS;
  EXPECT_EQ(CodecDescription(stream), "mpeg2ts");
  avformat_free_context(context);
}

TEST_F(ProbeTest, RefusesWithoutTheLibraries) {
  TFFmpegLoader::Instance().UnloadLib(liAVCodec);
  try {
    Load("av.mp4");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "LibAVCodec not loaded.");
  }
  ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
  EXPECT_TRUE(Load("av.mp4"));
}

} // namespace
} // namespace kavro::test
