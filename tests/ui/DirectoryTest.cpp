// The folder picker, offscreen: Ok refused on the system's special folders, read-only folders
// turned away with the message while the picker stays open, the start folder found and opened, and
// the picked folder returned, or nothing when cancelled.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "Directory.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <filesystem>

namespace kavro::test {
namespace {

const std::string Title = "Kavro FLV Converter";

class DirectoryTest : public ::testing::Test {
protected:
  DirectoryTest() : Scratch("picker"), Picker(Dialogs, Title) {
    std::filesystem::create_directories(Scratch.File("Videos/Holiday"));
    std::filesystem::create_directories(Scratch.File("Music"));
  }

  template <typename T> T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QPushButton* Ok() { return Child<QPushButton>(Picker, "btnOk"); }

  TScratchFolder Scratch;
  TScriptedDialogs Dialogs;
  TfmDirectory Picker;
};

TEST_F(DirectoryTest, ControlsCarryTheirNamesAndCaptions) {
  EXPECT_EQ(Picker.objectName(), "fmDirectory");
  EXPECT_EQ(Picker.windowTitle(), "Brows");
  EXPECT_EQ(Picker.size(), QSize(322, 351));
  EXPECT_NE(Child<QTreeView>(Picker, "stview_selectdir"), nullptr);
  EXPECT_EQ(Ok()->text(), "Ok");
  EXPECT_EQ(Child<QPushButton>(Picker, "btnCancel")->text(), "Cancel");
  QStringList captions;
  for (QLabel* label : Picker.findChildren<QLabel*>())
    captions << label->text();
  EXPECT_TRUE(captions.contains("Please select an output directory:"));
}

TEST_F(DirectoryTest, TheTreeShowsFoldersOnly) {
  Scratch.Write("Videos/clip.avi", "not a folder");
  Picker.SetStartFolder(Scratch.File("Videos"));
  auto* tree = Child<QTreeView>(Picker, "stview_selectdir");
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  ASSERT_NE(model, nullptr);
  const QModelIndex videos = model->index(QString::fromStdString(Scratch.File("Videos")));
  ASSERT_TRUE(WaitUntil([&] { return model->rowCount(videos) == 1; }));
  EXPECT_EQ(model->fileName(model->index(0, 0, videos)), "Holiday");
}

TEST_F(DirectoryTest, OkIsRefusedOnTheSpecialFolders) {
  for (const char* folder : {"/proc", "/sys", "/dev", "/run"}) {
    Picker.SelectFolder(folder);
    EXPECT_EQ(Picker.SelectedFolder(), folder);
    EXPECT_FALSE(Ok()->isEnabled()) << folder;
  }
  Picker.SelectFolder(Scratch.Path());
  EXPECT_TRUE(Ok()->isEnabled());
  Picker.SelectFolder("/proc");
  Picker.show();
  Ok()->click();
  EXPECT_TRUE(Picker.isVisible());
}

TEST_F(DirectoryTest, TheStartFolderIsOpenedOrItsNearestParent) {
  auto* tree = Child<QTreeView>(Picker, "stview_selectdir");
  const std::string holiday = Scratch.File("Videos/Holiday");
  Picker.SetStartFolder(holiday);
  EXPECT_EQ(Picker.SelectedFolder(), holiday);
  for (QModelIndex index = tree->currentIndex().parent(); index.isValid(); index = index.parent())
    EXPECT_TRUE(tree->isExpanded(index));
  // The default output folder may not be made yet.
  Picker.SetStartFolder(Scratch.File("Music/not/made/yet"));
  EXPECT_EQ(Picker.SelectedFolder(), Scratch.File("Music"));
  Picker.SetStartFolder("");
  EXPECT_EQ(Picker.SelectedFolder(), "/");
}

TEST_F(DirectoryTest, AReadOnlyFolderIsTurnedAwayAndThePickerStaysOpen) {
  const std::string disc = Scratch.File("Music");
  Picker.IsReadOnly = [&](const std::string& folder) { return folder == disc; };
  Picker.SelectFolder(disc);
  Picker.show();
  Ok()->click();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Output folder cannot be located in CD-ROM.Please select another folder.");
  EXPECT_EQ(Dialogs.Messages[0].Caption, Title);
  EXPECT_TRUE(Picker.isVisible());

  Picker.SelectFolder(Scratch.File("Videos"));
  Ok()->click();
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_FALSE(Picker.isVisible());
  EXPECT_EQ(Picker.result(), QDialog::Accepted);
}

// Answers the modal picker once it shows; a second timer closes it whatever happens, so a picker
// that never shows cannot hang the test.
void AnswerPicker(const std::function<void(TfmDirectory&)>& answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    auto* picker = qobject_cast<TfmDirectory*>(QApplication::activeModalWidget());
    if (!picker) return;
    poll->deleteLater();
    answer(*picker);
  });
  poll->start(10);
  QTimer::singleShot(10000, qApp, [] {
    if (auto* picker = qobject_cast<TfmDirectory*>(QApplication::activeModalWidget())) picker->reject();
  });
}

TEST_F(DirectoryTest, PickReturnsTheChosenFolderOrNothing) {
  const std::string videos = Scratch.File("Videos");
  std::string startSeen;
  AnswerPicker([&](TfmDirectory& picker) {
    startSeen = picker.SelectedFolder();
    picker.SelectFolder(videos);
    picker.findChild<QPushButton*>("btnOk")->click();
  });
  EXPECT_EQ(TfmDirectory::Pick(Dialogs, Title, Scratch.File("Music"), nullptr), videos);
  EXPECT_EQ(startSeen, Scratch.File("Music"));

  AnswerPicker([](TfmDirectory& picker) { picker.findChild<QPushButton*>("btnCancel")->click(); });
  EXPECT_EQ(TfmDirectory::Pick(Dialogs, Title, videos, nullptr), std::nullopt);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(DirectoryTest, ScreenshotAtTheStartFolderInView) {
  Picker.SetStartFolder(Scratch.File("Videos/Holiday"));
  Picker.show();
  auto* tree = Child<QTreeView>(Picker, "stview_selectdir");
  // The folders fill in the background; the start folder must end up in view all the same.
  Pump(300);
  EXPECT_TRUE(
      WaitUntil([&] { return tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())); }));
  SaveScreenshot(Picker, "TfmDirectory");
}

} // namespace
} // namespace kavro::test
