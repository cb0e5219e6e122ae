// Conversions with the shipped format file and a settings file the user never touched, or one that
// cannot be kept: what the format promises still comes out.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "AVProbe.h"
#include "AppTestSupport.h"
#include "RunTestViews.h"
#include "ConversionRun.h"
#include "FFmpegLoader.h"
#include "FFmpegVCL.h"
#include "GlobalUnit.h"
#include "JobList.h"
#include "JobListRows.h"
#include "fixtures/FixtureWriter.h"
#include "media/FixtureMedia.h"
#include "platform/Event.h"
#include "platform/MainThread.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kavro::test {
namespace {

// The general edition's "iPod Video MPEG-4": mp4, MPEG-4 video at 320x240 by default.
constexpr int Ipod320x240 = 2;
// "DV - NTSC": dv, 720x480 at 29.97 pictures a second.
constexpr int DvNtsc = 2608;

// The luma of a file's first picture, row by row.
struct TLuma {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
  // The mean of the rectangle from (left, top) to (right, bottom), both included.
  double Mean(int left, int top, int right, int bottom) const {
    double sum = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x)
        sum += Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
    return sum / ((right - left + 1) * (bottom - top + 1));
  }
  double RowMean(int first, int last) const { return Mean(0, first, Width - 1, last); }
};

TLuma FirstPicture(const std::string& fileName) {
  TLuma luma;
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, fileName.c_str(), nullptr, nullptr) < 0) return luma;
  const AVCodec* codec = nullptr;
  const int stream = avformat_find_stream_info(context, nullptr) >= 0
                         ? av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0)
                         : -1;
  AVCodecContext* decoder = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (decoder && avcodec_parameters_to_context(decoder, context->streams[stream]->codecpar) >= 0 &&
      avcodec_open2(decoder, codec, nullptr) >= 0) {
    bool got = false;
    while (!got && av_read_frame(context, packet) >= 0) {
      if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0)
        got = avcodec_receive_frame(decoder, frame) >= 0;
      av_packet_unref(packet);
    }
    if (!got && avcodec_send_packet(decoder, nullptr) >= 0) got = avcodec_receive_frame(decoder, frame) >= 0;
    if (got) {
      luma.Width = frame->width;
      luma.Height = frame->height;
      for (int y = 0; y < frame->height; ++y)
        luma.Pixels.insert(luma.Pixels.end(), frame->data[0] + y * frame->linesize[0],
                           frame->data[0] + y * frame->linesize[0] + frame->width);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&context);
  return luma;
}

class FreshSettingsMediaTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    TMainThread::InstallPlainLoop();
  }
  void TearDown() override { TMainThread::Uninstall(); }

  // Converts one source with the general edition's format file; the output's path, or empty with
  // the reason recorded as a failure.
  std::string Convert(const std::string& settingsFile, const std::string& source, int formatCode) {
    TAppSettings settings(settingsFile);
    const TIniFile formats(std::string(KAVRO_DATA_SOURCE) + "/" +
                           EditionInfo(TEdition::General).FormatFileName);
    TFFmpegVCL component;
    TJobList list(settings, formats, Dialogs, ComponentDurationProbe(component));
    if (list.AddFiles({source}) != 1) {
      ADD_FAILURE() << "the source was not added";
      return "";
    }
    TWaitingView view;
    TNoDesktop desktop;
    TJobListRows rows(list);
    TConversionRun run(component, settings, formats, rows, view, desktop, Dialogs);
    run.FormatCode = formatCode;
    run.OutputFolder = Folder.File("out");
    if (!run.Start()) {
      ADD_FAILURE() << "the run did not start: " << view.Errors;
      return "";
    }
    if (!TMainThread::WaitServing(view.Over, 60000)) {
      ADD_FAILURE() << "the run did not end";
      return "";
    }
    if (list.Row(0).Progress != "100%") {
      ADD_FAILURE() << "the task failed: " << view.Errors;
      return "";
    }
    return run.OutputPaths()[0];
  }

  TScratchFolder Folder{"fresh-settings"};
  TScriptedDialogs Dialogs;
};

TEST_F(FreshSettingsMediaTest, AWidePictureIsLetterboxedNotStretched) {
  // A 16:9 source of 1280x720 to the 4:3 picture of 320x240.
  const std::string wide = Folder.File("wide.mp4");
  fixtures::TFixtureWriter writer(wide);
  writer.AddVideo({"mpeg4", 1280, 720, {25, 1}, 2000000, {1, 1}, ""});
  writer.AddAudio({"aac", 44100, 2, 128000});
  std::string error;
  ASSERT_TRUE(writer.Write(0.5, error)) << error;

  const std::string output = Convert(Folder.File("settings.ini"), wide, Ipod320x240);
  ASSERT_FALSE(output.empty());
  EXPECT_EQ(TIniFile(Folder.File("settings.ini")).ReadString("formatInfo2", "paraZoom", ""), "lbox");
  const TLuma picture = FirstPicture(output);
  ASSERT_EQ(picture.Width, 320);
  ASSERT_EQ(picture.Height, 240);
  // Bars of 30 rows above and below the picture of 320x180.
  EXPECT_LT(picture.RowMean(2, 26), 20.0);
  EXPECT_LT(picture.RowMean(213, 237), 20.0);
  EXPECT_GT(picture.RowMean(40, 200), 40.0);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(FreshSettingsMediaTest, ALetterboxedDvPictureTakesTheSamplingOfItsFullSize) {
  // NTSC DV at 720x480: the 4:3 clip gets bars left and right, and DV's 4:1:1 sampling of that size.
  const std::string output = Convert(Folder.File("settings.ini"), Fixture("av.mp4"), DvNtsc);
  ASSERT_FALSE(output.empty());
  const TLuma picture = FirstPicture(output);
  ASSERT_EQ(picture.Width, 720);
  ASSERT_EQ(picture.Height, 480);
  // Bars of 40 columns on either side of the picture of 640x480.
  EXPECT_LT(picture.Mean(2, 20, 36, 460), 20.0);
  EXPECT_LT(picture.Mean(683, 20, 717, 460), 20.0);
  EXPECT_GT(picture.Mean(100, 20, 620, 460), 40.0);
}

TEST_F(FreshSettingsMediaTest, SettingsThatCannotBeKeptStillGiveEveryStream) {
  for (const std::string& settingsFile : {Folder.File("missing-folder/s.ini"), Folder.Path()}) {
    Dialogs.Messages.clear();
    const std::string output = Convert(settingsFile, Fixture("av.mp4"), Ipod320x240);
    ASSERT_FALSE(output.empty()) << settingsFile;
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(NarrowToWide(output))) << probe.LastErrMsg();
    EXPECT_EQ(probe.VideoStreamCount(), 1) << settingsFile;
    EXPECT_EQ(probe.AudioStreamCount(), 1) << settingsFile;
    // Said once, in the system's own words.
    ASSERT_EQ(Dialogs.Messages.size(), 1u) << settingsFile;
    EXPECT_NE(Dialogs.Messages[0].Text.find("Cannot write " + settingsFile + ": "), std::string::npos)
        << Dialogs.Messages[0].Text;
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Warning");
    std::filesystem::remove(output);
  }
  EXPECT_FALSE(std::filesystem::exists(Folder.File("missing-folder")));
}

} // namespace
} // namespace kavro::test
