// The option builder: target presets, encoders, sizes and the zoom modes' arithmetic, audio rules and
// the one question it may ask.
#include "OptionBuilder.h"

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "FormatKeys.h"

namespace kavro {
namespace {

using test::TScratchFolder;
using test::TScriptedDialogs;

constexpr int Code = 202;

class OptionBuilderTest : public ::testing::Test {
protected:
  // choices: lines of the settings section; format: the profile word ("" for none).
  void Build(const std::string& choices, const std::string& format,
             TSourceFacts source = {1, 1280, 720, 900000}) {
    const std::string section = "[" + FormatSection(Code) + "]\n";
    TIniFile settings(Folder.Write("settings.ini", section + choices));
    TIniFile formats(
        Folder.Write("formats.ini", section + (format.empty() ? "" : "Format=" + format + "\n")));
    Output = {};
    Input = {};
    TOptionBuilder(settings, formats, Dialogs).BuildOptions(Row, Code, Output, source, Input);
  }

  TScratchFolder Folder{"option-builder"};
  TScriptedDialogs Dialogs;
  TlvFilesRecord Row;
  TOutputOptions Output;
  TInputOptions Input;
};

constexpr const char* Video = "paraVideoEncoder=mpeg4\n";

TEST_F(OptionBuilderTest, LetterboxPadsCropsAndScales) {
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "320x180");
  EXPECT_EQ(Output.FrameAspectRatio, "320:180");
  EXPECT_EQ(Output.VideoFilters, "pad=320:240:0:30");
  EXPECT_EQ(Output.CropTop, 0);
  EXPECT_EQ(Output.CropRight, 0);

  Row.CropTop = Row.CropLeft = Row.CropBottom = Row.CropRight = 8;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.VideoFilters, "crop=8:8:1264:704,scale=320:180,pad=320:240:0:30");
  EXPECT_EQ(Output.FrameSize, "");
  EXPECT_EQ(Output.FrameAspectRatio, "320:180");
  EXPECT_EQ(Output.CropLeft, 0); // the crop is in the chain, not in the bands

  Row = {};
  Build(std::string(Video) + "paraVideoSize=640x480\n", "mp4", {1, 640, 480, 0});
  EXPECT_EQ(Output.FrameSize, "640x480");
  EXPECT_EQ(Output.VideoFilters, "pad=640:480:0:0");

  // Enlarging a 4:3 source into a 16:9 frame: bars left and right.
  Build(std::string(Video) + "paraVideoSize=1280x720\n", "mp4", {1, 320, 240, 0});
  EXPECT_EQ(Output.FrameSize, "960x720");
  EXPECT_EQ(Output.VideoFilters, "pad=1280:720:160:0");

  // A row without a zoom mode the builder knows gets no size at all.
  Row.ZoomMode = "orig";
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "");
  EXPECT_EQ(Output.VideoFilters, "");
  EXPECT_EQ(Output.CropTop, 0);
}

TEST_F(OptionBuilderTest, FullPanAndCenter) {
  Row.ZoomMode = "full";
  Row.CropTop = 2;
  Row.CropRight = 6;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "320x240");
  EXPECT_EQ(Output.FrameAspectRatio, "320:240");
  EXPECT_EQ(Output.CropTop, 2);
  EXPECT_EQ(Output.CropRight, 6);
  EXPECT_EQ(Output.CropLeft, 0);
  EXPECT_EQ(Output.VideoFilters, "");

  // Pan and scan: the amount leaves the cropped picture at 4:3; the row's left or top margin is added.
  Row = {};
  Row.ZoomMode = "pan";
  Row.CropLeft = 10;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.CropLeft, 164);
  EXPECT_EQ(Output.CropRight, 164);
  EXPECT_EQ(Output.CropTop, 0);
  EXPECT_EQ(Output.FrameSize, "320x240");
  EXPECT_EQ(Output.FrameAspectRatio, "320:240");
  Row.CropLeft = 0;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4", {1, 480, 800, 0});
  EXPECT_EQ(Output.CropTop, 220);
  EXPECT_EQ(Output.CropBottom, 220);
  EXPECT_EQ(Output.CropLeft, 0);
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4", {1, 640, 480, 0});
  EXPECT_EQ(Output.CropTop + Output.CropLeft + Output.CropBottom + Output.CropRight, 0);

  // Center: fitted with the picture's own proportions, black on both sides.
  Row = {};
  Row.ZoomMode = "center";
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "320x180");
  EXPECT_EQ(Output.FrameAspectRatio, "320:180");
  EXPECT_EQ(Output.VideoFilters, "pad=320:240:0:30:black");
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4", {1, 480, 720, 0});
  EXPECT_EQ(Output.FrameSize, "160x240");
  EXPECT_EQ(Output.VideoFilters, "pad=320:240:80:0:black");
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4", {1, 640, 480, 0});
  EXPECT_EQ(Output.FrameSize, "320x240");
  EXPECT_EQ(Output.VideoFilters, "");
  // A crop that makes the 16:9 picture 4:3 fills the 4:3 frame.
  Row.CropLeft = Row.CropRight = 160;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Output.CropLeft, 160);
  EXPECT_EQ(Output.FrameSize, "320x240");
  EXPECT_EQ(Output.VideoFilters, "");
}

TEST_F(OptionBuilderTest, TargetsEncodersRatesAndContainers) {
  const TSourceFacts noVideo{0, 0, 0, 0};
  Build(std::string(Video) + "paraVideoSize=720x576\n", "PAL-DVD", noVideo);
  EXPECT_EQ(Output.TargetType, 3);
  EXPECT_EQ(Output.TargetNorm, 1);
  EXPECT_EQ(Output.FrameAspectRatio, "16:9");
  EXPECT_TRUE(Output.DisableVideo);
  Build(std::string(Video) + "paraVideoSize=704x576\n", "pal-dvd", noVideo);
  EXPECT_EQ(Output.FrameAspectRatio, "4:3");
  Build(std::string(Video) + "paraVideoSize=720x480\n", "ntsc-dvd", noVideo);
  EXPECT_EQ(Output.TargetNorm, 2);
  EXPECT_EQ(Output.FrameAspectRatio, "16:9");
  Build(std::string(Video) + "paraVideoSize=720x480\n", "ntsc-svcd", noVideo);
  EXPECT_EQ(Output.TargetType, 2);
  EXPECT_EQ(Output.FrameAspectRatio, "4:3");
  EXPECT_TRUE(Dialogs.Questions.empty());
  // MPEG-2 keeps an SVCD an SVCD, and a disc keeps its aspect through the zoom step.
  Build("paraVideoEncoder=mpeg2video\nparaVideoSize=480x576\n", "pal-svcd");
  EXPECT_EQ(Output.TargetType, 2);
  EXPECT_EQ(Output.FrameAspectRatio, "4:3");
  Build("paraVideoEncoder=mpeg2video\nparaVideoSize=720x576\n", "pal-dvd");
  EXPECT_EQ(Output.TargetType, 3);
  EXPECT_EQ(Output.FrameAspectRatio, "16:9");
  EXPECT_EQ(Output.VideoFilters, "pad=720:576:0:86");

  const std::pair<const char*, const char*> presets[] = {
      {"psp", "libx264-psp"}, {"iPod", "libx264-ipod"}, {"ps3", "libx264-ps3"}, {"mp4", "libx264-mp4"}};
  for (const auto& [format, preset] : presets) {
    Build("paraVideoEncoder=libx264\nparaVideoSize=320x240\n", format);
    EXPECT_EQ(Output.VideoCodec, "libx264");
    EXPECT_EQ(Output.VideoPreset, preset) << format;
  }
  EXPECT_EQ(Output.FileFormat, ""); // "mp4" is no container word of the builder
  Build("paraVideoEncoder=flv\nparaVideoSize=320x240\n", "flv");
  EXPECT_EQ(Output.VideoCodec, "");
  EXPECT_EQ(Output.FileFormat, "flv");
  Build("paraVideoEncoder=mpeg2video\nparaVideoSize=320x240\n", "vob");
  EXPECT_EQ(Output.TargetType, 3);
  EXPECT_EQ(Output.FileFormat, "vob");
  Build("paraVideoEncoder=MPEG4\nparaVideoSize=320x240\n", "avi");
  EXPECT_EQ(Output.VideoCodec, ""); // encoder words are case-sensitive

  Build(std::string(Video) + "paraVideoSize=320x240\n", "avi");
  EXPECT_EQ(Output.VideoBitrate, 512000);
  EXPECT_EQ(Output.FrameRate, "29.97");
  Build(std::string(Video) + "paraVideoSize=320x240\nparaVideoBitRate=as source\nparaFrameRate=as source\n",
        "avi");
  EXPECT_EQ(Output.VideoBitrate, 900000);
  EXPECT_EQ(Output.FrameRate, "");
  Build(std::string(Video) + "paraVideoSize=320x240\nparaVideoBitRate=0\nparaFrameRate=-5\n", "avi");
  EXPECT_EQ(Output.VideoBitrate, -1);
  EXPECT_EQ(Output.FrameRate, "");
  // Out of the int range in bit/s, or no finite number: left alone instead of wrapped.
  Build(std::string(Video) + "paraVideoSize=320x240\nparaVideoBitRate=3000000\nparaFrameRate=inf\n", "avi");
  EXPECT_EQ(Output.VideoBitrate, -1);
  EXPECT_EQ(Output.FrameRate, "");
}

TEST_F(OptionBuilderTest, TrimAndSizes) {
  Row.TrimStart = 1500000;
  Row.TrimLength = 2000000;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Input.StartTime, 1500000);
  EXPECT_EQ(Output.RecordingTime, 2000000);
  Row.TrimStart = -1;
  Row.TrimLength = 0;
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4");
  EXPECT_EQ(Input.StartTime, TInputOptions{}.StartTime);
  EXPECT_EQ(Output.RecordingTime, TOutputOptions{}.RecordingTime);

  Row = {};
  Row.ZoomMode = "full";
  const std::pair<const char*, const char*> h263[] = {
      {"320x240", "352x288"}, {"176x144", "176x144"}, {"640x480", "704x576"}, {"128x96", "128x96"}};
  for (const auto& [size, expected] : h263) {
    Build(std::string("paraVideoEncoder=h263\nparaVideoSize=") + size + "\n", "3gp");
    EXPECT_EQ(Output.FrameSize, expected) << size;
  }
  // The H.263 sizes also hold for the source's size and for the default size.
  Build("paraVideoEncoder=h263\nparaVideoSize=as source\n", "3gp", {1, 640, 480, 0});
  EXPECT_EQ(Output.FrameSize, "704x576");
  Build("paraVideoEncoder=h263\n", "3gp", {1, 640, 480, 0});
  EXPECT_EQ(Output.FrameSize, "352x288");

  // A side that is no positive number is the source's.
  Build(std::string(Video) + "paraVideoSize=abcx200\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "1280x200");
  Build(std::string(Video) + "paraVideoSize=0x-4\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "1280x720");
  // An unknown source size cannot be fitted: letterbox keeps the frame size alone.
  Row.ZoomMode = "lbox";
  Build(std::string(Video) + "paraVideoSize=320x240\n", "mp4", {1, 0, 0, 0});
  EXPECT_EQ(Output.FrameSize, "320x240");
  EXPECT_EQ(Output.VideoFilters, "");
}

TEST_F(OptionBuilderTest, TheSizeQuestion) {
  Row.ZoomMode = "full";
  Dialogs.Answers = {true, false, false};
  for (const char* size : {"", "paraVideoSize=640x\n", "paraVideoSize=x480\n"})
    Build(std::string(Video) + size, "mp4");
  ASSERT_EQ(Dialogs.Questions.size(), 3u);
  EXPECT_EQ(Dialogs.Questions[0].Text, "Error output Video Size.Use the default size 320x240?");
  EXPECT_EQ(Dialogs.Questions[0].Caption, "Warning");
  EXPECT_EQ(Output.FrameSize, "1280x720"); // No: as source

  Dialogs.Questions.clear();
  Dialogs.Answers = {true};
  Build(Video, "mp4");
  EXPECT_EQ(Output.FrameSize, "320x240");
  Build(std::string(Video) + "paraVideoSize=as source\n", "mp4");
  EXPECT_EQ(Output.FrameSize, "1280x720");
  // No question for an audio-only format or for a parsable size.
  Build("", "mp4");
  Build(std::string(Video) + "paraVideoSize=352x288\n", "mp4");
  EXPECT_EQ(Dialogs.Questions.size(), 1u);
}

TEST_F(OptionBuilderTest, AudioRules) {
  Build("", "mp4");
  EXPECT_EQ(Input.ExtOptions, "vn=1");
  EXPECT_TRUE(Output.DisableVideo);
  EXPECT_TRUE(Output.DisableSubtitle);
  EXPECT_EQ(Output.AudioCodec, "libfaac");
  EXPECT_EQ(Output.AudioChannels, 2);
  EXPECT_EQ(Output.AudioSampleRate, 44100);
  EXPECT_EQ(Output.AudioBitrate, 128000);
  EXPECT_EQ(Output.Volume, -1); // no volume choice: the sound is left as it is
  EXPECT_EQ(Output.VideoBitrate, -1);
  EXPECT_EQ(Output.FrameRate, "");

  Build("paraVideoEncoder= \nparaAudioEncoder=libmp3lame\nparaChannel=as source\nparaSampleRate=0\n"
        "paraAudioBitRate=96.5\nparaVolume=256\n",
        "mp4");
  EXPECT_EQ(Output.AudioCodec, "libmp3lame");
  EXPECT_EQ(Output.AudioChannels, -1);
  EXPECT_EQ(Output.AudioSampleRate, -1);
  EXPECT_EQ(Output.AudioBitrate, 96500);
  EXPECT_EQ(Output.Volume, -1);

  Build(std::string(Video) + "paraVideoSize=320x240\nparaAudioEncoder=libamr_nb\nparaAudioBitRate=64.1\n"
                             "paraChannel=1\nparaSampleRate=as source\n",
        "3gp");
  EXPECT_EQ(Output.AudioCodec, "libopencore_amrnb");
  EXPECT_FALSE(Output.DisableAudio);
  EXPECT_EQ(Output.AudioBitrate, 64100);
  EXPECT_EQ(Output.AudioChannels, 1);
  EXPECT_EQ(Output.AudioSampleRate, -1);
  EXPECT_EQ(Output.Volume, -1);
  EXPECT_EQ(Input.ExtOptions, "");
  Build(std::string(Video) + "paraVideoSize=320x240\nparaAudioEncoder=aac\nparaVolume=512\n", "mp4");
  EXPECT_EQ(Output.Volume, 512);

  Build(std::string(Video) + "paraVideoSize=320x240\nparaAudioBitRate=as source\n", "mp4");
  EXPECT_EQ(Output.AudioCodec, "");
  EXPECT_TRUE(Output.DisableAudio);
  EXPECT_EQ(Output.AudioBitrate, -1);

  for (const char* choices :
       {"paraVolume=loud\n", "paraVideoEncoder=mpeg4\nparaVideoSize=320x240\nparaVolume=2.5\n"})
    EXPECT_THROW(Build(choices, "mp4"), TConvertError) << choices;
}

} // namespace
} // namespace kavro
