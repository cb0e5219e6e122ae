#include "SettingsEditor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AppTestSupport.h"
#include "FormatKeys.h"
#include "PanelInput.h"

namespace kavro {
namespace {

using test::ReadText;
using test::TScratchFolder;
using test::TScriptedDialogs;

constexpr const char* PspVideo480 = "PSP Video (480P) (*.mp4)";
constexpr const char* Ac3Audio = "AC-3 Audio Codec (*.ac3)";
constexpr int Psp480Code = 404;
constexpr int Ac3Code = 2706;

// A video format with H.264 extras and an audio-only format of the general edition.
constexpr const char* FormatFile = "[formatInfo404]\n"
                                   "VideoSize=320x240,368x208,480x272\n"
                                   "VideoBitRate=512,768,1024\n"
                                   "FrameRate=as source,25,29.97\n"
                                   "VideoEncoder=mpeg-4,H264\n"
                                   "AudioBitRate=64,96,128\n"
                                   "SampleRate=as source,44100,48000\n"
                                   "AudioEncoder=aac,mp3\n"
                                   "Channel=as source,mono 1 channel,stereo 2 channels\n"
                                   "Volume=50%,100%,150%\n"
                                   "iVideoSize=2\n"
                                   "iVideoBitRate=1\n"
                                   "iFrameRate=2\n"
                                   "iAudioBitRate=2\n"
                                   "iSampleRate=1\n"
                                   "iChannel=2\n"
                                   "iVolume=1\n"
                                   "paraBitExact=true\n"
                                   "paraMaxBitrate=768\n"
                                   "paraBufferSize=0\n"
                                   "paraGop=250\n"
                                   "\n"
                                   "[formatInfo2706]\n"
                                   "VideoSize=null\n"
                                   "VideoEncoder=\n"
                                   "AudioBitRate=128,192\n"
                                   "SampleRate=44100,48000\n"
                                   "AudioEncoder=ac-3\n"
                                   "Channel=stereo 2 channels\n"
                                   "Volume=100%\n";

// The user's earlier choices for the PSP format, with a typed frame size.
constexpr const char* StoredChoices = "; kept as written\n"
                                      "[settings]\n"
                                      "FormatName=PSP Video (480P) (*.mp4)\n"
                                      "FormatCode=404\n"
                                      "\n"
                                      "[formatInfo404]\n"
                                      "iVideoSize=-1\n"
                                      "paraVideoSize=720x576\n"
                                      "iVideoBitRate=0\n"
                                      "paraVideoBitRate=512\n"
                                      "iVideoEncoder=0\n"
                                      "paraVideoEncoder=mpeg4\n"
                                      "iChannel=1\n"
                                      "paraZoom=pan\n";

struct TEditorFixture : ::testing::Test {
  TScratchFolder Folder{"settings-editor"};
  TIniFile Formats{Folder.Write("formats.ini", FormatFile)};
  TAppSettings Settings{Folder.File("settings.ini")};
  TScriptedDialogs Dialogs;
  TSettingsEditor Editor{TEdition::General, Settings, Formats, Dialogs};

  void WriteSettings(const char* text) const { Folder.Write("settings.ini", text); }
  std::string Stored(const std::string& key, int code = Psp480Code) const {
    return Settings.Ini().ReadString(FormatSection(code), key, "<none>");
  }
  const TComboModel& Combo(TPanelCombo combo) const { return Editor.Combo(combo); }
  // Changes every combo of the panel, as a user would.
  void ChangeEverything() { ChangeEverything(Editor); }
  static void ChangeEverything(TSettingsEditor& editor) {
    editor.TypeText(TPanelCombo::VideoSize, "700x400");
    editor.LeaveField(TPanelCombo::VideoSize);
    editor.TypeText(TPanelCombo::VideoBitRate, "900");
    editor.LeaveField(TPanelCombo::VideoBitRate);
    editor.SelectItem(TPanelCombo::FrameRate, 1);
    editor.SelectItem(TPanelCombo::VideoEncoder, 1);
    editor.SelectItem(TPanelCombo::Zoom, 1);
    editor.SelectItem(TPanelCombo::AudioEncoder, 1);
    editor.TypeText(TPanelCombo::AudioBitRate, "112");
    editor.TypeText(TPanelCombo::SampleRate, "22050");
    editor.SelectItem(TPanelCombo::Channel, 0);
    editor.SelectItem(TPanelCombo::Volume, 2);
  }
};

// ---- Showing ------------------------------------------------------------------------------------

TEST_F(TEditorFixture, ShowingDisplaysTypedValuesByANegativeIndexAndItemsOtherwise) {
  WriteSettings(StoredChoices);
  Editor.Show();
  EXPECT_EQ(Editor.FormatCode(), Psp480Code);
  EXPECT_EQ(Editor.FormatName(), PspVideo480);
  // -1: the stored value as typed text, not the item the value happens to name.
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).ItemIndex, -1);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "720x576");
  // 0: the item, whatever value is stored beside it.
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).ItemIndex, 0);
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "512");
  EXPECT_EQ(Combo(TPanelCombo::Channel).Text, "mono 1 channel");
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Items,
            (std::vector<std::string>{"Full screen", "Letterbox", "Pan and Scan"}));
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Text, "Pan and Scan");
  EXPECT_TRUE(Combo(TPanelCombo::VideoSize).Enabled);

  // Typed values without a stored value show the editor's own defaults.
  WriteSettings("[settings]\nFormatCode=404\n[formatInfo404]\niVideoBitRate=-1\niFrameRate=-1\niSampleRate=-"
                "1\niAudioBitRate=-1\n"
                "paraZoom=center\n");
  Editor.Show();
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "800");
  EXPECT_EQ(Combo(TPanelCombo::FrameRate).Text, "25");
  EXPECT_EQ(Combo(TPanelCombo::SampleRate).Text, "44100");
  EXPECT_EQ(Combo(TPanelCombo::AudioBitRate).Text, "96");
  EXPECT_EQ(Combo(TPanelCombo::Zoom).ItemIndex, -1);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(TEditorFixture, AFreshSettingsFileShowsTheStoredCodesFormatAndWritesNothing) {
  Editor.Show();
  EXPECT_EQ(Editor.FormatCode(), 1);
  EXPECT_EQ(Editor.FormatName(), "iPod Video H.264 (*.mp4)");
  EXPECT_FALSE(Settings.Ini().SectionExists("formatInfo1"));
  EXPECT_FALSE(Settings.Ini().SectionExists("settings"));
}

TEST_F(TEditorFixture, ChoosingAFormatSelectsEveryStoredIndexAndStoresNothing) {
  WriteSettings(StoredChoices);
  Editor.Show();
  const std::string before = ReadText(Settings.Ini().FileName());
  Editor.ChooseFormat(Ac3Code, Ac3Audio);
  Editor.ChooseFormat(Psp480Code, PspVideo480);
  // The typed size's -1 is selected as an index: nothing shown.
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).ItemIndex, -1);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "");
  EXPECT_EQ(Combo(TPanelCombo::Channel).ItemIndex, 1);
  EXPECT_EQ(ReadText(Settings.Ini().FileName()), before);

  Editor.ChooseFormat(Ac3Code, Ac3Audio);
  EXPECT_FALSE(Combo(TPanelCombo::VideoSize).Enabled);
  EXPECT_TRUE(Combo(TPanelCombo::VideoSize).Greyed);
  EXPECT_EQ(Combo(TPanelCombo::AudioEncoder).Text, "ac-3");
  EXPECT_EQ(ReadText(Settings.Ini().FileName()), before);
}

// ---- Nothing stored before Ok -------------------------------------------------------------------

TEST_F(TEditorFixture, CancelAfterChangingEveryComboLeavesTheFileByteForByte) {
  WriteSettings(StoredChoices);
  {
    TSettingsEditor editor(TEdition::General, Settings, Formats, Dialogs);
    editor.Show();
    // The editor's list reports a choice and folds without storing either.
    TCatalogueList& list = editor.Catalogue();
    const int header = list.SelectName("Sony PSP");
    ASSERT_GE(header, 0);
    EXPECT_TRUE(list.MouseDown(5, header, Settings).Toggled);
    const int row = list.SelectName("PSP MPEG-4 Mini Size (*.mp4)");
    const TListPress press = list.MouseDown(50, row, Settings);
    ASSERT_TRUE(press.Choice);
    EXPECT_EQ(press.Choice->Code, 402);
    // Opening the list again shows the editor's choice, not the stored one.
    EXPECT_EQ(list.SelectStoredFormat(Settings), row);
    editor.ChooseFormat(press.Choice->Code, press.Choice->Name);
    editor.ChooseFormat(Psp480Code, PspVideo480);
    ChangeEverything(editor);
    editor.btnDefaultClick();
  }
  EXPECT_EQ(ReadText(Settings.Ini().FileName()), StoredChoices);
}

TEST_F(TEditorFixture, TheMainWindowsListStillStoresItsChoice) {
  TCatalogueList list(TEdition::General);
  list.Build(Settings);
  list.Expand(list.SelectName("Sony PSP"));
  const TListPress press = list.MouseDown(50, list.SelectName(PspVideo480), Settings);
  ASSERT_TRUE(press.Choice);
  EXPECT_EQ(Settings.FormatCode(), Psp480Code);
  EXPECT_EQ(Settings.FormatNameForCatalogue(), PspVideo480);
}

TEST_F(TEditorFixture, DefaultSelectsTheFormatsDefaultsAndZoomFullAndStoresNothing) {
  WriteSettings(StoredChoices);
  Editor.Show();
  Editor.btnDefaultClick();
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "480x272");
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "768");
  EXPECT_EQ(Combo(TPanelCombo::FrameRate).Text, "29.97");
  EXPECT_EQ(Combo(TPanelCombo::VideoEncoder).Text, "mpeg-4");
  EXPECT_EQ(Combo(TPanelCombo::AudioBitRate).Text, "128");
  EXPECT_EQ(Combo(TPanelCombo::SampleRate).Text, "44100");
  EXPECT_EQ(Combo(TPanelCombo::Channel).Text, "stereo 2 channels");
  EXPECT_EQ(Combo(TPanelCombo::Volume).Text, "100%");
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Text, "Full screen");
  EXPECT_EQ(ReadText(Settings.Ini().FileName()), StoredChoices);
}

// ---- Leaving a free-text field ------------------------------------------------------------------

TEST_F(TEditorFixture, InvalidTextsAreSaidGiveWayToItemOneAndKeepTheFocus) {
  Editor.Show();
  Editor.ChooseFormat(Psp480Code, PspVideo480);
  struct TCase {
    TPanelCombo Combo;
    const char* Typed;
    const char* Message;
    const char* Item1;
  };
  const TCase cases[] = {
      {TPanelCombo::VideoSize, "1280x720x", MsgFrameSizeInvalid, "368x208"},
      {TPanelCombo::VideoBitRate, "fast", MsgVideoBitRateInvalid, "768"},
      {TPanelCombo::AudioBitRate, "", MsgAudioBitRateInvalid, "96"},
      {TPanelCombo::SampleRate, "44k", MsgSampleRateInvalid, "44100"},
  };
  for (const auto& c : cases) {
    Dialogs.Messages.clear();
    Editor.TypeText(c.Combo, c.Typed);
    const TFieldExit exit = Editor.LeaveField(c.Combo);
    EXPECT_FALSE(exit.Valid) << c.Typed;
    EXPECT_TRUE(exit.KeepFocus) << c.Typed;
    ASSERT_EQ(Dialogs.Messages.size(), 1u) << c.Typed;
    EXPECT_EQ(Dialogs.Messages[0].Text, c.Message);
    EXPECT_EQ(Combo(c.Combo).ItemIndex, 1);
    EXPECT_EQ(Combo(c.Combo).Text, c.Item1);
  }
  Dialogs.Messages.clear();
  Editor.TypeText(TPanelCombo::VideoSize, "321x241");
  const TFieldExit corrected = Editor.LeaveField(TPanelCombo::VideoSize);
  EXPECT_TRUE(corrected.Valid);
  EXPECT_TRUE(corrected.KeepFocus);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, FrameSizeCorrectionText("320x240"));
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "320x240");

  Dialogs.Messages.clear();
  for (const char* good : {"640x480", "As Source"}) {
    Editor.TypeText(TPanelCombo::VideoSize, good);
    const TFieldExit exit = Editor.LeaveField(TPanelCombo::VideoSize);
    EXPECT_TRUE(exit.Valid && !exit.KeepFocus) << good;
  }
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_FALSE(Settings.Ini().SectionExists(FormatSection(Psp480Code)));
}

TEST_F(TEditorFixture, OkWithAnInvalidFieldStoresNothingAndSaysWhy) {
  WriteSettings(StoredChoices);
  Editor.Show();
  Editor.TypeText(TPanelCombo::VideoBitRate, "12a");
  EXPECT_FALSE(Editor.Ok());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, MsgVideoBitRateInvalid);
  EXPECT_EQ(ReadText(Settings.Ini().FileName()), StoredChoices);
}

TEST_F(TEditorFixture, TheTypingFiltersAreThePanels) {
  Editor.Show();
  Editor.ChooseFormat(Psp480Code, PspVideo480);
  EXPECT_TRUE(Editor.KeyPress(TPanelCombo::VideoBitRate, U'7'));
  EXPECT_FALSE(Editor.KeyPress(TPanelCombo::VideoBitRate, U'k'));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, MsgEnterNumerical);
  EXPECT_FALSE(Editor.KeyPress(TPanelCombo::VideoSize, U'y'));
  EXPECT_EQ(Dialogs.Beeps, 2);
}

// ---- Ok -----------------------------------------------------------------------------------------

TEST_F(TEditorFixture, OkStoresExactlyTheFormatsKeysTheFoldStateAndTheFormatInOneReplacement) {
  WriteSettings(StoredChoices);
  Editor.Show();
  ChangeEverything();
  test::TReplaceCounter replaced(Folder.Path(), "settings.ini");
  ASSERT_TRUE(Editor.Ok());
  EXPECT_EQ(replaced.Count(), 1);
  EXPECT_TRUE(Dialogs.Messages.empty());
  const std::vector<std::string> keys = Settings.Ini().ReadSection(FormatSection(Psp480Code));
  // The earlier keys keep their places; the new ones follow in the order they are written.
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "iVideoSize",     "paraVideoSize",    "iVideoBitRate",   "paraVideoBitRate",
                      "iVideoEncoder",  "paraVideoEncoder", "iChannel",        "paraZoom",
                      "Description",    "iFrameRate",       "iSampleRate",     "iAudioBitRate",
                      "iVolume",        "iAudioEncoder",    "paraFrameRate",   "paraBitExact",
                      "paraMaxBitrate", "paraGop",          "paraSampleRate",  "paraAudioBitRate",
                      "paraChannel",    "paraVolume",       "paraAudioEncoder"}));
  const std::pair<const char*, const char*> expected[] = {{"Description", PspVideo480},
                                                          {"iVideoSize", "-1"},
                                                          {"paraVideoSize", "700x400"},
                                                          {"iVideoBitRate", "-1"},
                                                          {"paraVideoBitRate", "900"},
                                                          {"iVideoEncoder", "1"},
                                                          {"paraVideoEncoder", "libx264"},
                                                          {"paraBitExact", "true"},
                                                          {"paraMaxBitrate", "768"},
                                                          {"paraGop", "250"},
                                                          {"iFrameRate", "1"},
                                                          {"paraFrameRate", "25"},
                                                          {"paraZoom", "lbox"},
                                                          {"iSampleRate", "-1"},
                                                          {"paraSampleRate", "22050"},
                                                          {"iAudioBitRate", "-1"},
                                                          {"paraAudioBitRate", "112"},
                                                          {"iChannel", "0"},
                                                          {"paraChannel", "as source"},
                                                          {"iVolume", "2"},
                                                          {"paraVolume", "384"},
                                                          {"iAudioEncoder", "1"},
                                                          {"paraAudioEncoder", "libmp3lame"}};
  for (const auto& [key, value] : expected)
    EXPECT_EQ(Stored(key), value) << key;
  // The fold state of every category, and the editor's format as the current one.
  EXPECT_EQ(Settings.Ini().ReadSection("lstformat").size(), 28u);
  EXPECT_EQ(Settings.FormatCode(), Psp480Code);
  EXPECT_EQ(Settings.FormatNameForCatalogue(), PspVideo480);
  EXPECT_EQ(ReadText(Settings.Ini().FileName()).rfind("; kept as written\n", 0), 0u);
}

TEST_F(TEditorFixture, ATypedSizeIsStoredAsTypedAndShownAgain) {
  WriteSettings(StoredChoices);
  Editor.Show();
  Editor.TypeText(TPanelCombo::VideoSize, "700x400");
  EXPECT_TRUE(Editor.LeaveField(TPanelCombo::VideoSize).Valid);
  ASSERT_TRUE(Editor.Ok());
  EXPECT_EQ(Stored("iVideoSize"), "-1");
  EXPECT_EQ(Stored("paraVideoSize"), "700x400");

  TSettingsEditor next(TEdition::General, Settings, Formats, Dialogs);
  next.Show();
  EXPECT_EQ(next.Combo(TPanelCombo::VideoSize).Text, "700x400");
  EXPECT_EQ(next.Combo(TPanelCombo::VideoSize).ItemIndex, -1);
}

TEST_F(TEditorFixture, OkAfterChoosingAnotherFormatMakesItTheCurrentOne) {
  WriteSettings(StoredChoices);
  Editor.Show();
  Editor.ChooseFormat(Ac3Code, Ac3Audio);
  ASSERT_TRUE(Editor.Ok());
  EXPECT_EQ(Settings.FormatCode(), Ac3Code);
  EXPECT_EQ(Settings.FormatNameForCatalogue(), Ac3Audio);
  EXPECT_EQ(Stored("Description", Ac3Code), Ac3Audio);
  EXPECT_EQ(Stored("paraAudioEncoder", Ac3Code), "ac3");
  // An audio format has no video parameters: none is stored, so none reads as a choice.
  for (const char* key :
       {"iVideoSize", "paraVideoSize", "paraVideoBitRate", "paraFrameRate", "paraVideoEncoder", "paraZoom"})
    EXPECT_EQ(Stored(key, Ac3Code), "<none>") << key;
  // The format shown before keeps its choices.
  EXPECT_EQ(Stored("paraVideoSize"), "720x576");
}

TEST_F(TEditorFixture, AFileThatCannotBeWrittenIsSaidAndTheEditorStaysOpen) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  WriteSettings(StoredChoices);
  Editor.Show();
  Editor.TypeText(TPanelCombo::VideoSize, "700x400");
  ASSERT_EQ(chmod(Folder.Path().c_str(), 0500), 0);
  EXPECT_FALSE(Editor.Ok());
  chmod(Folder.Path().c_str(), 0700);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, CaptionWarning);
}

} // namespace
} // namespace kavro
