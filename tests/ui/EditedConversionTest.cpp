// A row's edits in real conversions: a range marked and margins set in the dialogs, and a text and a
// logo, convert to what was shown, and kavro-convert's edit options give the same pictures as the
// window's run.
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
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
#include "RowCommand.h"
#include "UiTestSupport.h"
#include "WinCrop.h"
#include "WinTrim.h"
#include "DialogPreview.h"
#include "media/FixtureMedia.h"

namespace kavro::test {
namespace {

// Format 0 of the general edition: MPEG-4 video at the clip's own size, 320x240, 29.97 pictures a second.
constexpr int FormatCode = 0;
constexpr double FormatRate = 30000.0 / 1001;

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

class EditedConversionTest : public ::testing::Test {
protected:
  EditedConversionTest()
      : Folder("edited-conversion"),
        SettingsFile(Folder.Write("settings.ini", "[settings]\nOutPutDir=" + Folder.File("run") +
                                                      "\nFormatCode=" + std::to_string(FormatCode) + "\n")),
        Settings(SettingsFile), Formats(std::string(KAVRO_DATA_SOURCE) + "/kavrovideoformat.ini"),
        List(Settings, Formats, Dialogs, ComponentDurationProbe(Component)), Rows(List) {
    std::filesystem::create_directories(Folder.File("run"));
  }
  void SetUp() override { ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet)); }

  // Converts the list's checked rows through the run the window uses; the output of the first. The
  // rows' errors go to `errors` when given, else there must be none.
  std::string ConvertThroughTheRun(std::string* errors = nullptr) {
    TOverView view;
    TRecordingDesktop desktop;
    TConversionRun run(Component, Settings, Formats, Rows, view, desktop, Dialogs);
    run.FormatCode = FormatCode;
    run.Drawing = &Tools.Tools();
    EXPECT_TRUE(run.Start());
    EXPECT_TRUE(WaitUntil([&] { return view.Over; }, 60000));
    if (errors)
      *errors = view.Errors;
    else
      EXPECT_EQ(view.Errors, "");
    return run.OutputPaths().empty() ? "" : run.OutputPaths().front();
  }

  // A 40x30 logo of one colour.
  std::string Logo(const std::string& name, QRgb colour) {
    return WritePicture(Folder.File(name), 40, 30, colour);
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

TEST_F(EditedConversionTest, TextAndLogoLandWhereTheyWerePlacedInTheConvertedPictures) {
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

  const fixtures::TBgrPicture source = fixtures::ReadBgrPicture(Fixture("av.mp4"), 40);
  const fixtures::TBgrPicture drawn = fixtures::ReadBgrPicture(output, 40);
  ASSERT_EQ(drawn.Width, 320);
  ASSERT_EQ(drawn.Height, 240);
  // Red letters in the text's box, where the source has none.
  const auto redIn = [](const fixtures::TBgrPicture& frame) {
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

TEST_F(EditedConversionTest, TheCommandLineConvertsWhatTheWindowsRunConverts) {
  const std::string logo = Logo("logo.png", qRgb(250, 250, 0));
  // As the dialogs store the edits for a 320 x 240 file: positions from the percents, even margins.
  ASSERT_EQ(List.AddFiles({Fixture("edit.mp4")}), 1);
  TlvFilesRecord& row = List.Row(0).Record;
  row.TrimStart = 1000000;
  row.TrimLength = 1500000;
  row.CropTop = row.CropLeft = row.CropBottom = row.CropRight = 16;
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

  const std::string command =
      std::string(KAVRO_CONVERT) + " --format " + std::to_string(FormatCode) +
      " --edition general --settings '" + SettingsFile + "' --out '" + Folder.File("cli") +
      "' --trim 1,1.5 --crop 17,16,16,16 --text Batch --font 'DejaVu Sans,16,italic' --text-color '#00FF00'" +
      " --text-at 10%,80% --image '" + logo + "' --image-at 75%,10% --alpha 100" +
      " --style 2 --contrast 40 --exposure -60 --effects-over image '" + Fixture("edit.mp4") +
      "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  // The command the window's "Copy Command" gives for the row converts the same.
  std::string copied = std::string(KAVRO_CONVERT) + " --settings " + ShellQuoted(SettingsFile);
  for (const std::string& argument :
       RowCommandArguments(TEdition::General, FormatCode, Folder.File("copied"), List.Row(0).Record))
    copied += " " + ShellQuoted(argument);
  ASSERT_EQ(std::system((copied + " >/dev/null 2>&1").c_str()), 0) << copied;

  const std::string name = std::filesystem::path(throughRun).filename().string();
  for (const std::string& throughCommandLine :
       {Folder.File("cli") + "/" + name, Folder.File("copied") + "/" + name}) {
    SCOPED_TRACE(throughCommandLine);
    EXPECT_NEAR(fixtures::ReadClipFacts(throughCommandLine).Pictures / FormatRate, 1.5, 0.1);
    for (int index : {5, 30}) {
      const fixtures::TBgrPicture window = fixtures::ReadBgrPicture(throughRun, index);
      const fixtures::TBgrPicture command = fixtures::ReadBgrPicture(throughCommandLine, index);
      ASSERT_EQ(window.Pixels.size(), command.Pixels.size());
      int largest = 0;
      for (size_t i = 0; i < window.Pixels.size(); ++i)
        largest = std::max(largest, std::abs(window.Pixels[i] - command.Pixels[i]));
      EXPECT_LE(largest, 2) << "picture " << index;
    }
  }
}

TEST_F(EditedConversionTest, ARangeMarkedInTheTrimDialogConvertsToJustThatRange) {
  ASSERT_EQ(List.AddFiles({Fixture("edit.mp4")}), 1); // 10 s
  {
    TfrmTrim dialog(List.Row(0), Tools.Tools(), L"LibAV");
    dialog.show();
    TFFPlayer& player = dialog.Preview().Player();
    ASSERT_TRUE(WaitUntil([&] { return player.IsOpen(); }));
    QTest::mouseClick(dialog.findChild<QToolButton*>("imgbtnpause"), Qt::LeftButton);
    // Each mark where a seek of the paused player landed.
    for (const auto& [position, button] : {std::pair{2000000, "btnOk1"}, {5000000, "btnOk2"}}) {
      player.Seek(0, true, position);
      ASSERT_TRUE(WaitUntil([&] { return std::llabs(player.CurrentPTS() - position) < 20000; }))
          << player.CurrentPTS();
      QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
    }
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  }
  EXPECT_NEAR(List.Row(0).Record.TrimStart, 2000000, 20000);
  EXPECT_NEAR(List.Row(0).Record.TrimLength, 3000000, 40000);
  EXPECT_EQ(List.Row(0).TrimmedLength, "3");

  const fixtures::TClipFacts converted = fixtures::ReadClipFacts(ConvertThroughTheRun());
  EXPECT_NEAR(converted.Pictures / FormatRate, 3.0, 0.1);
  EXPECT_NEAR(converted.SoundSeconds, 3.0, 0.1);
  EXPECT_EQ(converted.FirstCounter, 50); // the picture of 2.0 s
}

TEST_F(EditedConversionTest, MarginsSetInTheCropDialogCutTheBorderAwayAndKeepTheCounter) {
  ASSERT_EQ(List.AddFiles({Fixture("edit.mp4")}), 1); // a 16-pixel red border
  TlvFilesRecord& row = List.Row(0).Record;
  {
    TfrmCrop dialog(row, Tools.Tools(), L"LibAV");
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.Preview().Player().IsOpen(); }));
    for (const char* name : {"spedUp", "spedLeft", "spedDown", "spedRight"})
      dialog.findChild<QSpinBox*>(name)->setValue(20);
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  }
  // 20 preview pixels of a picture shown at 336 x 251: 19 source pixels, stored even.
  EXPECT_EQ((std::vector<int>{row.CropTop, row.CropLeft, row.CropBottom, row.CropRight}),
            (std::vector<int>{18, 18, 18, 18}));

  const std::string output = ConvertThroughTheRun();
  const fixtures::TBgrPicture picture = fixtures::ReadBgrPicture(output, 60);
  ASSERT_GT(picture.Width, 0);
  // The border's pure red along the picture's edges, where it was.
  int red = 0;
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) {
      const bool edge = x < 4 || y < 4 || x >= picture.Width - 4 || y >= picture.Height - 4;
      const uint8_t* p = picture.At(x, y);
      red += edge && p[2] > 200 && p[1] < 50 && p[0] < 50;
    }
  EXPECT_EQ(red, 0);
  EXPECT_EQ(fixtures::ReadClipFacts(output).FirstCounter, 0);
}

TEST_F(EditedConversionTest, ALogoThatCannotBeReadFailsItsRowByNameAndTheOthersConvert) {
  ASSERT_EQ(List.AddFiles({Fixture("av.mp4"), Fixture("av.avi")}), 2);
  const std::string notAPicture = Folder.Write("logo.png", "not a picture");
  List.Row(0).Record.MarkImage = notAPicture;
  std::string errors;
  EXPECT_NE(ConvertThroughTheRun(&errors), "");
  EXPECT_EQ(List.Row(0).Progress, "Error");
  EXPECT_NE(errors.find(notAPicture), std::string::npos) << errors;
  EXPECT_EQ(List.Row(1).Progress, "100%");
}

} // namespace
} // namespace kavro::test
