// The preferences dialog, offscreen: the stored values shown when it opens, the pairs that cannot
// both be cleared, JPG governing the quality controls, spin box and slider in step, Default showing
// its own values without writing, Ok writing every key, Cancel writing nothing, Brows writing the
// picked folder at once and Open opening the stored folder.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WinPreference.h"
#include "app/AppTestSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <filesystem>

namespace kavro::test {
namespace {

constexpr const char* Stored = "; the user's own note\n[settings]\nOutPutDir=/videos\n"
                               "SnapOutPutDir=/pictures/snaps\nsnapFullSize=1\nsnapSmallSize=0\n"
                               "snapBmp=0\nsnapJpg=1\njpgCmp=75\npriority=2\nthreads=1\n";

class PreferenceDialogTest : public ::testing::Test {
protected:
  PreferenceDialogTest()
      : Folder("preference-dialog"), SettingsFile(Folder.Write("settings.ini", Stored)),
        Settings(SettingsFile), Dialog(Settings, Dialogs, Desktop) {}

  template <typename T> T* Child(const char* name) {
    T* child = Dialog.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QCheckBox* Check(const char* name) { return Child<QCheckBox>(name); }
  QSpinBox* Spin() { return Child<QSpinBox>("spedCmp"); }
  QSlider* Slider() { return Child<QSlider>("trcCmp"); }
  QRadioButton* Priority(const char* caption) {
    for (auto* button : Child<QGroupBox>("rdGrpPriority")->findChildren<QRadioButton*>())
      if (button->text() == caption) return button;
    ADD_FAILURE() << "no priority " << caption;
    return nullptr;
  }
  QString Checked() {
    for (auto* button : Child<QGroupBox>("rdGrpPriority")->findChildren<QRadioButton*>())
      if (button->isChecked()) return button->text();
    return {};
  }
  // On the caption, which a check box stretched by its layout takes clicks on.
  void Click(const char* name) {
    QAbstractButton* button = Child<QAbstractButton>(name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->sizeHint().width() / 2, button->height() / 2));
  }
  void Open() {
    Dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog));
  }

  TScratchFolder Folder;
  std::string SettingsFile;
  TAppSettings Settings;
  TScriptedDialogs Dialogs;
  TRecordingDesktop Desktop;
  TfrmPreference Dialog;
};

TEST_F(PreferenceDialogTest, ItShowsTheStoredValuesWhenItOpens) {
  Open();
  EXPECT_EQ(Dialog.objectName(), "frmPreference");
  EXPECT_EQ(Dialog.windowTitle(), "Preferences");
  EXPECT_EQ(Dialog.size(), QSize(480, 390));
  EXPECT_EQ(Child<QLineEdit>("edtSnapDirectory")->text(), "/pictures/snaps");
  EXPECT_TRUE(Child<QLineEdit>("edtSnapDirectory")->isReadOnly());
  EXPECT_TRUE(Check("ckFullSize")->isChecked());
  EXPECT_FALSE(Check("ckSmallSize")->isChecked());
  EXPECT_FALSE(Check("ckBmp")->isChecked());
  EXPECT_TRUE(Check("ckJpg")->isChecked());
  EXPECT_TRUE(Spin()->isEnabled() && Slider()->isEnabled());
  EXPECT_EQ(Spin()->value(), 75);
  EXPECT_EQ(Slider()->value(), 75);
  EXPECT_EQ(Checked(), "Lower");
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->value(), 1);
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->minimum(), 0);
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->specialValueText(), "Automatic");
  EXPECT_FALSE(Spin()->toolTip().isEmpty());

  // Shown again later, it shows what is stored then, not what it showed before.
  Dialog.hide();
  Folder.Write("settings.ini", "[settings]\nsnapJpg=0\nPriority=7\nthreads=64\n");
  Open();
  EXPECT_EQ(Child<QLineEdit>("edtSnapDirectory")->text(), QString::fromStdString(DefaultOutputFolder()));
  EXPECT_FALSE(Check("ckJpg")->isChecked());
  EXPECT_FALSE(Spin()->isEnabled() || Slider()->isEnabled());
  EXPECT_EQ(Spin()->value(), 30);
  EXPECT_EQ(Checked(), "") << "a priority outside the list ticks none";
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->value(), 64) << "a larger machine's count is kept";
}

TEST_F(PreferenceDialogTest, TheCaptionsAreTheFormsOwn) {
  const std::vector<std::pair<const char*, const char*>> captions = {{"btnBrows", "&Brows"},
                                                                     {"btnOpen", "&Open"},
                                                                     {"ckFullSize", "Full Size"},
                                                                     {"ckSmallSize", "Small Size"},
                                                                     {"ckBmp", "BMP"},
                                                                     {"ckJpg", "JPG"},
                                                                     {"btnOk", "&Ok"},
                                                                     {"btnCancel", "&Cancel"},
                                                                     {"btnDefault", "&Default"}};
  for (const auto& [name, caption] : captions)
    EXPECT_EQ(Child<QAbstractButton>(name)->text(), caption) << name;
  EXPECT_EQ(Child<QGroupBox>("rdGrpPriority")->title(), "Work priority");
  for (const char* caption : {"Idle", "Normal", "Lower", "Lowest"})
    EXPECT_NE(Priority(caption), nullptr);
  QStringList labels;
  for (auto* label : Dialog.findChildren<QLabel*>())
    labels << label->text();
  EXPECT_TRUE(labels.contains("Jpg Compression Quality:"));
  EXPECT_TRUE(labels.contains("(The higher the value, the better the image quality.)"));
}

TEST_F(PreferenceDialogTest, NeitherPairCanBeClearedWhole) {
  Open();
  // BMP is clear: clearing JPG too re-ticks it.
  Click("ckJpg");
  EXPECT_TRUE(Check("ckJpg")->isChecked());
  EXPECT_TRUE(Spin()->isEnabled());
  // With BMP ticked, JPG clears, and the quality controls go with it.
  Click("ckBmp");
  Click("ckJpg");
  EXPECT_FALSE(Check("ckJpg")->isChecked());
  EXPECT_FALSE(Spin()->isEnabled() || Slider()->isEnabled());
  Click("ckBmp");
  EXPECT_TRUE(Check("ckBmp")->isChecked());
  Click("ckJpg");
  EXPECT_TRUE(Spin()->isEnabled() && Slider()->isEnabled());

  // Small Size is clear: Full Size stays; the keyboard's space is a click too.
  Click("ckFullSize");
  EXPECT_TRUE(Check("ckFullSize")->isChecked());
  Check("ckFullSize")->setFocus();
  QTest::keyClick(Check("ckFullSize"), Qt::Key_Space);
  EXPECT_TRUE(Check("ckFullSize")->isChecked());
  Click("ckSmallSize");
  Click("ckFullSize");
  EXPECT_FALSE(Check("ckFullSize")->isChecked());
  Click("ckSmallSize");
  EXPECT_TRUE(Check("ckSmallSize")->isChecked());
}

TEST_F(PreferenceDialogTest, SpinBoxAndSliderFollowEachOtherAndTheSpinBoxTakesNoTyping) {
  Open();
  Slider()->setValue(12);
  EXPECT_EQ(Spin()->value(), 12);
  Spin()->setFocus();
  QTest::keyClick(Spin(), Qt::Key_Up);
  EXPECT_EQ(Spin()->value(), 13);
  EXPECT_EQ(Slider()->value(), 13);
  QTest::keyClick(Spin(), Qt::Key_End);
  QTest::keyClick(Spin(), Qt::Key_Backspace);
  QTest::keyClicks(Spin(), "9");
  EXPECT_EQ(Spin()->value(), 13);
  EXPECT_EQ(Spin()->text(), "13");
  Slider()->setValue(100);
  QTest::keyClick(Spin(), Qt::Key_Up);
  EXPECT_EQ(Spin()->value(), 100);
  Slider()->setValue(1);
  QTest::keyClick(Spin(), Qt::Key_Down);
  EXPECT_EQ(Slider()->value(), 1);
}

TEST_F(PreferenceDialogTest, DefaultShowsItsOwnValuesAndWritesNothing) {
  Open();
  Click("btnDefault");
  EXPECT_EQ(Child<QLineEdit>("edtSnapDirectory")->text(), QString::fromStdString(DefaultOutputFolder()));
  EXPECT_TRUE(Check("ckBmp")->isChecked());
  EXPECT_FALSE(Check("ckJpg")->isChecked());
  EXPECT_TRUE(Check("ckFullSize")->isChecked());
  EXPECT_FALSE(Check("ckSmallSize")->isChecked());
  EXPECT_FALSE(Spin()->isEnabled());
  EXPECT_EQ(Spin()->value(), 20);
  EXPECT_EQ(Slider()->value(), 20);
  EXPECT_EQ(Checked(), "Normal");
  EXPECT_EQ(Child<QSpinBox>("spedThreads")->text(), "Automatic");
  EXPECT_TRUE(Dialog.isVisible());
  EXPECT_EQ(ReadText(SettingsFile), Stored);
}

TEST_F(PreferenceDialogTest, OkWritesEveryKeyAndCloses) {
  Open();
  Click("ckSmallSize");
  Click("ckBmp");
  Slider()->setValue(55);
  Click("ckJpg");
  Priority("Idle")->click();
  Child<QSpinBox>("spedThreads")->setValue(0);
  Click("btnOk");
  EXPECT_EQ(Dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(Dialog.isVisible());
  EXPECT_EQ(ReadText(SettingsFile), "; the user's own note\n[settings]\nOutPutDir=/videos\n"
                                    "SnapOutPutDir=/pictures/snaps\nsnapFullSize=1\nsnapSmallSize=1\n"
                                    "snapBmp=1\nsnapJpg=0\njpgCmp=55\npriority=0\nthreads=0\n");
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(PreferenceDialogTest, OkOnAFreshFileWritesTheKeysInTheirOwnSpelling) {
  std::filesystem::remove(SettingsFile);
  Open();
  Click("btnOk");
  EXPECT_EQ(ReadText(SettingsFile), "[settings]\nsnapOutPutDir=" + DefaultOutputFolder() +
                                        "\nsnapFullSize=1\nsnapSmallSize=1\nsnapBmp=1\nsnapJpg=1\n"
                                        "jpgCmp=30\npriority=1\nthreads=0\n");
}

TEST_F(PreferenceDialogTest, OkWithNoPriorityTickedWritesMinusOne) {
  Folder.Write("settings.ini", "[settings]\nPriority=9\n");
  Open();
  Click("btnOk");
  EXPECT_EQ(Settings.Priority(), -1);
}

TEST_F(PreferenceDialogTest, CancelWritesNothing) {
  Open();
  Click("ckSmallSize");
  Slider()->setValue(5);
  Priority("Lowest")->click();
  Child<QSpinBox>("spedThreads")->setValue(0);
  Click("btnDefault");
  Click("btnCancel");
  EXPECT_EQ(Dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(Dialog.isVisible());
  EXPECT_EQ(ReadText(SettingsFile), Stored);
}

TEST_F(PreferenceDialogTest, BrowsWritesThePickedFolderAtOnce) {
  Open();
  Dialogs.FolderAnswers = {std::nullopt, std::string("/pictures/new")};
  Click("btnBrows");
  EXPECT_EQ(ReadText(SettingsFile), Stored);
  Click("btnBrows");
  EXPECT_EQ(Child<QLineEdit>("edtSnapDirectory")->text(), "/pictures/new");
  EXPECT_EQ(Settings.SnapOutputDir(), "/pictures/new");
  EXPECT_EQ(Dialogs.FolderStarts, (std::vector<std::string>{"/pictures/snaps", "/pictures/snaps"}));
  Click("btnCancel");
  EXPECT_NE(ReadText(SettingsFile).find("\nSnapOutPutDir=/pictures/new\n"), std::string::npos);
}

TEST_F(PreferenceDialogTest, OpenOpensTheStoredFolderNotTheOneShown) {
  Open();
  Click("btnDefault");
  Click("btnOpen");
  EXPECT_EQ(Desktop.Opened, (std::vector<std::string>{"/pictures/snaps"}));
  // Two characters or fewer open nothing.
  Dialog.hide();
  Folder.Write("settings.ini", "[settings]\nSnapOutPutDir=/p\n");
  Open();
  Click("btnOpen");
  EXPECT_EQ(Desktop.Opened.size(), 1u);
}

TEST_F(PreferenceDialogTest, RunModallyItLoadsAndOkStores) {
  QTimer::singleShot(0, &Dialog, [&] {
    Priority("Lowest")->click();
    Click("btnOk");
  });
  // Closes the dialog whatever happens, so a fault cannot hang the test.
  QTimer::singleShot(5000, &Dialog, [&] { Dialog.reject(); });
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
