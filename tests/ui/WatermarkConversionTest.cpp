// A row's watermark and effects in real conversions: the window's run and kavro-convert draw the same
// pictures, and the text and logo land where they were placed.
#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/AppTestSupport.h"
#include "ConversionRun.h"
#include "FFmpegLoader.h"
#include "JobList.h"
#include "JobListRows.h"
#include "fixtures/MediaReader.h"
#include "QtDrawTools.h"
#include "UiTestSupport.h"
#include "media/FixtureMedia.h"

namespace kavro::test {
namespace {

// Format 0 of the general edition: MPEG-4 video at the clip's own size, 320x240.
constexpr int FormatCode = 0;

class TOverView : public TRunView {
public:
  void ShowProgress(const TRunProgress&, const TProgressInfo&) override {}
  void ShowRowError(int, const std::string& message) override { Errors += message; }
  void ShowButtons(const TRunButtons&) override {}
  void ShowFileDone(int) override {}
  void RunOver() override { Over = true; }
  bool Over = false;
  std::string Errors;
};

// The decoded picture number `index` of a file, as 24-bit rows.
struct TFrame {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;
  const uint8_t* At(int x, int y) const { return Pixels.data() + y * ((Width * 3 + 3) & ~3) + x * 3; }
};

TFrame FrameOf(const std::string& file, int index) {
  fixtures::TMediaReader reader;
  std::string error;
  EXPECT_TRUE(reader.Open(file, error)) << error;
  const int stream = reader.BestStream(0 /* video */);
  const auto pictures = reader.ReadPictures(stream, index + 1, {0, 0, true});
  if (static_cast<int>(pictures.size()) != index + 1) return {};
  return {pictures.back().Width, pictures.back().Height, reader.LastBgrPixels()};
}

class WatermarkConversionTest : public ::testing::Test {
protected:
  WatermarkConversionTest()
      : Folder("watermark-conversion"),
        SettingsFile(Folder.Write("settings.ini", "[settings]\nOutPutDir=" + Folder.File("run") +
                                                      "\nFormatCode=" + std::to_string(FormatCode) + "\n")),
        Settings(SettingsFile), Formats(std::string(KAVRO_DATA_SOURCE) + "/kavrovideoformat.ini"),
        List(Settings, Formats, Dialogs, ComponentDurationProbe(Component)), Rows(List) {
    std::filesystem::create_directories(Folder.File("run"));
  }
  void SetUp() override { ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet)); }

  // Converts the list's checked rows through the run the window uses; the output of the first.
  std::string ConvertThroughTheRun() {
    TOverView view;
    TRecordingDesktop desktop;
    TConversionRun run(Component, Settings, Formats, Rows, view, desktop, Dialogs);
    run.FormatCode = FormatCode;
    run.Drawing = &Tools.Tools();
    EXPECT_TRUE(run.Start());
    EXPECT_TRUE(WaitUntil([&] { return view.Over; }, 60000));
    EXPECT_EQ(view.Errors, "");
    return run.OutputPaths().empty() ? "" : run.OutputPaths().front();
  }

  // A 40x30 logo of one colour, 0xAARRGGBB.
  std::string Logo(const std::string& name, QRgb colour) {
    QImage logo(40, 30, QImage::Format_RGB32);
    logo.fill(colour);
    const std::string path = Folder.File(name);
    EXPECT_TRUE(logo.save(QString::fromStdString(path)));
    return path;
  }

  TScratchFolder Folder;
  std::string SettingsFile;
  TAppSettings Settings;
  TIniFile Formats;
  TScriptedDialogs Dialogs;
  TFFmpegVCL Component;
  TJobList List;
  TJobListRows Rows;
  TQtDrawTools Tools;
};

TEST_F(WatermarkConversionTest, TextAndLogoLandWhereTheyWerePlacedInTheConvertedPictures) {
  ASSERT_EQ(List.AddFiles({Fixture("av.mp4")}), 1);
  TlvFilesRecord& row = List.Row(0).Record;
  row.MarkText = "KAVRO";
  row.MarkFont = {"DejaVu Sans", 20, 0x000000FF, true};
  row.TextX = row.TextY = 10;
  row.MarkImage = Logo("logo.bmp", qRgb(0, 0, 255));
  row.ImageX = 160; // 50 % of 320 x 240
  row.ImageY = 120;
  row.ImageAlpha = 255;
  const std::string output = ConvertThroughTheRun();
  ASSERT_FALSE(output.empty());

  const TFrame source = FrameOf(Fixture("av.mp4"), 40);
  const TFrame drawn = FrameOf(output, 40);
  ASSERT_EQ(drawn.Width, 320);
  ASSERT_EQ(drawn.Height, 240);
  // Red letters in the text's box, where the source has none.
  const auto redIn = [](const TFrame& frame) {
    int count = 0;
    for (int y = 10; y < 40; ++y)
      for (int x = 10; x < 110; ++x) {
        const uint8_t* p = frame.At(x, y);
        count += p[2] > 160 && p[1] < 90 && p[0] < 90;
      }
    return count;
  };
  EXPECT_GT(redIn(drawn), 100);
  EXPECT_LT(redIn(source), 5);
  // The logo's inside is blue; the picture left of it is the source's.
  const uint8_t* logo = drawn.At(180, 135);
  EXPECT_GT(logo[0], 200);
  EXPECT_LT(logo[1], 60);
  EXPECT_LT(logo[2], 60);
  const uint8_t* beside = drawn.At(140, 135);
  const uint8_t* original = source.At(140, 135);
  for (int channel = 0; channel < 3; ++channel)
    EXPECT_NEAR(beside[channel], original[channel], 40) << channel;
}

TEST_F(WatermarkConversionTest, TheCommandLineDrawsWhatTheWindowsRunDraws) {
  const std::string logo = Logo("logo.png", qRgb(250, 250, 0));
  // As the watermark dialog stores the edit for a 320 x 240 file: positions from the percents.
  ASSERT_EQ(List.AddFiles({Fixture("av.mp4")}), 1);
  TlvFilesRecord& row = List.Row(0).Record;
  row.MarkText = "Batch";
  row.MarkFont = {"DejaVu Sans", 16, 0x0000FF00, false, true};
  row.TextHorzPos = 10, row.TextVertPos = 80, row.TextX = 32, row.TextY = 192;
  row.MarkImage = logo;
  row.ImageHorzPos = 75, row.ImageVertPos = 10, row.ImageX = 240, row.ImageY = 24;
  row.ImageAlpha = 100;
  row.TransparentStyle = 2;
  row.Contrast = 40;
  row.Exposure = -60;
  row.ProcessImage = true;
  const std::string throughRun = ConvertThroughTheRun();
  ASSERT_FALSE(throughRun.empty());

  const std::string command = std::string(KAVRO_CONVERT) + " --format " + std::to_string(FormatCode) +
                              " --edition general --settings '" + SettingsFile + "' --out '" +
                              Folder.File("cli") +
                              "' --text Batch --font 'DejaVu Sans,16,italic' --text-color '#00FF00'" +
                              " --text-at 10%,80% --image '" + logo + "' --image-at 75%,10% --alpha 100" +
                              " --style 2 --contrast 40 --exposure -60 --effects-over image '" +
                              Fixture("av.mp4") + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string throughCommandLine =
      Folder.File("cli") + "/" + std::filesystem::path(throughRun).filename().string();

  for (int index : {5, 40}) {
    const TFrame window = FrameOf(throughRun, index);
    const TFrame command = FrameOf(throughCommandLine, index);
    ASSERT_EQ(window.Pixels.size(), command.Pixels.size());
    int largest = 0;
    for (size_t i = 0; i < window.Pixels.size(); ++i)
      largest = std::max(largest, std::abs(window.Pixels[i] - command.Pixels[i]));
    EXPECT_LE(largest, 2) << "picture " << index;
  }
}

TEST_F(WatermarkConversionTest, ALogoThatCannotBeReadFailsItsRowByNameAndTheOthersConvert) {
  ASSERT_EQ(List.AddFiles({Fixture("av.mp4"), Fixture("av.avi")}), 2);
  const std::string notAPicture = Folder.Write("logo.png", "not a picture");
  List.Row(0).Record.MarkImage = notAPicture;
  TOverView view;
  TRecordingDesktop desktop;
  TConversionRun run(Component, Settings, Formats, Rows, view, desktop, Dialogs);
  run.FormatCode = FormatCode;
  run.Drawing = &Tools.Tools();
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(WaitUntil([&] { return view.Over; }, 60000));
  EXPECT_EQ(List.Row(0).Progress, "Error");
  EXPECT_NE(view.Errors.find(notAPicture), std::string::npos) << view.Errors;
  EXPECT_EQ(List.Row(1).Progress, "100%");
  EXPECT_EQ(run.StartTimeMap(), (std::vector<int>{1}));
}

} // namespace
} // namespace kavro::test
