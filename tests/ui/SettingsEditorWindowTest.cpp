// The settings editor's window over the real format file of the general edition and a settings file
// in a scratch folder, driven through its controls: nothing is stored before Ok, Ok stores what the
// controls show and the chosen format, and a field that holds no value keeps the focus.
#include <gtest/gtest.h>

#include "CatalogueList.h"
#include "FormatKeys.h"
#include "PanelInput.h"
#include "UiTestSupport.h"
#include "WinSettings.h"
#include "app/AppTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace kavro::test {
namespace {

constexpr const char* PspVideo480 = "PSP Video (480P) (*.mp4)";
constexpr const char* Ac3Audio = "AC-3 Audio Codec (*.ac3)";
constexpr int Psp480Code = 404;
constexpr int Ac3Code = 2706;

// The PSP format as the current one with earlier choices, its category and the audio formats open.
constexpr const char* StoredChoices = "[settings]\n"
                                      "FormatName=PSP Video (480P) (*.mp4)\n"
                                      "FormatCode=404\n"
                                      "\n"
                                      "[lstformat]\n"
                                      "4=0\n"
                                      "27=0\n"
                                      "\n"
                                      "[formatInfo404]\n"
                                      "iVideoSize=1\n"
                                      "paraVideoSize=640x480\n"
                                      "iVideoEncoder=1\n"
                                      "paraVideoEncoder=mpeg4\n"
                                      "paraZoom=lbox\n";

struct TSettingsWindowFixture : ::testing::Test {
  TScratchFolder Folder{"settings-window"};
  TAppSettings Settings{Folder.Write("settings.ini", StoredChoices)};
  TIniFile Formats{std::string(KAVRO_DATA_SOURCE) + "/kavrovideoformat.ini"};
  TScriptedDialogs Dialogs;
  std::unique_ptr<TfrmSettings> Form;

  void SetUp() override { Open(); }

  void Open() {
    Form = std::make_unique<TfrmSettings>(TEdition::General, Settings, Formats, Dialogs);
    Form->show();
    QApplication::setActiveWindow(Form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
  }
  template <typename T> T& Find(const char* name) const {
    auto* found = Form->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }
  QComboBox& Box(const char* name) const { return Find<QComboBox>(name); }
  std::string Stored(const std::string& key, int code = Psp480Code) const {
    return Settings.Ini().ReadString(FormatSection(code), key, "<none>");
  }
  std::string FileText() const { return ReadText(Folder.File("settings.ini")); }
  void Focus(QWidget& widget) const {
    widget.setFocus();
    ASSERT_TRUE(WaitUntil([&] { return widget.hasFocus(); }));
  }
  // Replaces a free-text field's text by typing.
  void Type(const char* name, const char* text) const {
    QComboBox& box = Box(name);
    Focus(box);
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClicks(&box, text);
  }
  // Opens lst1 by its button and clicks the row of a format.
  void ChooseInList(const char* name) const {
    QTest::mouseClick(&Find<QToolButton>("imgbtn1"), Qt::LeftButton);
    QListView& list = Find<QListView>("lst1");
    ASSERT_TRUE(WaitUntil([&] { return list.isVisible(); }));
    const QAbstractItemModel& rows = *list.model();
    int row = 0;
    while (row < rows.rowCount() && rows.index(row, 0).data().toString() != name)
      ++row;
    ASSERT_LT(row, rows.rowCount()) << name;
    list.scrollTo(rows.index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(rows.index(row, 0)).center());
    EXPECT_FALSE(list.isVisible());
  }
  void Click(const char* button) const { QTest::mouseClick(&Find<QPushButton>(button), Qt::LeftButton); }
};

TEST_F(TSettingsWindowFixture, TheFormCarriesItsNamesCaptionsAndTheStoredFormat) {
  EXPECT_EQ(Form->objectName(), "frmSettings");
  EXPECT_EQ(Form->windowTitle(), "Settings");
  EXPECT_TRUE(Form->isModal());
  EXPECT_EQ(Form->size(), QSize(475, 370));
  EXPECT_EQ(Find<QGroupBox>("grpbxVideo").title(), "Video Options");
  EXPECT_EQ(Find<QGroupBox>("grpbxAudio").title(), "Audio Options");
  EXPECT_EQ(Find<QPushButton>("btnDefault").text(), "&Default");
  EXPECT_EQ(Find<QPushButton>("btnOk").text(), "&Ok");
  EXPECT_EQ(Find<QPushButton>("btnCancel").text(), "&Cancel");
  EXPECT_FALSE(Box("cbOutputFormat").isVisible());
  for (const char* name : {"cmbVideoSize", "cmbVideoEncoder", "cmbVideoBitRate", "cmbFrameRate", "cmbZoom"})
    EXPECT_TRUE(Find<QGroupBox>("grpbxVideo").isAncestorOf(&Box(name))) << name;
  for (const char* name : {"cmbSamplerate", "cmbAudioEncoder", "cmbChannel", "cmbVolume", "cmbAudioBitRate"})
    EXPECT_TRUE(Find<QGroupBox>("grpbxAudio").isAncestorOf(&Box(name))) << name;
  EXPECT_EQ(Find<QLineEdit>("edt1").text(), PspVideo480);
  EXPECT_EQ(Box("cmbVideoSize").currentText(), "640x480");
  EXPECT_EQ(Box("cmbVideoEncoder").currentText(), "mpeg-4");
  EXPECT_EQ(Box("cmbZoom").currentText(), "Letterbox");
}

TEST_F(TSettingsWindowFixture, CancelAfterChangingEveryComboLeavesTheFileAsItWas) {
  const std::string before = FileText();
  Type("cmbVideoSize", "700x400");
  Type("cmbVideoBitRate", "900");
  Type("cmbAudioBitRate", "112");
  Type("cmbSamplerate", "22050");
  for (const char* name :
       {"cmbFrameRate", "cmbVideoEncoder", "cmbZoom", "cmbAudioEncoder", "cmbChannel", "cmbVolume"}) {
    Focus(Box(name));
    QTest::keyClick(&Box(name), Qt::Key_Up);
  }
  EXPECT_EQ(Box("cmbVideoEncoder").currentText(), "h264");
  ChooseInList(Ac3Audio);
  EXPECT_EQ(Find<QLineEdit>("edt1").text(), Ac3Audio);
  Click("btnDefault");
  Click("btnCancel");
  EXPECT_EQ(Form->result(), QDialog::Rejected);
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(FileText(), before);
}

TEST_F(TSettingsWindowFixture, ATypedSizeIsStoredOnOkAndShownNextTime) {
  Type("cmbVideoSize", "700x400");
  EXPECT_EQ(Stored("paraVideoSize"), "640x480");
  Click("btnOk");
  EXPECT_EQ(Form->result(), QDialog::Accepted);
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Stored("iVideoSize"), "-1");
  EXPECT_EQ(Stored("paraVideoSize"), "700x400");
  EXPECT_EQ(Stored("Description"), PspVideo480);
  EXPECT_EQ(Stored("paraZoom"), "lbox");
  EXPECT_EQ(Stored("paraVideoEncoder"), "mpeg4");
  EXPECT_EQ(Form->ChosenCode(), Psp480Code);

  Open();
  EXPECT_EQ(Box("cmbVideoSize").currentText(), "700x400");
  EXPECT_EQ(Box("cmbVideoSize").currentIndex(), -1);
}

TEST_F(TSettingsWindowFixture, AFormatChosenInTheListBecomesCurrentOnOkOnly) {
  ChooseInList(Ac3Audio);
  EXPECT_FALSE(Box("cmbVideoSize").isEnabled());
  EXPECT_EQ(Box("cmbAudioEncoder").currentText(), "ac-3");
  EXPECT_EQ(Settings.FormatCode(), Psp480Code);
  // Opening the list again shows the editor's choice.
  QTest::mouseClick(&Find<QToolButton>("imgbtn1"), Qt::LeftButton);
  const TCatalogueList& list = Form->Editor().Catalogue();
  ASSERT_GE(list.ItemIndex(), 0);
  EXPECT_EQ(list.Row(list.ItemIndex()).Text, Ac3Audio);
  QTest::keyClick(&Find<QListView>("lst1"), Qt::Key_Escape);

  Click("btnOk");
  EXPECT_EQ(Form->result(), QDialog::Accepted);
  EXPECT_EQ(Form->ChosenCode(), Ac3Code);
  EXPECT_EQ(Form->ChosenName(), Ac3Audio);
  EXPECT_EQ(Settings.FormatCode(), Ac3Code);
  EXPECT_EQ(Settings.FormatNameForCatalogue(), Ac3Audio);
  EXPECT_EQ(Stored("paraAudioEncoder", Ac3Code), "ac3");
  EXPECT_EQ(Settings.Ini().ReadString("lstformat", "27", ""), "0");
}

TEST_F(TSettingsWindowFixture, AFieldWithoutAValueIsSaidAndKeepsTheFocus) {
  QComboBox& size = Box("cmbVideoSize");
  Type("cmbVideoSize", "1280x");
  Focus(Box("cmbVideoBitRate"));
  ASSERT_TRUE(WaitUntil([&] { return size.hasFocus(); }));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, MsgFrameSizeInvalid);
  EXPECT_EQ(size.currentText(), "640x480");

  QComboBox& bitRate = Box("cmbVideoBitRate");
  Type("cmbVideoBitRate", "");
  Focus(size);
  ASSERT_TRUE(WaitUntil([&] { return bitRate.hasFocus(); }));
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[1].Text, MsgVideoBitRateInvalid);
  EXPECT_EQ(Stored("paraVideoBitRate"), "<none>");
}

TEST_F(TSettingsWindowFixture, ScreenshotOfTheForm) {
  Pump(50);
  const std::string path = SaveScreenshot(*Form, "TfrmSettings");
  EXPECT_FALSE(QPixmap(QString::fromStdString(path)).isNull());
}

} // namespace
} // namespace kavro::test
