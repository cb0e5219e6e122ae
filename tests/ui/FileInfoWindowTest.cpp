// The file information window, offscreen, with the test media: both groups filled for a clip with
// sound, the video edits empty for sound alone and the audio edits for pictures alone, nothing shown
// for files the probe cannot read (and nothing left of an earlier file), long names shortened, and
// Ok closing the window with the component's task cleared.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WinFileInfo.h"
#include "media/FixtureMedia.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <stdlib.h>

namespace kavro::test {
namespace {

const char* const VideoEdits[] = {"edtResloution", "edtFrameRate", "edtTotalFrame", "edtBitRate"};
const char* const AudioEdits[] = {"edtAudioForamt", "edtSampleRate", "edtChannel", "edtAudioBitRate"};

class FileInfoWindowTest : public ::testing::Test {
protected:
  std::string Edit(const char* name) {
    auto* edit = Window.findChild<QLineEdit*>(name);
    EXPECT_NE(edit, nullptr) << name;
    if (edit) {
      EXPECT_TRUE(edit->isReadOnly()) << name;
    }
    return edit ? edit->text().toStdString() : std::string();
  }
  std::string Label(const char* name) {
    auto* label = Window.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name;
    return label ? label->text().toStdString() : std::string();
  }
  void ExpectEmpty(const char* const (&names)[4]) {
    for (const char* name : names)
      EXPECT_EQ(Edit(name), "") << name;
  }
  void ExpectNothingShown() {
    EXPECT_EQ(Label("lblSourceName"), "");
    EXPECT_EQ(Label("lblFileLength"), "");
    EXPECT_EQ(Edit("edtFormat"), "");
    ExpectEmpty(VideoEdits);
    ExpectEmpty(AudioEdits);
  }

  TfrmFileInfo Window;
};

TEST_F(FileInfoWindowTest, AClipWithSoundFillsBothGroups) {
  const std::string clip = Fixture("av.mp4");
  ASSERT_TRUE(Window.Load(clip)) << Window.LastErrMsg();
  EXPECT_EQ(Label("lblSourceName"), ShortSourceName(clip));
  EXPECT_EQ(Label("lblFileLength").substr(0, 2), "3.");
  EXPECT_NE(Label("lblFileLength").find(" Second"), std::string::npos);
  EXPECT_EQ(Edit("edtFormat"), "QuickTime / MOV");
  EXPECT_EQ(Edit("edtResloution"), "320x240");
  EXPECT_EQ(Edit("edtFrameRate"), "25");
  EXPECT_EQ(Edit("edtTotalFrame"), "75");
  EXPECT_GT(std::stoi(Edit("edtBitRate")), 0);
  EXPECT_EQ(Edit("edtAudioForamt").substr(0, 3), "aac");
  EXPECT_EQ(Edit("edtAudioForamt").find(','), std::string::npos);
  EXPECT_EQ(Edit("edtSampleRate"), "44100");
  EXPECT_EQ(Edit("edtChannel"), "2");
  EXPECT_GT(std::stoi(Edit("edtAudioBitRate")), 0);
}

TEST_F(FileInfoWindowTest, SoundAloneLeavesTheVideoEditsEmptyButShowsTheFormat) {
  ASSERT_TRUE(Window.Load(Fixture("audio.wav"))) << Window.LastErrMsg();
  ExpectEmpty(VideoEdits);
  EXPECT_NE(Edit("edtFormat").find("WAV"), std::string::npos) << Edit("edtFormat");
  EXPECT_EQ(Edit("edtAudioForamt").substr(0, 10), "pcm_s16le ");
  EXPECT_EQ(Edit("edtSampleRate"), "44100");
  EXPECT_EQ(Edit("edtChannel"), "2");
  EXPECT_EQ(Edit("edtAudioBitRate"), "1411200");
}

TEST_F(FileInfoWindowTest, PicturesAloneLeaveTheAudioEditsEmpty) {
  // Sound first, so values it left behind would show.
  ASSERT_TRUE(Window.Load(Fixture("av.mp4")));
  ASSERT_TRUE(Window.Load(Fixture("video-only.mp4"))) << Window.LastErrMsg();
  ExpectEmpty(AudioEdits);
  EXPECT_EQ(Edit("edtResloution"), "320x240");
  EXPECT_EQ(Edit("edtTotalFrame"), "75");
  EXPECT_EQ(Window.Component().TasksCount(), 1);
}

TEST_F(FileInfoWindowTest, AFileTheProbeCannotReadShowsNothing) {
  for (const std::string& file : {Fixture("random.avi"), Fixture("empty.mp4"), Fixture("missing.mp4")}) {
    ASSERT_TRUE(Window.Load(Fixture("av.mp4")));
    EXPECT_FALSE(Window.Load(file)) << file;
    EXPECT_FALSE(Window.LastErrMsg().empty()) << file;
    ExpectNothingShown();
    EXPECT_EQ(Window.Component().TasksCount(), 0) << file;
  }
}

TEST_F(FileInfoWindowTest, ALongNameIsShortenedToItsStartAndExtension) {
  char folder[] = "/tmp/kavro-info-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/" + std::string(33, 'n') + ".mp4";
  ASSERT_EQ(path.size(), 60u);
  std::filesystem::copy_file(Fixture("av.mp4"), path);
  const bool loaded = Window.Load(path);
  Window.Component().ClearTasks();
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(loaded) << Window.LastErrMsg();
  EXPECT_EQ(Label("lblSourceName"), path.substr(0, 40) + "...mp4  ");
  EXPECT_EQ(Window.findChild<QLabel*>("lblSourceName")->toolTip().toStdString(), path);
}

TEST_F(FileInfoWindowTest, OkClosesTheWindowAndClearsTheComponent) {
  ASSERT_TRUE(Window.Load(Fixture("av.mp4")));
  Window.show();
  ASSERT_EQ(Window.Component().TasksCount(), 1);
  Window.findChild<QPushButton*>("btn1")->click();
  EXPECT_FALSE(Window.isVisible());
  EXPECT_EQ(Window.result(), QDialog::Accepted);
  EXPECT_EQ(Window.Component().TasksCount(), 0);
}

TEST_F(FileInfoWindowTest, ShowForRunsModallyUntilOkAndTheCloseBoxClearsToo) {
  bool shownFilled = false;
  QTimer::singleShot(0, &Window, [&] {
    shownFilled = Window.isVisible() && Edit("edtResloution") == "320x240";
    Window.findChild<QPushButton*>("btn1")->click();
  });
  // A failing click would leave exec() running; the timer ends it anyway.
  QTimer::singleShot(5000, &Window, [&] { Window.reject(); });
  EXPECT_EQ(Window.ShowFor(Fixture("steps.mp4")), QDialog::Accepted);
  EXPECT_TRUE(shownFilled);
  EXPECT_EQ(Window.Component().TasksCount(), 0);

  ASSERT_TRUE(Window.Load(Fixture("audio.wav")));
  Window.show();
  Window.close();
  EXPECT_EQ(Window.Component().TasksCount(), 0);
}

TEST_F(FileInfoWindowTest, ScreenshotOfAClipWithSound) {
  ASSERT_TRUE(Window.Load(Fixture("av.mp4")));
  Window.show();
  Pump(50);
  EXPECT_FALSE(SaveScreenshot(Window, "TfrmFileInfo").empty());
  Window.close();
}

} // namespace
} // namespace kavro::test
