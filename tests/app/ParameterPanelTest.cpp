#include "ParameterPanel.h"

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "EncoderNames.h"
#include "FormatKeys.h"
#include "PanelInput.h"

namespace kavro {
namespace {

using test::ReadText;
using test::TScratchFolder;
using test::TScriptedDialogs;

// A video format with H.264 extras (404), an audio-only format (206) and a format whose lists are
// short or broken (7).
constexpr const char* FormatFile = "[formatInfo404]\n"
                                   "Format=psp\n"
                                   "VideoSize=320x240,368x208,480x272,\n"
                                   "VideoBitRate=512,768,1024\n"
                                   "FrameRate=as source,25,29.97\n"
                                   "VideoEncoder=mpeg-4,H264\n"
                                   "AudioBitRate=64,96,128,96.5\n"
                                   "SampleRate=as source,44100,48000\n"
                                   "AudioEncoder=aac,mp3\n"
                                   "Channel=as source,mono 1 channel,stereo 2 channels\n"
                                   "Volume=50%,100%,150%,90%\n"
                                   "iVideoSize=2\n"
                                   "iVideoBitRate=1\n"
                                   "iFrameRate=2\n"
                                   "iVideoEncoder=1\n"
                                   "iAudioBitRate=2\n"
                                   "iSampleRate=1\n"
                                   "iChannel=2\n"
                                   "iVolume=1\n"
                                   "paraBitExact=true\n"
                                   "paraMaxBitrate=768\n"
                                   "paraBufferSize=0\n"
                                   "paraQscale=abc\n"
                                   "paraGop=250\n"
                                   "paraCoder=0\n"
                                   "\n"
                                   "[formatInfo206]\n"
                                   "Format=ac3\n"
                                   "FileExt=ac3\n"
                                   "VideoSize=null\n"
                                   "VideoEncoder=\n"
                                   "AudioBitRate=128,192\n"
                                   "SampleRate=44100,48000\n"
                                   "AudioEncoder=ac-3\n"
                                   "Channel=stereo 2 channels\n"
                                   "Volume=100%\n"
                                   "\n"
                                   "[formatInfo7]\n"
                                   "VideoSize=321x241\n"
                                   "VideoBitRate=fast\n"
                                   "VideoEncoder=flv\n"
                                   "AudioEncoder=mp3\n"
                                   "Volume=abc%\n";

struct TPanelFixture : ::testing::Test {
  TScratchFolder Folder{"parameter-panel"};
  TIniFile Formats{Folder.Write("formats.ini", FormatFile)};
  TIniFile Settings{Folder.File("settings.ini")};
  TScriptedDialogs Dialogs;
  TParameterPanel Panel{Settings, Formats, Dialogs};

  std::string Stored(int code, const std::string& key) const {
    return Settings.ReadString(FormatSection(code), key, "<none>");
  }
  // Settings that already hold choices, so that loading does not store the defaults first.
  void Touch(int code) { Settings.WriteString(FormatSection(code), "paraAudioEncoder", "libmp3lame"); }
  const TComboModel& Combo(TPanelCombo combo) const { return Panel.Combo(combo); }
};

// ---- Storing the format file's defaults -----------------------------------------------------------

TEST_F(TPanelFixture, AFreshSettingsFileGetsTheFormatsDefaultsInTheDefaultButtonsOrder) {
  Settings.WriteString("settings", "FormatCode", "404");
  test::TReplaceCounter replaced(Folder.Path(), "settings.ini");
  EXPECT_TRUE(EnsureFormatChoices(Settings, Formats, 404, Dialogs));
  EXPECT_TRUE(Dialogs.Messages.empty());
  // All of it in one replacement of the file.
  EXPECT_EQ(replaced.Count(), 1);
  EXPECT_EQ(
      ReadText(Settings.FileName()),
      "[settings]\nFormatCode=404\n\n[formatInfo404]\niVideoEncoder=1\nparaVideoEncoder=libx264\n"
      "paraBitExact=true\nparaMaxBitrate=768\nparaGop=250\nparaCoder=0\niVideoSize=2\n"
      "paraVideoSize=480x272\niFrameRate=2\nparaFrameRate=29.97\niVideoBitRate=1\nparaVideoBitRate=768\n"
      "paraZoom=lbox\niAudioEncoder=0\nparaAudioEncoder=libfaac\niAudioBitRate=2\nparaAudioBitRate=128\n"
      "iSampleRate=1\nparaSampleRate=44100\niChannel=2\nparaChannel=2\niVolume=1\nparaVolume=256\n");
  // Keys join the section in the order they are first written.
  EXPECT_EQ(Settings.ReadSection(FormatSection(404)),
            (std::vector<std::string>{
                "iVideoEncoder", "paraVideoEncoder", "paraBitExact",  "paraMaxBitrate", "paraGop",
                "paraCoder",     "iVideoSize",       "paraVideoSize", "iFrameRate",     "paraFrameRate",
                "iVideoBitRate", "paraVideoBitRate", "paraZoom",      "iAudioEncoder",  "paraAudioEncoder",
                "iAudioBitRate", "paraAudioBitRate", "iSampleRate",   "paraSampleRate", "iChannel",
                "paraChannel",   "iVolume",          "paraVolume"}));
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Stored(404, "iVideoEncoder"), "1");
  EXPECT_EQ(Stored(404, "paraBitExact"), "true");
  EXPECT_EQ(Stored(404, "paraMaxBitrate"), "768");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "480x272");
  EXPECT_EQ(Stored(404, "iVideoSize"), "2");
  EXPECT_EQ(Stored(404, "paraFrameRate"), "29.97");
  EXPECT_EQ(Stored(404, "paraVideoBitRate"), "768");
  // Untouched, nothing is distorted: the conversion letterboxes, as the option builder would.
  EXPECT_EQ(Stored(404, "paraZoom"), "lbox");
  EXPECT_EQ(Stored(404, "paraAudioEncoder"), "libfaac");
  EXPECT_EQ(Stored(404, "paraAudioBitRate"), "128");
  EXPECT_EQ(Stored(404, "paraSampleRate"), "44100");
  EXPECT_EQ(Stored(404, "paraChannel"), "2");
  EXPECT_EQ(Stored(404, "paraVolume"), "256");

  // Once choices are there, nothing is touched.
  const std::string before = ReadText(Settings.FileName());
  EXPECT_FALSE(EnsureFormatChoices(Settings, Formats, 404, Dialogs));
  EXPECT_EQ(ReadText(Settings.FileName()), before);
}

TEST_F(TPanelFixture, EitherEncoderKeyCountsAsChoicesMade) {
  Settings.WriteString(FormatSection(404), "paraVideoEncoder", "");
  EXPECT_FALSE(EnsureFormatChoices(Settings, Formats, 404, Dialogs));
  Settings.WriteString(FormatSection(206), "PARAAUDIOENCODER", "ac3");
  EXPECT_FALSE(EnsureFormatChoices(Settings, Formats, 206, Dialogs));
  EXPECT_EQ(Settings.ReadSection(FormatSection(404)).size(), 1u);
  EXPECT_EQ(Settings.ReadSection(FormatSection(206)).size(), 1u);
}

TEST_F(TPanelFixture, LoadingAFormatStoresItsDefaultsFirst) {
  Panel.Load(404);
  EXPECT_EQ(Panel.FormatCode(), 404);
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).ItemIndex, 2);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "480x272");
  EXPECT_EQ(Combo(TPanelCombo::VideoEncoder).Text, "H264");
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Text, "Letter Box");
  EXPECT_EQ(Combo(TPanelCombo::Volume).Text, "100%");
}

TEST_F(TPanelFixture, AnAudioOnlyFormatStoresOnlyWhatApplies) {
  EXPECT_TRUE(EnsureFormatChoices(Settings, Formats, 206, Dialogs));
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Settings.ReadSection(FormatSection(206)),
            (std::vector<std::string>{"iAudioEncoder", "paraAudioEncoder", "iAudioBitRate",
                                      "paraAudioBitRate", "iSampleRate", "paraSampleRate", "iChannel",
                                      "paraChannel", "iVolume", "paraVolume"}));
  EXPECT_EQ(Stored(206, "paraAudioEncoder"), "ac3");

  Panel.Load(206);
  for (const TPanelCombo video : {TPanelCombo::VideoSize, TPanelCombo::VideoBitRate, TPanelCombo::FrameRate,
                                  TPanelCombo::VideoEncoder, TPanelCombo::Zoom}) {
    EXPECT_FALSE(Combo(video).Enabled);
    EXPECT_TRUE(Combo(video).Greyed);
  }
  for (const TPanelCombo audio : {TPanelCombo::AudioEncoder, TPanelCombo::AudioBitRate,
                                  TPanelCombo::SampleRate, TPanelCombo::Channel, TPanelCombo::Volume}) {
    EXPECT_TRUE(Combo(audio).Enabled);
    EXPECT_FALSE(Combo(audio).Greyed);
  }
  // A disabled combo takes no input and its check passes.
  Panel.TypeText(TPanelCombo::VideoSize, "3x3");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_FALSE(Panel.KeyPress(TPanelCombo::VideoBitRate, U'1'));
  EXPECT_EQ(Stored(206, "paraVideoSize"), "<none>");
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Dialogs.Beeps, 0);
}

TEST_F(TPanelFixture, TheDefaultButtonUndoesTheUsersChoices) {
  Panel.Load(404);
  Panel.TypeText(TPanelCombo::VideoBitRate, "2000");
  Panel.SelectItem(TPanelCombo::Zoom, 2);
  Panel.SelectItem(TPanelCombo::VideoEncoder, 0);
  Panel.TypeText(TPanelCombo::VideoSize, "640x480");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_EQ(Stored(404, "paraVideoBitRate"), "2000");
  EXPECT_EQ(Stored(404, "paraZoom"), "pan");
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "mpeg4");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "640x480");

  test::TReplaceCounter replaced(Folder.Path(), "settings.ini");
  Panel.btnDefaultClick();
  EXPECT_EQ(replaced.Count(), 1);
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "768");
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).ItemIndex, 1);
  EXPECT_EQ(Combo(TPanelCombo::Zoom).ItemIndex, 0);
  EXPECT_EQ(Stored(404, "paraVideoBitRate"), "768");
  EXPECT_EQ(Stored(404, "iVideoBitRate"), "1");
  EXPECT_EQ(Stored(404, "paraZoom"), "full");
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "480x272");
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(TPanelFixture, DefaultsThatFailTheirChecksAreSaidAndCorrected) {
  EXPECT_TRUE(EnsureFormatChoices(Settings, Formats, 7, Dialogs));
  ASSERT_EQ(Dialogs.Messages.size(), 3u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Frame Size must be a multiple of 2.\nThe correct value:320x240");
  EXPECT_EQ(Dialogs.Messages[1].Text, "Video BitRate is not a valid value!");
  EXPECT_EQ(Dialogs.Messages[2].Text, "'abc' is not a valid integer value");
  EXPECT_EQ(Stored(7, "paraVideoSize"), "320x240");
  EXPECT_EQ(Stored(7, "iVideoSize"), "0");
  EXPECT_EQ(Stored(7, "paraVideoBitRate"), "<none>");
  EXPECT_EQ(Stored(7, "paraVideoEncoder"), "flv");
  EXPECT_EQ(Stored(7, "iVolume"), "<none>");
  EXPECT_EQ(Stored(7, "paraVolume"), "<none>");
}

// ---- Loading --------------------------------------------------------------------------------------

TEST_F(TPanelFixture, LoadingShowsTheStoredChoicesWithThePanelsOwnDefaults) {
  Touch(404);
  Panel.Load(404);
  // No stored values: "320x240", "768", "44100", "96" and index 0.
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).ItemIndex, 0);
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).ItemIndex, 1);
  EXPECT_EQ(Combo(TPanelCombo::SampleRate).Text, "44100");
  EXPECT_EQ(Combo(TPanelCombo::AudioBitRate).ItemIndex, 1);
  EXPECT_EQ(Combo(TPanelCombo::FrameRate).ItemIndex, 0);
  EXPECT_EQ(Combo(TPanelCombo::Volume).Text, "50%");
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Items,
            (std::vector<std::string>{"Full Screen", "Letter Box", "Pan and Scan"}));
  EXPECT_EQ(Combo(TPanelCombo::Zoom).ItemIndex, 0);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Items.size(), 4u);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).DropDownCount, 4);
  EXPECT_EQ(Combo(TPanelCombo::Channel).DropDownCount, 3);
  for (int i = 0; i < PanelComboCount; ++i)
    EXPECT_TRUE(Combo(static_cast<TPanelCombo>(i)).Enabled);

  // A value outside the list goes into the edit text; indices beyond a list select nothing.
  const std::string section = FormatSection(404);
  Settings.WriteString(section, "paraVideoSize", "400x300");
  Settings.WriteString(section, "paraVideoBitRate", "1024");
  Settings.WriteString(section, "paraZoom", "lbox");
  Settings.WriteInteger(section, "iChannel", 1);
  Settings.WriteInteger(section, "iVolume", 9);
  Panel.Load(404);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).ItemIndex, -1);
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "400x300");
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).ItemIndex, 2);
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Text, "Letter Box");
  EXPECT_EQ(Combo(TPanelCombo::Channel).Text, "mono 1 channel");
  EXPECT_EQ(Combo(TPanelCombo::Volume).ItemIndex, -1);
  EXPECT_EQ(Combo(TPanelCombo::Volume).Text, "");
}

TEST_F(TPanelFixture, ZoomWordsOfTheSettingsFile) {
  Touch(404);
  const std::string section = FormatSection(404);
  Settings.WriteString(section, "paraZoom", "pan");
  Panel.Load(404);
  EXPECT_EQ(Combo(TPanelCombo::Zoom).ItemIndex, 2);
  // "center" asks for index 3, which selects no item.
  Settings.WriteString(section, "paraZoom", "center");
  Panel.Load(404);
  EXPECT_EQ(Combo(TPanelCombo::Zoom).Items.size(), 3u);
  EXPECT_EQ(Combo(TPanelCombo::Zoom).ItemIndex, -1);
  Settings.WriteString(section, "paraZoom", "null");
  Panel.Load(404);
  EXPECT_TRUE(Combo(TPanelCombo::Zoom).Items.empty());
}

TEST_F(TPanelFixture, AMissingFormatFileDisablesEveryCombo) {
  TIniFile none(Folder.File("none.ini"));
  TParameterPanel panel(Settings, none, Dialogs);
  panel.Load(404);
  for (int i = 0; i < PanelComboCount; ++i) {
    const TPanelCombo combo = static_cast<TPanelCombo>(i);
    EXPECT_FALSE(panel.Combo(combo).Enabled);
    // The zoom's items come from the program, not the format file.
    EXPECT_EQ(panel.Combo(combo).Items.empty(), combo != TPanelCombo::Zoom);
  }
  EXPECT_TRUE(Dialogs.Messages.empty());
}

// ---- The handlers ---------------------------------------------------------------------------------

TEST_F(TPanelFixture, FrameSizesAreCheckedWhenTheFieldIsLeft) {
  Touch(404);
  Panel.Load(404);
  Panel.TypeText(TPanelCombo::VideoSize, "321x241");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "<none>");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Frame Size must be a multiple of 2.\nThe correct value:320x240");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Input Error!");
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "320x240");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "320x240");
  EXPECT_EQ(Stored(404, "iVideoSize"), "0");

  Panel.TypeText(TPanelCombo::VideoSize, "0x0");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_EQ(Dialogs.Messages.back().Text, "Frame Size must be a multiple of 2.\nThe correct value:2x2");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "2x2");

  Panel.TypeText(TPanelCombo::VideoSize, "369x209");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_EQ(Stored(404, "paraVideoSize"), "368x208");
  EXPECT_EQ(Stored(404, "iVideoSize"), "1");

  // Not a size: said, item 1 shown, nothing stored.
  Dialogs.Messages.clear();
  Panel.TypeText(TPanelCombo::VideoSize, "1280x720x");
  EXPECT_FALSE(Panel.cmbVideoSizeExit());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Frame Size is not a valid value!");
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "368x208");
  EXPECT_EQ(Stored(404, "paraVideoSize"), "368x208");

  Dialogs.Messages.clear();
  Panel.TypeText(TPanelCombo::VideoSize, "As Source");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Stored(404, "paraVideoSize"), "368x208");

  Panel.TypeText(TPanelCombo::VideoSize, "640x480");
  EXPECT_TRUE(Panel.cmbVideoSizeExit());
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(Stored(404, "paraVideoSize"), "640x480");
  EXPECT_EQ(Stored(404, "iVideoSize"), "0");

  Panel.SelectItem(TPanelCombo::VideoSize, 2);
  EXPECT_EQ(Stored(404, "paraVideoSize"), "480x272");
  EXPECT_EQ(Stored(404, "iVideoSize"), "2");
}

TEST_F(TPanelFixture, RatesAreStoredAsTypedOrSaidToBeInvalid) {
  Touch(404);
  Panel.Load(404);
  Panel.TypeText(TPanelCombo::VideoBitRate, "1500");
  EXPECT_EQ(Stored(404, "paraVideoBitRate"), "1500");
  EXPECT_EQ(Stored(404, "iVideoBitRate"), "-1");
  Panel.TypeText(TPanelCombo::VideoBitRate, "");
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Video BitRate is not a valid value!");
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "768");
  EXPECT_EQ(Stored(404, "paraVideoBitRate"), "1500");

  Panel.SelectItem(TPanelCombo::SampleRate, 0);
  EXPECT_EQ(Stored(404, "paraSampleRate"), "as source");
  Panel.TypeText(TPanelCombo::SampleRate, "44.1");
  EXPECT_EQ(Dialogs.Messages.back().Text, "Audio SampleRate is not a valid value!");
  EXPECT_EQ(Stored(404, "paraSampleRate"), "as source");

  // The audio bit rate also takes a decimal number.
  Panel.SelectItem(TPanelCombo::AudioBitRate, 3);
  EXPECT_EQ(Stored(404, "paraAudioBitRate"), "96.5");
  EXPECT_EQ(Stored(404, "iAudioBitRate"), "3");
  Panel.TypeText(TPanelCombo::AudioBitRate, "fast");
  EXPECT_EQ(Dialogs.Messages.back().Text, "Audio BitRate is not a valid value!");
  EXPECT_EQ(Combo(TPanelCombo::AudioBitRate).Text, "96");
}

TEST_F(TPanelFixture, AnInvalidRateInAOneItemListKeepsItsText) {
  Touch(7);
  Panel.Load(7);
  Panel.TypeText(TPanelCombo::VideoBitRate, "x");
  EXPECT_EQ(Dialogs.Messages.back().Text, "Video BitRate is not a valid value!");
  EXPECT_EQ(Combo(TPanelCombo::VideoBitRate).Text, "x");
  Panel.TypeText(TPanelCombo::VideoSize, "abc");
  EXPECT_FALSE(Panel.cmbVideoSizeExit());
  EXPECT_EQ(Combo(TPanelCombo::VideoSize).Text, "abc");
}

TEST_F(TPanelFixture, ListChoicesStoreTheirValues) {
  Touch(404);
  Panel.Load(404);
  Panel.SelectItem(TPanelCombo::FrameRate, 1);
  EXPECT_EQ(Stored(404, "paraFrameRate"), "25");
  EXPECT_EQ(Stored(404, "iFrameRate"), "1");
  Panel.SelectItem(TPanelCombo::Channel, 1);
  EXPECT_EQ(Stored(404, "paraChannel"), "1");
  Panel.SelectItem(TPanelCombo::Channel, 0);
  EXPECT_EQ(Stored(404, "paraChannel"), "as source");
  Panel.SelectItem(TPanelCombo::AudioEncoder, 1);
  EXPECT_EQ(Stored(404, "paraAudioEncoder"), "libmp3lame");
  EXPECT_EQ(Stored(404, "iAudioEncoder"), "1");
  Panel.SelectItem(TPanelCombo::Zoom, 1);
  EXPECT_EQ(Stored(404, "paraZoom"), "lbox");

  // Volume: 100% stores 256; 90% stores its index but no volume.
  Panel.SelectItem(TPanelCombo::Volume, 1);
  EXPECT_EQ(Stored(404, "paraVolume"), "256");
  Panel.SelectItem(TPanelCombo::Volume, 3);
  EXPECT_EQ(Stored(404, "iVolume"), "3");
  EXPECT_EQ(Stored(404, "paraVolume"), "256");
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(TPanelFixture, TheH264ExtrasComeWithTheH264EncoderOnly) {
  Touch(404);
  Panel.Load(404);
  Panel.SelectItem(TPanelCombo::VideoEncoder, 0);
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "mpeg4");
  EXPECT_EQ(Stored(404, "paraGop"), "<none>");
  Panel.SelectItem(TPanelCombo::VideoEncoder, 1);
  EXPECT_EQ(Stored(404, "paraVideoEncoder"), "libx264");
  EXPECT_EQ(Stored(404, "paraBitExact"), "true");
  EXPECT_EQ(Stored(404, "paraMaxBitrate"), "768");
  EXPECT_EQ(Stored(404, "paraGop"), "250");
  EXPECT_EQ(Stored(404, "paraCoder"), "0");
  EXPECT_EQ(Stored(404, "paraBufferSize"), "<none>");
  EXPECT_EQ(Stored(404, "paraQscale"), "<none>");
  EXPECT_EQ(Stored(404, "paraLevel"), "<none>");
}

TEST_F(TPanelFixture, TypingFiltersBeepAndSay) {
  Touch(404);
  Panel.Load(404);
  EXPECT_TRUE(Panel.KeyPress(TPanelCombo::VideoBitRate, U'7'));
  EXPECT_TRUE(Panel.KeyPress(TPanelCombo::SampleRate, KeyBackspace));
  EXPECT_FALSE(Panel.KeyPress(TPanelCombo::AudioBitRate, U'.'));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Please enter numerical.");
  EXPECT_EQ(Dialogs.Beeps, 1);
  // The frame size refuses with a beep only.
  Panel.TypeText(TPanelCombo::VideoSize, "320x");
  EXPECT_FALSE(Panel.KeyPress(TPanelCombo::VideoSize, U'x'));
  EXPECT_EQ(Dialogs.Beeps, 2);
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_TRUE(Panel.KeyPress(TPanelCombo::VideoSize, U'2'));
  // The list combos take whatever the window gives them.
  EXPECT_TRUE(Panel.KeyPress(TPanelCombo::Channel, U'q'));
}

// ---- The pure rules -------------------------------------------------------------------------------

TEST(PanelInputTest, KeyFilters) {
  for (char32_t key = U'0'; key <= U'9'; ++key)
    EXPECT_TRUE(NumericKeyFilter(key).Accept);
  EXPECT_TRUE(NumericKeyFilter(KeyBackspace).Accept);
  for (const char32_t key : {U'x', U'-', U'.', U' ', U'é'}) {
    EXPECT_FALSE(NumericKeyFilter(key).Accept);
    EXPECT_EQ(NumericKeyFilter(key).Message, MsgEnterNumerical);
  }

  EXPECT_TRUE(VideoSizeKeyFilter("", U'a').Accept);
  EXPECT_TRUE(VideoSizeKeyFilter("", U'x').Accept);
  EXPECT_TRUE(VideoSizeKeyFilter("320", U'x').Accept);
  EXPECT_TRUE(VideoSizeKeyFilter("320", U'4').Accept);
  EXPECT_FALSE(VideoSizeKeyFilter("320", U'X').Accept);
  EXPECT_FALSE(VideoSizeKeyFilter("320", U'a').Accept);
  EXPECT_FALSE(VideoSizeKeyFilter("320x", U'x').Accept);
  EXPECT_TRUE(VideoSizeKeyFilter("320x", KeyBackspace).Accept);
  EXPECT_TRUE(VideoSizeKeyFilter("320x", U'0').Accept);
  EXPECT_EQ(VideoSizeKeyFilter("320x", U'x').Message, "");
}

TEST(PanelInputTest, FrameSizeChecks) {
  EXPECT_EQ(CheckFrameSize("321x241").Verdict, TFrameSizeVerdict::Corrected);
  EXPECT_EQ(CheckFrameSize("321x241").Size, "320x240");
  EXPECT_EQ(CheckFrameSize("0x0").Size, "2x2");
  EXPECT_EQ(CheckFrameSize("1x480").Size, "2x480");
  EXPECT_EQ(CheckFrameSize("640x0").Size, "640x2");
  // Rounded toward zero.
  EXPECT_EQ(CheckFrameSize("-3x5").Size, "-2x4");
  EXPECT_EQ(CheckFrameSize("640x480").Verdict, TFrameSizeVerdict::Valid);
  EXPECT_EQ(CheckFrameSize("640x480").Size, "640x480");
  EXPECT_EQ(CheckFrameSize("1280x720x").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize("1280").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize("x").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize("").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize("640X480").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize(" 640x480").Verdict, TFrameSizeVerdict::Invalid);
  EXPECT_EQ(CheckFrameSize("keep AS SOURCE size").Verdict, TFrameSizeVerdict::AsSource);
  EXPECT_EQ(FrameSizeCorrectionText("2x2"), "Frame Size must be a multiple of 2.\nThe correct value:2x2");
}

TEST(PanelInputTest, RateTexts) {
  EXPECT_TRUE(IsVideoBitRateText("768"));
  EXPECT_TRUE(IsVideoBitRateText("As Source"));
  EXPECT_FALSE(IsVideoBitRateText("768.5"));
  EXPECT_FALSE(IsVideoBitRateText(""));
  EXPECT_TRUE(IsSampleRateText("44100"));
  EXPECT_FALSE(IsSampleRateText("44.1"));
  EXPECT_TRUE(IsAudioBitRateText("96.5"));
  EXPECT_TRUE(IsAudioBitRateText("as source"));
  EXPECT_FALSE(IsAudioBitRateText("as source please"));
}

TEST(EncoderNamesTest, DisplayNamesWithoutCase) {
  EXPECT_EQ(VideoEncoderWord("MPEG-4"), "mpeg4");
  EXPECT_EQ(VideoEncoderWord("Xvid"), "libxvid");
  EXPECT_EQ(VideoEncoderWord("h264"), "libx264");
  EXPECT_EQ(VideoEncoderWord("wmv2"), "wmv2");
  EXPECT_EQ(VideoEncoderWord("zlib"), "zlib");
  EXPECT_FALSE(VideoEncoderWord("vp8"));
  EXPECT_FALSE(VideoEncoderWord(""));
  EXPECT_TRUE(IsH264DisplayName("H264"));
  EXPECT_FALSE(IsH264DisplayName("libx264"));

  const std::pair<const char*, const char*> audio[] = {{"mp3", "libmp3lame"},
                                                       {"OGG", "vorbis"},
                                                       {"mp2", "mp2"},
                                                       {"aac", "libfaac"},
                                                       {"AC-3", "ac3"},
                                                       {"flac", "libflac"},
                                                       {"amr_nb", "libopencore_amrnb"},
                                                       {"pcm_s16", "pcm_s16le"},
                                                       {"pcm_u16", "pcm_u16le"},
                                                       {"pcm_alaw", "pcm_alaw"},
                                                       {"pcm_mulaw", "pcm_mulaw"},
                                                       {"adpcm_ms", "adpcm_ms"},
                                                       {"adpcm_ima_wav", "adpcm_ima_wav"},
                                                       {"wma1", "wmav1"},
                                                       {"WMA2", "wmav2"}};
  for (const auto& [display, word] : audio)
    EXPECT_EQ(AudioEncoderWord(display), word) << display;
  EXPECT_FALSE(AudioEncoderWord("libfaac"));

  EXPECT_EQ(ChannelValue("As Source"), "as source");
  EXPECT_EQ(ChannelValue("mono 1 channel"), "1");
  EXPECT_EQ(ChannelValue("Stereo 2 Channels"), "2");
  EXPECT_FALSE(ChannelValue("5.1"));
}

TEST(EncoderNamesTest, VolumePercentages) {
  const std::pair<const char*, const char*> volumes[] = {
      {"25%", "64"},   {"50%", "128"},  {"75%", "192"},  {"100%", "256"}, {"125%", "320"}, {"150%", "384"},
      {"175%", "448"}, {"200%", "512"}, {"250%", "640"}, {"300%", "768"}, {"350%", "896"}, {"400%", "1024"}};
  for (const auto& [item, stored] : volumes)
    EXPECT_EQ(VolumeValue(item), stored) << item;
  EXPECT_FALSE(VolumeValue("90%"));
  // Whatever the last character is, it is dropped.
  EXPECT_EQ(VolumeValue("100x"), "256");
  EXPECT_FALSE(VolumeValue("100"));
  EXPECT_THROW(VolumeValue("abc%"), TConvertError);
  EXPECT_THROW(VolumeValue(""), TConvertError);
}

} // namespace
} // namespace kavro
