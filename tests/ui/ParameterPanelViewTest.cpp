// The parameter panel's widgets over the real format file of the general edition and a settings
// file in a scratch folder: a choice in the drop-down fills them, typing goes through the filters,
// leaving the frame size checks it, Default stores the format's defaults, and parameters a format
// does not have cannot be touched. Messages are answered by the scripted dialogs.
#include <gtest/gtest.h>

#include "FormatDropDown.h"
#include "FormatKeys.h"
#include "PanelInput.h"
#include "ParameterPanelView.h"
#include "UiTestSupport.h"
#include "app/AppTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

namespace kavro::test {
namespace {

constexpr const char* PspVideo480 = "PSP Video (480P) (*.mp4)";
constexpr int Psp480Code = 404;
constexpr int Mp3Code = 2700;

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i)
    items << box.itemText(i);
  return items;
}

struct TPanelViewFixture : ::testing::Test {
  TScratchFolder Folder{"parameter-panel-view"};
  TAppSettings Settings{Folder.File("settings.ini")};
  TIniFile Formats{std::string(KAVRO_DATA_SOURCE) + "/kavrovideoformat.ini"};
  TScriptedDialogs Dialogs;
  TParameterPanel Panel{Settings.Ini(), Formats, Dialogs};
  QWidget Window;
  TParameterPanelView* View = new TParameterPanelView(Panel, &Window);

  void SetUp() override {
    Window.resize(640, 260);
    View->setGeometry(0, 0, 640, 220);
    Window.show();
    QApplication::setActiveWindow(&Window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
  }

  QComboBox& Box(const char* name) const {
    auto* box = View->findChild<QComboBox*>(name);
    EXPECT_NE(box, nullptr) << name;
    return *box;
  }
  std::string Stored(const std::string& key, int code = Psp480Code) const {
    return Settings.Ini().ReadString(FormatSection(code), key, "<none>");
  }
  // Empties a free-text field as a user does: everything selected, then backspace.
  static void Clear(QComboBox& box) {
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Backspace);
  }
};

TEST_F(TPanelViewFixture, ChoosingAFormatInTheDropDownFillsThePanelFromItsProfile) {
  TCatalogueList catalogue(TEdition::General);
  Settings.Ini().WriteBool(FoldStateSection, "4", false);
  TFormatDropDown dropDown(catalogue, Settings, &Window, &Window);
  dropDown.setGeometry(0, 220, 400, 24);
  QObject::connect(&dropDown, &TFormatDropDown::FormatChosen, View,
                   [this](int code, const QString&) { View->Load(code); });
  // As the main window shows: the catalogue built, the panel loaded for the stored format.
  dropDown.Build();
  View->Load(dropDown.FormatCode());
  dropDown.ShowList();
  int row = 0;
  while (row < catalogue.RowCount() && catalogue.Row(row).Text != PspVideo480)
    ++row;
  ASSERT_LT(row, catalogue.RowCount());
  QListView& list = *dropDown.List();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                    list.visualRect(list.model()->index(row, 0)).center());
  ASSERT_EQ(Panel.FormatCode(), Psp480Code);

  EXPECT_EQ(Items(Box("cmbVideoSize")), (QStringList{"720x480", "640x480", "480x272"}));
  EXPECT_EQ(Box("cmbVideoSize").currentText(), "720x480");
  EXPECT_EQ(Items(Box("cmbVideoBitRate")), (QStringList{"1500", "1000", "2000", "2500"}));
  EXPECT_EQ(Box("cmbFrameRate").currentText(), "29.97");
  EXPECT_EQ(Items(Box("cmbVideoEncoder")), (QStringList{"h264", "mpeg-4"}));
  EXPECT_EQ(Box("cmbVideoEncoder").currentIndex(), 0);
  // A format seen for the first time converts with letterbox.
  EXPECT_EQ(Box("cmbZoom").currentText(), "Letter Box");
  EXPECT_EQ(Box("cmbAudioEncoder").currentText(), "aac");
  EXPECT_EQ(Box("cmbAudioBitRate").currentText(), "128");
  EXPECT_EQ(Box("cmbSamplerate").currentText(), "48000");
  EXPECT_EQ(Box("cmbChannel").currentText(), "stereo 2 channels");
  EXPECT_EQ(Box("cmbVolume").currentText(), "100%");
  EXPECT_EQ(Box("cmbVolume").maxVisibleItems(), 12);
  for (const QComboBox* box : View->findChildren<QComboBox*>())
    EXPECT_TRUE(box->isEnabled()) << box->objectName().toStdString();
  EXPECT_EQ(Stored("paraVideoEncoder"), "libx264");
  EXPECT_TRUE(Dialogs.Messages.empty());

  // A pick from a list is stored at once; showing it again stores nothing more.
  QTest::keyClick(&Box("cmbChannel"), Qt::Key_Down);
  EXPECT_EQ(Stored("paraChannel"), "1");
  EXPECT_EQ(Stored("iChannel"), "1");
  const std::string before = ReadText(Folder.File("settings.ini"));
  View->Load(Psp480Code);
  EXPECT_EQ(Box("cmbChannel").currentText(), "mono 1 channel");
  EXPECT_EQ(ReadText(Folder.File("settings.ini")), before);
}

TEST_F(TPanelViewFixture, LeavingAnOddFrameSizeCorrectsItStoresItAndShowsIt) {
  View->Load(Psp480Code);
  QComboBox& size = Box("cmbVideoSize");
  size.setFocus();
  ASSERT_TRUE(WaitUntil([&] { return size.hasFocus(); }));
  Clear(size);
  QTest::keyClicks(&size, "321x241");
  EXPECT_EQ(size.currentText(), "321x241");
  // A second "x" is refused with a beep alone.
  QTest::keyClick(&size, Qt::Key_X);
  EXPECT_EQ(size.currentText(), "321x241");
  EXPECT_EQ(Dialogs.Beeps, 1);
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Stored("paraVideoSize"), "720x480");

  Box("cmbVideoBitRate").setFocus();
  ASSERT_TRUE(WaitUntil([&] { return !size.hasFocus(); }));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, FrameSizeCorrectionText("320x240"));
  EXPECT_EQ(Dialogs.Messages[0].Caption, CaptionInputError);
  EXPECT_EQ(Stored("paraVideoSize"), "320x240");
  EXPECT_EQ(size.currentText(), "320x240");

  // Opening the field's own list is no leaving of it.
  size.setFocus();
  ASSERT_TRUE(WaitUntil([&] { return size.hasFocus(); }));
  Clear(size);
  QTest::keyClicks(&size, "1280x720x");
  EXPECT_EQ(size.currentText(), "1280x720");
  size.showPopup();
  size.hidePopup();
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
  // The run's check at Start: a size without a height is refused and item 1 shown.
  size.lineEdit()->setText("1280x");
  Panel.TypeText(TPanelCombo::VideoSize, "1280x");
  EXPECT_FALSE(View->ValidateFrameSize());
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[1].Text, MsgFrameSizeInvalid);
  EXPECT_EQ(size.currentText(), "640x480");
  EXPECT_EQ(Stored("paraVideoSize"), "320x240");
}

TEST_F(TPanelViewFixture, TheRateFieldsTakeDigitsOnlyAndStoreAsTheyChange) {
  View->Load(Psp480Code);
  QComboBox& bitRate = Box("cmbVideoBitRate");
  bitRate.setFocus();
  ASSERT_TRUE(WaitUntil([&] { return bitRate.hasFocus(); }));
  QTest::keyClick(&bitRate, Qt::Key_End);
  QTest::keyClick(&bitRate, Qt::Key_A);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, MsgEnterNumerical);
  EXPECT_EQ(Dialogs.Messages[0].Caption, CaptionInputError);
  EXPECT_EQ(Dialogs.Beeps, 1);
  EXPECT_EQ(bitRate.currentText(), "1500");
  EXPECT_EQ(Stored("paraVideoBitRate"), "1500");

  QTest::keyClicks(&bitRate, "0");
  EXPECT_EQ(bitRate.currentText(), "15000");
  EXPECT_EQ(Stored("paraVideoBitRate"), "15000");
  QTest::keyClick(&Box("cmbSamplerate"), Qt::Key_Period);
  EXPECT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Box("cmbSamplerate").currentText(), "48000");
}

TEST_F(TPanelViewFixture, DefaultStoresTheFormatFilesDefaultsAndShowsThem) {
  View->Load(Psp480Code);
  QTest::keyClick(&Box("cmbVideoEncoder"), Qt::Key_Down);
  QTest::keyClick(&Box("cmbVolume"), Qt::Key_Down);
  QTest::keyClick(&Box("cmbZoom"), Qt::Key_Up);
  QComboBox& sampleRate = Box("cmbSamplerate");
  sampleRate.setFocus();
  ASSERT_TRUE(WaitUntil([&] { return sampleRate.hasFocus(); }));
  // Typed over the selected text: the field never empties, which would be refused.
  QTest::keyClick(&sampleRate, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&sampleRate, "22050");
  ASSERT_EQ(Stored("paraVideoEncoder"), "mpeg4");
  ASSERT_EQ(Stored("paraVolume"), "320");
  ASSERT_EQ(Stored("paraZoom"), "full");
  ASSERT_EQ(Stored("paraSampleRate"), "22050");

  QTest::mouseClick(View->findChild<QPushButton*>("btnDefault"), Qt::LeftButton);
  EXPECT_EQ(Stored("paraVideoEncoder"), "libx264");
  EXPECT_EQ(Stored("paraVideoSize"), "720x480");
  EXPECT_EQ(Stored("paraVideoBitRate"), "1500");
  EXPECT_EQ(Stored("paraFrameRate"), "29.97");
  EXPECT_EQ(Stored("paraZoom"), "full");
  EXPECT_EQ(Stored("paraAudioEncoder"), "libfaac");
  EXPECT_EQ(Stored("paraAudioBitRate"), "128");
  EXPECT_EQ(Stored("paraSampleRate"), "48000");
  EXPECT_EQ(Stored("paraChannel"), "2");
  EXPECT_EQ(Stored("paraVolume"), "256");
  EXPECT_EQ(Box("cmbVideoEncoder").currentText(), "h264");
  EXPECT_EQ(Box("cmbVolume").currentText(), "100%");
  EXPECT_EQ(Box("cmbZoom").currentText(), "Full Screen");
  EXPECT_EQ(sampleRate.currentText(), "48000");
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(TPanelViewFixture, ParametersAFormatDoesNotHaveAreDisabledAndGreyed) {
  View->Load(Mp3Code);
  const QColor greyText = View->palette().color(QPalette::Disabled, QPalette::Text);
  for (const char* name : {"cmbVideoSize", "cmbVideoBitRate", "cmbFrameRate", "cmbVideoEncoder", "cmbZoom"}) {
    EXPECT_FALSE(Box(name).isEnabled()) << name;
    EXPECT_EQ(Box(name).palette().color(QPalette::Active, QPalette::Text), greyText) << name;
  }
  for (const char* name : {"cmbAudioEncoder", "cmbAudioBitRate", "cmbSamplerate", "cmbChannel", "cmbVolume"})
    EXPECT_TRUE(Box(name).isEnabled()) << name;
  EXPECT_EQ(Box("cmbAudioEncoder").palette().color(QPalette::Active, QPalette::Text),
            View->palette().color(QPalette::Active, QPalette::Text));
  EXPECT_EQ(Stored("paraVideoSize", Mp3Code), "<none>");

  // One "null" list beside an encoder: that one combo is disabled, the rest of its side not.
  TIniFile formats(Folder.Write("formats.ini", "[formatInfo5]\n"
                                               "VideoSize=null\n"
                                               "VideoBitRate=512,768\n"
                                               "VideoEncoder=mpeg-4\n"
                                               "AudioEncoder=mp3\n"
                                               "SampleRate=null\n"));
  TParameterPanel panel(Settings.Ini(), formats, Dialogs);
  TParameterPanelView view(panel, &Window);
  view.Load(5);
  EXPECT_FALSE(view.Combo(TPanelCombo::VideoSize)->isEnabled());
  EXPECT_FALSE(view.Combo(TPanelCombo::SampleRate)->isEnabled());
  EXPECT_TRUE(view.Combo(TPanelCombo::VideoBitRate)->isEnabled());
  EXPECT_TRUE(view.Combo(TPanelCombo::AudioEncoder)->isEnabled());
  panel.TypeText(TPanelCombo::SampleRate, "22050");
  EXPECT_EQ(Stored("paraSampleRate", 5), "<none>");
}

TEST_F(TPanelViewFixture, ScreenshotOfThePanel) {
  View->Load(Psp480Code);
  Pump(50);
  const std::string path = SaveScreenshot(*View, "ParameterPanel");
  EXPECT_FALSE(QPixmap(QString::fromStdString(path)).isNull());
}

} // namespace
} // namespace kavro::test
