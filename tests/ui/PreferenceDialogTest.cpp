// The preferences dialog, offscreen: the stored values shown at each opening, the pairs that cannot
// both be cleared, JPG governing the quality controls, spin box and slider in step, Default writing
// nothing, Ok writing every key, Cancel nothing, Brows at once, and Open on the stored folder.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WinPreference.h"
#include "app/AppTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace kavro::test {
namespace {

constexpr const char* Stored = "; a note\n[settings]\nSnapOutPutDir=/pictures/snaps\nsnapFullSize=1\n"
                               "snapSmallSize=0\nsnapBmp=0\nsnapJpg=1\njpgCmp=75\npriority=2\nthreads=1\n";

class PreferenceDialogTest : public ::testing::Test {
protected:
  PreferenceDialogTest()
      : Folder("preference-dialog"), SettingsFile(Folder.Write("settings.ini", Stored)),
        Settings(SettingsFile), Dialog(Settings, Dialogs, Desktop) {}

  template <typename T = QCheckBox> T* Child(const char* name) { return Dialog.findChild<T*>(name); }
  bool Ticked(const char* name) { return Child(name)->isChecked(); }
  QString ShownFolder() { return Child<QLineEdit>("edtSnapDirectory")->text(); }
  QSpinBox* Spin() { return Child<QSpinBox>("spedCmp"); }
  QSlider* Slider() { return Child<QSlider>("trcCmp"); }
  QRadioButton* Priority(const QString& caption) {
    for (auto* button : Child<QGroupBox>("rdGrpPriority")->findChildren<QRadioButton*>())
      if (button->text() == caption) return button;
    return nullptr;
  }
  QString PriorityTicked() {
    for (auto* button : Child<QGroupBox>("rdGrpPriority")->findChildren<QRadioButton*>())
      if (button->isChecked()) return button->text();
    return {};
  }
  // On the caption: a check box stretched by its layout takes clicks only there.
  void Click(const char* name) {
    auto* button = Child<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(button->sizeHint().width() / 2, button->height() / 2));
  }
  void Open(const char* stored = nullptr) {
    if (stored) Folder.Write("settings.ini", stored);
    Dialog.hide();
    Dialog.show();
  }

  TScratchFolder Folder;
  std::string SettingsFile;
  TAppSettings Settings;
  TScriptedDialogs Dialogs;
  TRecordingDesktop Desktop;
  TfrmPreference Dialog;
};

TEST_F(PreferenceDialogTest, EachOpeningShowsWhatIsStoredThen) {
  Open();
  EXPECT_EQ(Dialog.size(), QSize(480, 390));
  EXPECT_EQ(ShownFolder(), "/pictures/snaps");
  EXPECT_TRUE(Ticked("ckFullSize") && !Ticked("ckSmallSize") && !Ticked("ckBmp") && Ticked("ckJpg"));
  EXPECT_TRUE(Spin()->isEnabled() && Slider()->isEnabled());
  EXPECT_EQ(Slider()->value(), 75);
  EXPECT_EQ(PriorityTicked(), "Lower");
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->value(), 1);

  Open("[settings]\nsnapJpg=0\nPriority=7\nthreads=64\n");
  EXPECT_EQ(ShownFolder().toStdString(), DefaultOutputFolder());
  EXPECT_FALSE(Spin()->isEnabled() || Slider()->isEnabled());
  EXPECT_EQ(Spin()->value(), 30);
  EXPECT_EQ(PriorityTicked(), "") << "a priority outside the list ticks none";
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->value(), 64) << "a larger machine's count is kept";
  Click("btnOk");
  EXPECT_EQ(Settings.Priority(), -1);
  EXPECT_EQ(Settings.Threads(), 64);
}

TEST_F(PreferenceDialogTest, NeitherPairCanBeClearedWholeAndJpgGovernsTheQuality) {
  Open();
  Click("ckJpg"); // BMP is clear
  EXPECT_TRUE(Ticked("ckJpg"));
  Click("ckBmp");
  Click("ckJpg");
  EXPECT_FALSE(Ticked("ckJpg"));
  EXPECT_FALSE(Spin()->isEnabled() || Slider()->isEnabled());
  Click("ckBmp");
  EXPECT_TRUE(Ticked("ckBmp"));
  Click("ckJpg");
  EXPECT_TRUE(Spin()->isEnabled() && Slider()->isEnabled());

  Child("ckFullSize")->setFocus(); // Small Size is clear; the space bar is a click too
  QTest::keyClick(Child("ckFullSize"), Qt::Key_Space);
  EXPECT_TRUE(Ticked("ckFullSize"));
  Click("ckSmallSize");
  Click("ckFullSize");
  Click("ckSmallSize");
  EXPECT_TRUE(Ticked("ckSmallSize") && !Ticked("ckFullSize"));
}

TEST_F(PreferenceDialogTest, SpinBoxAndSliderFollowEachOtherAndTheSpinBoxTakesNoTyping) {
  Open();
  Slider()->setValue(12);
  Spin()->setFocus();
  QTest::keyClick(Spin(), Qt::Key_Up);
  EXPECT_EQ(Slider()->value(), 13);
  QTest::keyClick(Spin(), Qt::Key_End);
  QTest::keyClick(Spin(), Qt::Key_Backspace);
  QTest::keyClicks(Spin(), "9");
  EXPECT_EQ(Spin()->text(), "13");
  Slider()->setValue(100);
  QTest::keyClick(Spin(), Qt::Key_Up);
  EXPECT_EQ(Spin()->value(), 100);
}

TEST_F(PreferenceDialogTest, DefaultShowsItsOwnValuesAndCancelWritesNothing) {
  Open();
  Click("ckSmallSize");
  Priority("Lowest")->click();
  Click("btnDefault");
  EXPECT_EQ(ShownFolder().toStdString(), DefaultOutputFolder());
  EXPECT_TRUE(Ticked("ckBmp") && !Ticked("ckJpg") && Ticked("ckFullSize") && !Ticked("ckSmallSize"));
  EXPECT_FALSE(Spin()->isEnabled());
  EXPECT_EQ(Slider()->value(), 20);
  EXPECT_EQ(PriorityTicked(), "Normal");
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->text(), "Automatic");
  EXPECT_EQ(ReadText(SettingsFile), Stored);
  Click("btnCancel");
  EXPECT_EQ(Dialog.result(), QDialog::Rejected);
  EXPECT_EQ(ReadText(SettingsFile), Stored);
}

TEST_F(PreferenceDialogTest, OkWritesEveryKeyKeepingTheSpellingOfKeysStoredAndGivingNewOnesTheirOwn) {
  Open();
  Click("ckSmallSize");
  Click("ckBmp");
  Slider()->setValue(55);
  Click("ckJpg");
  Priority("Idle")->click();
  Child<QSpinBox>("spedThreads")->setValue(0);
  Click("btnOk");
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  EXPECT_EQ(ReadText(SettingsFile),
            "; a note\n[settings]\nSnapOutPutDir=/pictures/snaps\nsnapFullSize=1\n"
            "snapSmallSize=1\nsnapBmp=1\nsnapJpg=0\njpgCmp=55\npriority=0\nthreads=0\n");

  std::filesystem::remove(SettingsFile);
  Open();
  Click("btnOk");
  EXPECT_EQ(ReadText(SettingsFile), "[settings]\nsnapOutPutDir=" + DefaultOutputFolder() +
                                        "\nsnapFullSize=1\nsnapSmallSize=1\nsnapBmp=1\nsnapJpg=1\n"
                                        "jpgCmp=30\npriority=1\nthreads=0\n");
}

TEST_F(PreferenceDialogTest, BrowsWritesAtOnceAndOpenOpensTheStoredFolder) {
  Open();
  Dialogs.FolderAnswers = {std::nullopt, std::string("/pictures/snaps"), std::string("/pictures/new")};
  Click("btnBrows");
  Click("btnBrows");
  EXPECT_EQ(ReadText(SettingsFile), Stored);
  Click("btnBrows");
  EXPECT_EQ(ShownFolder(), "/pictures/new");
  EXPECT_EQ(Settings.SnapOutputDir(), "/pictures/new");
  EXPECT_EQ(Dialogs.FolderStarts.back(), "/pictures/snaps");

  Click("btnDefault");
  Click("btnOpen");
  EXPECT_EQ(Desktop.Opened, (std::vector<std::string>{"/pictures/new"}));
  Open("[settings]\nSnapOutPutDir=/p\n"); // two characters open nothing
  Click("btnOpen");
  EXPECT_EQ(Desktop.Opened.size(), 1u);
}

TEST_F(PreferenceDialogTest, RunModallyItLoadsAndOkStores) {
  QTimer::singleShot(0, &Dialog, [&] {
    Priority("Lowest")->click();
    Click("btnOk");
  });
  QTimer::singleShot(5000, &Dialog, [&] { Dialog.reject(); }); // a fault cannot hang the test
  EXPECT_EQ(Dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(Settings.Priority(), 3);
  EXPECT_EQ(Settings.JpgQuality(), 75);
}

TEST_F(PreferenceDialogTest, Screenshot) {
  Open();
  SaveScreenshot(Dialog, "TfrmPreference");
}

} // namespace
} // namespace kavro::test
