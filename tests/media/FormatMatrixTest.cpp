// The conversions a user asks for most, read back with the probe: codecs, size, rate and duration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "AVProbe.h"
#include "FFmpegVCL.h"
#include "FixtureMedia.h"
#include "platform/WideString.h"

namespace kavro::test {
namespace {

using ::testing::StartsWith;

struct TFormatCase {
  const char* Output;
  const char* Options;    // output option text
  const char* VideoCodec; // decoder name the probe gives first; null: no video expected
  const char* AudioCodec;
  int Width;
  int Height;
  int RateNum;
  int RateDen;
};

const TFormatCase Cases[] = {
    {"x264.mp4", "vcodec=libx264\nacodec=aac", "h264", "aac", 320, 240, 25, 1},
    {"mpeg4.avi", "vcodec=mpeg4\nacodec=libmp3lame", "mpeg4", "mp3float", 320, 240, 25, 1},
    {"xvid.avi", "vcodec=libxvid\nacodec=libmp3lame", "mpeg4", "mp3float", 320, 240, 25, 1},
    {"flash.flv", "vcodec=flv\nacodec=libmp3lame", "flv", "mp3float", 320, 240, 25, 1},
    {"mpeg1.mpg", "f=mpeg\nvcodec=mpeg1video\nacodec=mp2", "mpeg1video", "mp2", 320, 240, 25, 1},
    {"mpeg2.mpg", "f=vob\nvcodec=mpeg2video\nacodec=mp2", "mpeg2video", "mp2", 320, 240, 25, 1},
    {"dvd.mpg", "target=pal-dvd", "mpeg2video", "ac3", 720, 576, 25, 1},
    {"vcd.mpg", "target=ntsc-vcd", "mpeg1video", "mp2", 352, 240, 30000, 1001},
    {"svcd.mpg", "target=pal-svcd", "mpeg2video", "mp2", 480, 576, 25, 1},
    {"windows.wmv", "vcodec=wmv2\nacodec=wmav2", "wmv2", "wmav2", 320, 240, 25, 1},
    {"phone.3gp", "vcodec=h263\ns=176x144\nacodec=aac\nar=8000\nac=1", "h263", "aac", 176, 144, 25, 1},
    {"amr.3gp", "vcodec=h263\ns=176x144\nacodec=libamr_nb\nar=8000\nac=1\nab=12200", "h263", "amrnb", 176,
     144, 25, 1},
    // Encoders that list picture formats they refuse for some sizes and rates.
    {"ntsc.dv", "vcodec=dvvideo\ns=720x480\nr=29.97\nacodec=pcm_s16le\nar=48000", "dvvideo", "pcm_s16le", 720,
     480, 30000, 1001},
    {"motion.avi", "vcodec=mjpeg\nacodec=pcm_s16le", "mjpeg", "pcm_s16le", 320, 240, 25, 1},
    {"copy.mkv", "vcodec=copy\nacodec=copy", "h264", "aac", 320, 240, 25, 1},
    {"sound.wav", "vn=1", nullptr, "pcm_s16le", 0, 0, 0, 0},
    {"sound.mp3", "vn=1", nullptr, "mp3float", 0, 0, 0, 0},
    {"sound.aac", "vn=1", nullptr, "aac", 0, 0, 0, 0},
    {"sound.ac3", "vn=1", nullptr, "ac3", 0, 0, 0, 0},
    {"sound.ogg", "vn=1\nacodec=libvorbis", nullptr, "vorbis", 0, 0, 0, 0},
};

class FormatMatrixTest : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(FormatMatrixTest, ConvertsAndReadsBack) {
  const TFormatCase& format = GetParam();
  TFFmpegVCL component;
  ASSERT_TRUE(component.LoadAVLib(L""));
  TTerminateInfo result{-2, false, true, "no termination"};
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) result = info;
  };
  const std::string output = OutputFolder() + format.Output;
  ASSERT_EQ(component.AddTask(NarrowToWide(Fixture("av.mp4"))), 0) << component.LastErrMsg();
  TOutputOptions options;
  options.ExtOptions = format.Options;
  ASSERT_TRUE(component.SetOutputFile(0, NarrowToWide(output), &options)) << component.LastErrMsg();
  component.StartTask(0);
  ASSERT_TRUE(result.Finished) << result.ExceptionMsg;

  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(NarrowToWide(output))) << probe.LastErrMsg();
  TAudioStreamInfo audio;
  probe.GetAudioInfo(-1, audio);
  EXPECT_THAT(audio.CodecName, StartsWith(std::string(format.AudioCodec) + "("));
  if (audio.Duration > 0) {
    EXPECT_NEAR(audio.Duration, 3000000, 120000);
  }
  if (!format.VideoCodec) {
    EXPECT_EQ(probe.VideoStreamCount(), 0);
    return;
  }
  TVideoStreamInfo video;
  probe.GetVideoInfo(-1, video);
  EXPECT_THAT(video.CodecName, StartsWith(std::string(format.VideoCodec) + "("));
  EXPECT_EQ(video.Width, format.Width);
  EXPECT_EQ(video.Height, format.Height);
  EXPECT_EQ(video.FrameRateNum, format.RateNum);
  EXPECT_EQ(video.FrameRateDen, format.RateDen);
  const double frame = 1000000.0 * format.RateDen / format.RateNum;
  TFileStreamInfo file;
  probe.GetFileInfo(file);
  const int64_t duration = video.Duration > 0 ? video.Duration : file.Duration;
  // The NTSC target runs its 3 s at 29.97 frames a second: whole frames either side of the end.
  EXPECT_NEAR(static_cast<double>(duration), 3000000, frame + 60000) << format.Output;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatMatrixTest, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<TFormatCase>& info) {
                           std::string name = info.param.Output;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

} // namespace
} // namespace kavro::test
