// The generic parameter setter: contexts in order, prefixes, rejected values, private options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineTestBase.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace kavro::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

TEST_F(EngineTest, GenericNamesLandInTheirContexts) {
  Engine.ParseOption("g", "25");
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->gop_size, 25);
  EXPECT_THAT(Engine.GenericParameters().SetNames(ptVideo), ElementsAre("g"));
  EXPECT_TRUE(Engine.GenericParameters().SetNames(ptAudio).empty());
  Engine.ParseOption("packetsize", "2324");
  EXPECT_EQ(Engine.GenericParameters().FormatContext()->packet_size, 2324u);
  EXPECT_THAT(Engine.GenericParameters().SetNames(ptFormat), ElementsAre("packetsize"));
  Engine.ParseOption("sws_flags", "bilinear");
  int64_t flags = 0;
  av_opt_get_int(Engine.GenericParameters().ScalerContext(), "sws_flags", 0, &flags);
  EXPECT_EQ(flags, 2);
  // "a", "v" and "s" in front of a codec parameter name it for that media type.
  Engine.ParseOption("vqmin", "3");
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->qmin, 3);
  EXPECT_THAT(Engine.GenericParameters().SetNames(ptVideo), Contains("qmin"));
}

TEST_F(EngineTest, GenericRejectedAndUnknownValues) {
  const TTaskSettings fresh = Settings();
  EXPECT_EQ(ErrorOf("nosuchoption", "1"), "no error");
  EXPECT_TRUE(Settings() == fresh);
  for (int target = 0; target < ParameterTargetCount; ++target)
    EXPECT_TRUE(Engine.GenericParameters().SetNames(static_cast<TParameterTarget>(target)).empty());
  EXPECT_FALSE(Engine.SetGenericParameter("flags", "+nosuchflag"));
  EXPECT_TRUE(Logged("Invalid value \"+nosuchflag\" for option \"flags\"", llError));
  EXPECT_FALSE(Engine.SetGenericParameter("g", " "));
}

TEST_F(EngineTest, GenericDebugRaisesTheLogLevel) {
  TFFLogger::Instance().SetLogLevel(llInfo);
  Engine.ParseOption("debug", "pict");
  EXPECT_EQ(TFFLogger::Instance().LogLevel(), llDebug);
}

TEST_F(EngineTest, PrivateOptionsOfTheChosenEncoderAndFormat) {
  EXPECT_FALSE(Engine.SetGenericParameter("crf", "20")); // no encoder chosen yet
  Engine.ParseOption("vcodec", "libx264");
  Engine.ParseOption("crf", "20");
  Engine.ParseOption("crf", "22");
  Engine.ParseOption("preset", "fast");
  EXPECT_THAT(Engine.GenericParameters().PrivateOptions("libx264"),
              ElementsAre(std::make_pair(std::string("crf"), std::string("22")),
                          std::make_pair(std::string("preset"), std::string("fast"))));
  EXPECT_FALSE(Engine.SetGenericParameter("crf", "much"));
  EXPECT_TRUE(Logged("Invalid value \"much\" for option \"crf\"", llError));
  Engine.ParseOption("f", "vcd");
  Engine.ParseOption("muxrate", "1411200");
  EXPECT_THAT(Engine.GenericParameters().PrivateOptions("vcd"),
              ElementsAre(std::make_pair(std::string("muxrate"), std::string("1411200"))));
  // A retired encoder name finds its successor's options.
  Engine.ParseOption("acodec", "libfaac");
  Engine.ParseOption("aac_coder", "fast");
  EXPECT_EQ(Engine.GenericParameters().PrivateOptions("aac").size(), 1u);
}

TEST_F(EngineTest, GenericValuesReachANewCodec) {
  Engine.ParseOption("g", "48");
  Engine.ParseOption("b", "900000");
  const AVCodec* encoder = avcodec_find_encoder_by_name("mpeg4");
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  ASSERT_GE(Engine.GenericParameters().ApplyToCodec(codec, ptVideo), 0);
  EXPECT_EQ(codec->gop_size, 48);
  EXPECT_EQ(codec->bit_rate, 900000);
  avcodec_free_context(&codec);
}

} // namespace
} // namespace kavro::test
