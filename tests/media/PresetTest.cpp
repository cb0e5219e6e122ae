// Target presets and the preset loader with its built-in table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "EngineTestBase.h"
#include "engine/BuiltinPresets.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixfmt.h>
}

namespace kavro::test {
namespace {

using ::testing::Contains;
using ::testing::Pair;

TEST_F(EngineTest, TargetPalDvd) {
  Engine.ParseOption("target", "pal-dvd");
  EXPECT_EQ(Settings().FrameWidth, 720);
  EXPECT_EQ(Settings().FrameHeight, 576);
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{25, 1}));
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 16.0f / 9);
  EXPECT_TRUE(Logged("Assuming 16:9 for aspect ratio", llInfo));
  EXPECT_EQ(Settings().FileFormat, "dvd");
  EXPECT_EQ(Settings().VideoCodecName, "mpeg2video");
  EXPECT_EQ(Settings().AudioCodecName, "ac3");
  EXPECT_EQ(Settings().AudioSampleRate, 48000);
  const auto& params = Engine.GenericParameters();
  EXPECT_EQ(params.CodecContext(ptVideo)->gop_size, 15);
  EXPECT_EQ(params.CodecContext(ptVideo)->bit_rate, 6000000);
  EXPECT_EQ(params.CodecContext(ptVideo)->rc_max_rate, 9000000);
  EXPECT_EQ(params.CodecContext(ptAudio)->bit_rate, 448000);
  EXPECT_EQ(params.FormatContext()->packet_size, 2048u);
  EXPECT_THAT(params.PrivateOptions("dvd"), Contains(Pair("muxrate", "10080000")));
}

TEST_F(EngineTest, TargetNtscVcdKeepsAGivenAspect) {
  Engine.ParseOption("aspect", "16:9");
  Engine.ParseOption("ac", "1");
  Engine.ParseOption("target", "ntsc-vcd");
  EXPECT_EQ(Settings().FrameWidth, 352);
  EXPECT_EQ(Settings().FrameHeight, 240);
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{30000, 1001}));
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 16.0f / 9);
  EXPECT_EQ(Settings().AudioChannels, 2);
  EXPECT_FLOAT_EQ(Settings().MuxPreload, 0.44f);
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->gop_size, 18);
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->rc_min_rate, 1150000);
}

TEST_F(EngineTest, TargetSvcdAndDv) {
  Engine.ParseOption("ac", "1");
  Engine.ParseOption("target", "film-svcd");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{24000, 1001}));
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_EQ(Settings().AudioChannels, 2);
  EXPECT_THAT(Engine.GenericParameters().PrivateOptions("mpeg2video"), Contains(Pair("scan_offset", "1")));
  EXPECT_TRUE(Logged("Assuming 4:3 for aspect ratio", llInfo));
  Engine.ParseOption("target", "ntsc-dv");
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV411P);
  EXPECT_EQ(Settings().FileFormat, "dv");
  Engine.ParseOption("target", "pal-dv50");
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV422P);
}

TEST_F(EngineTest, TargetNormResolution) {
  EXPECT_EQ(ErrorOf("target", "dvd"), "frame_rate is invalid.");
  EXPECT_EQ(ErrorOf("target", "pal-bluray"), "Unknown target type");
  Engine.ParseOption("r", "25");
  Engine.ParseOption("target", "vcd");
  EXPECT_EQ(Settings().FrameHeight, 288);
  EXPECT_TRUE(Logged("Assuming PAL for target.", llVerbose));
  // A rate that decides nothing and no inputs: the fallback norm.
  Engine.ParseOption("r", "30");
  Engine.SetTarget("vcd", "auto", "ntsc");
  EXPECT_EQ(Settings().FrameHeight, 240);
  Engine.ParseOption("r", "30");
  Engine.SetTarget("vcd", "auto", "pal");
  EXPECT_EQ(Settings().FrameHeight, 288);
  Engine.ParseOption("r", "30");
  Engine.SetTarget("dvd", "auto", "film");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{24000, 1001}));
}

// ---- presets ----

class PresetFile {
public:
  explicit PresetFile(const std::string& text)
      : Name(KAVRO_TEST_OUTPUT + std::string("kavro_test.ffpreset")) {
    std::ofstream(Name) << text;
  }
  ~PresetFile() { std::remove(Name.c_str()); }
  const std::string Name;
};

TEST_F(EngineTest, PresetLookUpByNameThenWithTheCodec) {
  Engine.ParseOption("vcodec", "libx264");
  Engine.ParseOption("vpre", "fast");
  EXPECT_THAT(Engine.GenericParameters().PrivateOptions("libx264"), Contains(Pair("preset", "fast")));
  Engine.ParseOption("vpre", "LIBX264-Main");
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->profile, 77);
  // A video preset leaves the audio context alone.
  EXPECT_NE(Engine.GenericParameters().CodecContext(ptAudio)->profile, 77);
  Engine.ParseOption("vpre", "");
  EXPECT_EQ(ErrorOf("vpre", "nosuchpreset"), "Preset \"nosuchpreset\" not found");
}

TEST_F(EngineTest, PresetFilesAndTheirErrors) {
  {
    PresetFile file("\r\n  VCodec=mpeg4 \r\n\r\ng=30\nqmin=2\n");
    Engine.ParseOption("fpre", file.Name);
    EXPECT_EQ(Settings().VideoCodecName, "mpeg4");
    EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->gop_size, 30);
  }
  {
    PresetFile file("g=30\n# a comment\n");
    EXPECT_EQ(ErrorOf("fpre", file.Name), file.Name + ": Invalid syntax: \"# a comment\"");
  }
  {
    PresetFile file("g=\n");
    EXPECT_EQ(ErrorOf("fpre", file.Name), file.Name + ": Invalid syntax: \"g=\"");
  }
  {
    // Only a regular file of at most 1 MiB is read: a device would be read without end.
    PresetFile file("g=30\n" + std::string(1 << 20, '#'));
    EXPECT_EQ(ErrorOf("fpre", file.Name), "Preset \"" + file.Name + "\": larger than 1 MiB");
    EXPECT_EQ(ErrorOf("fpre", "/dev/zero"), "Preset \"/dev/zero\": not a regular file");
    EXPECT_EQ(ErrorOf("fpre", KAVRO_TEST_OUTPUT), "Preset \"" KAVRO_TEST_OUTPUT "\": it is a folder");
  }
  {
    PresetFile file("nosuchkey=1\n");
    EXPECT_EQ(ErrorOf("fpre", file.Name),
              file.Name + ": Invalid option or argument: \"nosuchkey=1\", parsed as \"nosuchkey\" = \"1\"");
  }
}

// Opens libx264 the way an output stream will: the generic video values, then the private ones.
int OpenX264(const TGenericParameters& params, std::string& leftOver) {
  const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  codec->width = 320;
  codec->height = 240;
  codec->time_base = {1, 25};
  codec->pix_fmt = AV_PIX_FMT_YUV420P;
  int result = params.ApplyToCodec(codec, ptVideo);
  AVDictionary* options = nullptr;
  params.AddPrivateOptions("libx264", &options);
  if (result >= 0) result = avcodec_open2(codec, encoder, &options);
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX)))
    leftOver += entry->key;
  av_dict_free(&options);
  avcodec_free_context(&codec);
  return result;
}

TEST_F(EngineTest, EveryBuiltinPresetOpensLibx264) {
  ASSERT_EQ(BuiltinPresets().size(), 40u);
  TFFLogger::Instance().SetLogLevel(llError);
  for (const TBuiltinPreset& preset : BuiltinPresets()) {
    Engine.ResetTask();
    Engine.ParseOption("vcodec", "libx264");
    ASSERT_EQ(ErrorOf("vpre", preset.Name), "no error") << preset.Name;
    std::string leftOver;
    EXPECT_GE(OpenX264(Engine.GenericParameters(), leftOver), 0) << preset.Name;
    EXPECT_EQ(leftOver, "") << preset.Name << " left options unused";
  }
}

} // namespace
} // namespace kavro::test
