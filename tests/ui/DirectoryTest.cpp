// The folder picker, offscreen: Ok refused on the system's special folders, read-only folders
// turned away with the message while the picker stays open, the start folder (or its nearest
// parent) opened and in view, and the picked folder returned, or nothing when cancelled.
#include <gtest/gtest.h>

#include "Directory.h"
#include "UiTestSupport.h"
#include "app/AppTestSupport.h"

#include <QApplication>
#include <QFileSystemModel>
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
    Scratch.Write("Videos/clip.avi", "not a folder");
  }
  QPushButton* Button(TfmDirectory& picker, const char* name) { return picker.findChild<QPushButton*>(name); }

  TScratchFolder Scratch;
  TScriptedDialogs Dialogs;
  TfmDirectory Picker;
  QTreeView* Tree = Picker.findChild<QTreeView*>("stview_selectdir");
};

TEST_F(DirectoryTest, OkIsRefusedOnTheSpecialFolders) {
  for (const char* folder : {"/proc", "/sys", "/dev", "/run"}) {
    Picker.SelectFolder(folder);
    EXPECT_EQ(Picker.SelectedFolder(), folder);
    EXPECT_FALSE(Button(Picker, "btnOk")->isEnabled()) << folder;
  }
  Picker.SelectFolder(Scratch.Path());
  EXPECT_TRUE(Button(Picker, "btnOk")->isEnabled());
}

TEST_F(DirectoryTest, AReadOnlyFolderIsTurnedAwayAndThePickerStaysOpen) {
  Picker.IsReadOnly = [&](const std::string& folder) { return folder == Scratch.File("Music"); };
  Picker.SelectFolder(Scratch.File("Music"));
  Picker.show();
  Button(Picker, "btnOk")->click();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text,
            "Output folder cannot be located in CD-ROM.Please select another folder.");
  EXPECT_EQ(Dialogs.Messages[0].Caption, Title);
  EXPECT_TRUE(Picker.isVisible());
  Picker.SelectFolder(Scratch.File("Videos"));
  Button(Picker, "btnOk")->click();
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Picker.result(), QDialog::Accepted);
}

TEST_F(DirectoryTest, TheStartFolderOrItsNearestParentIsOpened) {
  Picker.SetStartFolder(Scratch.File("Videos"));
  EXPECT_EQ(Picker.SelectedFolder(), Scratch.File("Videos"));
  for (QModelIndex index = Tree->currentIndex(); index.isValid(); index = index.parent())
    EXPECT_TRUE(Tree->isExpanded(index));
  auto* model = qobject_cast<QFileSystemModel*>(Tree->model());
  const QModelIndex videos = Tree->currentIndex();
  ASSERT_TRUE(WaitUntil([&] { return model->rowCount(videos) == 1; })) << "folders only";
  EXPECT_EQ(model->fileName(model->index(0, 0, videos)), "Holiday");
  // The default output folder may not be made yet.
  Picker.SetStartFolder(Scratch.File("Music/not/made/yet"));
  EXPECT_EQ(Picker.SelectedFolder(), Scratch.File("Music"));
  Picker.SetStartFolder("");
  EXPECT_EQ(Picker.SelectedFolder(), "/");
}

// Answers the modal picker once it shows; a second timer closes it whatever happens, so a picker
// that never shows cannot hang the test.
void AnswerPicker(const std::function<void(TfmDirectory&)>& answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    if (auto* picker = qobject_cast<TfmDirectory*>(QApplication::activeModalWidget())) {
      poll->deleteLater();
      answer(*picker);
    }
  });
  poll->start(10);
  QTimer::singleShot(10000, qApp, [] {
    if (auto* picker = qobject_cast<TfmDirectory*>(QApplication::activeModalWidget())) picker->reject();
  });
}

TEST_F(DirectoryTest, PickReturnsTheChosenFolderOrNothing) {
  std::string startSeen;
  AnswerPicker([&](TfmDirectory& picker) {
    startSeen = picker.SelectedFolder();
    picker.SelectFolder(Scratch.File("Videos"));
    Button(picker, "btnOk")->click();
  });
  EXPECT_EQ(TfmDirectory::Pick(Dialogs, Title, Scratch.File("Music"), nullptr), Scratch.File("Videos"));
  EXPECT_EQ(startSeen, Scratch.File("Music"));
  AnswerPicker([&](TfmDirectory& picker) { Button(picker, "btnCancel")->click(); });
  EXPECT_EQ(TfmDirectory::Pick(Dialogs, Title, Scratch.Path(), nullptr), std::nullopt);
}

TEST_F(DirectoryTest, ScreenshotAtTheStartFolderInView) {
  EXPECT_EQ(Picker.objectName(), "fmDirectory");
  EXPECT_EQ(Picker.windowTitle(), "Brows");
  Picker.SetStartFolder(Scratch.File("Videos/Holiday"));
  Picker.show();
  // The folders fill in the background; the start folder must end up in view all the same.
  Pump(300);
  EXPECT_TRUE(
      WaitUntil([&] { return Tree->viewport()->rect().contains(Tree->visualRect(Tree->currentIndex())); }));
  SaveScreenshot(Picker, "TfmDirectory");
}

} // namespace
} // namespace kavro::test
