// The option table: every row's handler, value parsing, limits and messages, grouped by table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "EngineTestBase.h"
#include "engine/HookArguments.h"
#include "platform/ProgramPaths.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
}

namespace kavro::test {
namespace {

using ::testing::ElementsAre;

// Every name of the option tables, in table order.
const char* const AllNames[] = {"L",
                                "h",
                                "version",
                                "formats",
                                "codecs",
                                "bsfs",
                                "protocols",
                                "filters",
                                "i",
                                "y",
                                "benchmark",
                                "timelimit",
                                "threads",
                                "loglevel",
                                "f",
                                "map",
                                "map_meta_data",
                                "t",
                                "fs",
                                "ss",
                                "itsoffset",
                                "itsscale",
                                "timestamp",
                                "metadata",
                                "dframes",
                                "dump",
                                "hex",
                                "re",
                                "loop_input",
                                "loop_output",
                                "v",
                                "target",
                                "vsync",
                                "async",
                                "adrift_threshold",
                                "vglobal",
                                "copyts",
                                "shortest",
                                "dts_delta_threshold",
                                "programid",
                                "xerror",
                                "copyinkf",
                                "b",
                                "vb",
                                "vframes",
                                "r",
                                "s",
                                "aspect",
                                "pix_fmt",
                                "croptop",
                                "cropbottom",
                                "cropleft",
                                "cropright",
                                "padtop",
                                "padbottom",
                                "padleft",
                                "padright",
                                "padcolor",
                                "intra",
                                "vn",
                                "vdt",
                                "qscale",
                                "rc_override",
                                "vcodec",
                                "me_threshold",
                                "sameq",
                                "pass",
                                "passlogfile",
                                "deinterlace",
                                "psnr",
                                "vstats",
                                "vstats_file",
                                "vhook",
                                "vfilters",
                                "vf",
                                "intra_matrix",
                                "inter_matrix",
                                "top",
                                "dc",
                                "vtag",
                                "newvideo",
                                "vlang",
                                "qphist",
                                "force_fps",
                                "streamid",
                                "ab",
                                "aframes",
                                "aq",
                                "ar",
                                "ac",
                                "an",
                                "acodec",
                                "atag",
                                "vol",
                                "newaudio",
                                "alang",
                                "sample_fmt",
                                "sn",
                                "scodec",
                                "newsubtitle",
                                "slang",
                                "stag",
                                "vc",
                                "tvstd",
                                "isync",
                                "muxdelay",
                                "muxpreload",
                                "absf",
                                "vbsf",
                                "sbsf",
                                "apre",
                                "vpre",
                                "spre",
                                "fpre"};

TEST_F(EngineTest, EveryNameReachesItsOwnHandler) {
  int count = 0;
  const TOptionRow* rows = TCustomFFmpeg::OptionTable(count);
  ASSERT_EQ(count, static_cast<int>(std::size(AllNames)));
  std::set<std::string> seen;
  for (int i = 0; i < count; ++i) {
    EXPECT_STREQ(rows[i].Name, AllNames[i]);
    EXPECT_TRUE(seen.insert(rows[i].Name).second) << rows[i].Name << " twice";
  }
  // Only the bit-rate options and the presets go on to the generic setter by design.
  const std::set<std::string> generic = {"b", "vb", "ab", "target", "apre", "vpre", "spre", "fpre"};
  for (const char* name : AllNames) {
    Engine.ResetTask();
    const int before = Engine.GenericParameters().SetCalls();
    try {
      Engine.ParseOption(name, "1");
    } catch (const std::exception&) {
    }
    if (!generic.count(name)) {
      EXPECT_EQ(Engine.GenericParameters().SetCalls(), before)
          << name << " fell through to the generic setter";
    }
  }
}

TEST_F(EngineTest, DefaultsOfTheTableAreTheResetSettings) {
  int count = 0;
  const TOptionRow* rows = TCustomFFmpeg::OptionTable(count);
  const TTaskSettings fresh = Settings();
  for (int i = 0; i < count; ++i) {
    if (!rows[i].Default) continue;
    Engine.ParseOption(rows[i].Name, rows[i].Default);
    TTaskSettings now = Settings();
    now.StreamHints.clear(); // what was given, not what it set
    EXPECT_TRUE(now == fresh) << rows[i].Name << "=" << rows[i].Default << " is not its default";
  }
  EXPECT_EQ(Engine.Verbose, 1);
}

TEST_F(EngineTest, ResetRestoresEverything) {
  const int defaultGop = Engine.GenericParameters().CodecContext(ptVideo)->gop_size;
  Engine.ParseOption("vcodec", "libx264");
  Engine.ParseOption("g", "250");
  Engine.ParseOption("crf", "20");
  Engine.ParseOption("map", "0.1");
  Engine.ParseOption("v", "3");
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->gop_size, 250);
  Engine.ResetTask();
  EXPECT_TRUE(Settings() == TTaskSettings());
  EXPECT_TRUE(Engine.GenericParameters().SetNames(ptVideo).empty());
  EXPECT_TRUE(Engine.GenericParameters().PrivateOptions("libx264").empty());
  EXPECT_EQ(Engine.GenericParameters().CodecContext(ptVideo)->gop_size, defaultGop);
  EXPECT_EQ(Engine.Verbose, 1);
}

// ---- do nothing, refused and log level ----

TEST_F(EngineTest, DoNothingRefusedAndTodoOptions) {
  EXPECT_EQ(ErrorOf("y", ""), "no error");
  EXPECT_TRUE(Logged("Do nothing: option - y", llInfo));
  EXPECT_EQ(ErrorOf("timelimit", "10"), "no error");
  EXPECT_EQ(Settings().CpuTimeLimit, 10);
  EXPECT_FALSE(Logged("Warning: -timelimit not implemented on Windows", llWarning));
  EXPECT_EQ(ErrorOf("timelimit", "soon"), "'soon' is not a valid integer value");
  EXPECT_EQ(ErrorOf("timelimit", "-1"), "timelimit must be >= 0 seconds");
  EXPECT_EQ(Settings().CpuTimeLimit, 10);
  Engine.ParseOption("threads", "0");
  EXPECT_EQ(Settings().Threads, 0);
  for (const char* pad : {"padtop", "padbottom", "padleft", "padright", "padcolor"})
    EXPECT_EQ(ErrorOf(pad, "8"), "Please use vfilters=pad");
  Engine.ParseOption("loglevel", "warning");
  EXPECT_EQ(TFFLogger::Instance().LogLevel(), llWarning);
  Engine.ParseOption("loglevel", "48");
  EXPECT_EQ(TFFLogger::Instance().LogLevel(), llDebug);
}

// ---- general and file options ----

TEST_F(EngineTest, BooleansAndFlags) {
  Engine.ParseOption("shortest", "");
  EXPECT_TRUE(Settings().Shortest);
  Engine.ParseOption("shortest", "0");
  EXPECT_FALSE(Settings().Shortest);
  Engine.ParseOption("shortest", "no");
  EXPECT_TRUE(Settings().Shortest);
  Engine.ParseOption("copyts", "0");
  EXPECT_TRUE(Settings().CopyTimestamps);
  Engine.ParseOption("xerror", "0");
  EXPECT_TRUE(Settings().ExitOnError);
  Engine.ParseOption("vn", "");
  EXPECT_TRUE(Settings().VideoDisable);
  Engine.ParseOption("vn", "0");
  EXPECT_FALSE(Settings().VideoDisable);
}

TEST_F(EngineTest, NumbersAndTheirErrors) {
  Engine.ParseOption("v", "3");
  EXPECT_EQ(Engine.Verbose, 3);
  Engine.ParseOption("adrift_threshold", "0.25");
  EXPECT_FLOAT_EQ(Settings().AudioDriftThreshold, 0.25f);
  Engine.ParseOption("fs", "5000000000");
  EXPECT_EQ(Settings().LimitFileSize, 5000000000LL);
  EXPECT_EQ(ErrorOf("dframes", "many"), "'many' is not a valid integer value");
  EXPECT_EQ(ErrorOf("dts_delta_threshold", "1,5"), "'1,5' is not a valid floating point value");
  // Float settings end up in integer fields: values that are no number are refused like any text.
  EXPECT_EQ(ErrorOf("aq", "nan"), "'nan' is not a valid floating point value");
  EXPECT_EQ(ErrorOf("muxdelay", "inf"), "'inf' is not a valid floating point value");
  EXPECT_EQ(ErrorOf("dts_delta_threshold", "1e39"), "'1e39' is not a valid floating point value");
  EXPECT_FLOAT_EQ(Settings().AudioQScale, -99999.0f);
}

TEST_F(EngineTest, TimesAndDates) {
  Engine.ParseOption("t", "1:02:03.5");
  EXPECT_EQ(Settings().RecordingTime, 3723500000LL);
  EXPECT_EQ(Engine.ExpectedDuration(), 3723500000LL);
  Engine.ParseOption("ss", "90");
  EXPECT_EQ(Settings().StartTime, 90000000);
  Engine.ParseOption("itsoffset", "-2.5");
  EXPECT_EQ(Settings().InputTsOffset, -2500000);
  EXPECT_EQ(ErrorOf("ss", "later"), "Invalid duration specification for ss: later");
  Engine.ParseOption("timestamp", "2010-01-01 00:00:00.6Z");
  EXPECT_EQ(Settings().RecordingTimestamp, 1262304001);
  EXPECT_EQ(ErrorOf("timestamp", "soon"), "Invalid date specification for timestamp: soon");
}

TEST_F(EngineTest, MapsScalesAndMetadata) {
  Engine.ParseOption("map", "0.1");
  Engine.ParseOption("map", "0x1.2:0.3");
  EXPECT_THAT(Settings().StreamMaps, ElementsAre(TStreamMap{0, 1, 0, 1}, TStreamMap{1, 2, 0, 3}));
  Engine.ParseOption("map_meta_data", "1:0");
  EXPECT_THAT(Settings().MetaDataMaps, ElementsAre(TMetaDataMap{1, 0}));
  Engine.ParseOption("itsscale", "1:0.5");
  EXPECT_DOUBLE_EQ(Settings().InputTsScale[0][1], 0.5);
  EXPECT_EQ(ErrorOf("itsscale", "20:2"), "stream index over MAX_STREAMS(20)");
  Engine.ParseOption("metadata", "title=A=B");
  EXPECT_EQ(Settings().Metadata.back(), std::make_pair(std::string("title"), std::string("A=B")));
  EXPECT_EQ(ErrorOf("metadata", "title"), "Missing =");
  while (static_cast<int>(Settings().StreamMaps.size()) < MaxStreamMaps)
    Engine.ParseOption("map", "0.0");
  EXPECT_EQ(ErrorOf("map", "0.0"), Format("Too many map options: at most %d", MaxStreamMaps));
  EXPECT_EQ(static_cast<int>(Settings().StreamMaps.size()), MaxStreamMaps);
}

TEST_F(EngineTest, ForcedFormat) {
  Engine.ParseOption("f", "");
  EXPECT_EQ(Settings().FileFormat, "");
  Engine.ParseOption("f", "pgmyuv");
  EXPECT_EQ(Settings().FileFormat, "image2");
  EXPECT_TRUE(Settings().FileFormatIsPgmyuv);
  EXPECT_TRUE(Logged("pgmyuv format is deprecated, use image2", llInfo));
}

// ---- video options ----

TEST_F(EngineTest, BitRatesWarnWhenTooLowAndStayWithTheirMediaType) {
  AVCodecContext* video = Engine.GenericParameters().CodecContext(ptVideo);
  AVCodecContext* audio = Engine.GenericParameters().CodecContext(ptAudio);
  const int64_t audioBefore = audio->bit_rate;
  Engine.ParseOption("b", "500");
  EXPECT_EQ(video->bit_rate, 500);
  EXPECT_EQ(audio->bit_rate, audioBefore);
  EXPECT_TRUE(Logged(
      "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s", llWarning));
  Engine.ParseOption("vb", "2000000");
  EXPECT_EQ(video->bit_rate, 2000000);
  Engine.ParseOption("ab", "128000");
  EXPECT_EQ(audio->bit_rate, 128000);
  EXPECT_EQ(video->bit_rate, 2000000);
}

TEST_F(EngineTest, RatesSizesAndAspect) {
  Engine.ParseOption("r", "ntsc");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{30000, 1001}));
  Engine.ParseOption("r", "");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{30000, 1001}));
  EXPECT_EQ(ErrorOf("r", "fast"), "Incorrect frame rate");
  Engine.ParseOption("s", "vga");
  EXPECT_EQ(Settings().FrameWidth, 640);
  EXPECT_EQ(Settings().FrameHeight, 480);
  EXPECT_EQ(ErrorOf("s", "12x"), "Incorrect frame size");
  Engine.ParseOption("aspect", "16:9");
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 16.0f / 9);
  Engine.ParseOption("aspect", "1.5");
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 1.5f);
  for (const char* bad : {"4:0", "abc", "0", "nan", "inf"})
    EXPECT_EQ(ErrorOf("aspect", bad), "Incorrect aspect ratio specification.") << bad;
  for (const std::string bad : {"1e300", "1e30", "-1", "256", "1:256"})
    EXPECT_EQ(ErrorOf("aspect", bad),
              "Incorrect aspect ratio specification: " + bad + " is not between 1:255 and 255:1");
  Engine.ParseOption("aspect", "1:255");
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 1.0f / 255);
  Engine.ParseOption("aspect", "1.5");
  EXPECT_FLOAT_EQ(Settings().FrameAspectRatio, 1.5f);
}

TEST_F(EngineTest, PixelAndSampleFormats) {
  Engine.ParseOption("pix_fmt", "yuv422p");
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV422P);
  EXPECT_EQ(ErrorOf("pix_fmt", "nope"), "Unknown pixel format requested: nope");
  Engine.ParseOption("pix_fmt", "list");
  EXPECT_TRUE(LoggedStartingWith("yuv420p"));
  Engine.ParseOption("sample_fmt", "s16");
  EXPECT_EQ(Settings().AudioSampleFormat, 1);
  Engine.ParseOption("sample_fmt", "list");
  EXPECT_TRUE(LoggedStartingWith("fltp"));
  EXPECT_EQ(ErrorOf("sample_fmt", "s7"), "Unknown sample format requested: s7");
}

TEST_F(EngineTest, CropBandsAgainstTheCurrentSize) {
  Engine.ParseOption("s", "320x240");
  Engine.ParseOption("croptop", "0");
  EXPECT_EQ(Settings().FrameHeight, 240);
  EXPECT_EQ(ErrorOf("croptop", "240"),
            "Vertical crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  Engine.ParseOption("croptop", "8");
  Engine.ParseOption("cropbottom", "2");
  EXPECT_EQ(Settings().FrameHeight, 230);
  EXPECT_EQ(Settings().FrameTopBand, 8);
  EXPECT_TRUE(Logged("CropTop is deprecated in favor of the crop avfilter", llWarning));
  EXPECT_EQ(ErrorOf("cropleft", "320"),
            "Horizontal crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  Engine.ParseOption("cropright", "20");
  EXPECT_EQ(Settings().FrameWidth, 300);
}

TEST_F(EngineTest, QualityPassAndMatrices) {
  EXPECT_EQ(ErrorOf("qscale", "0"), "qscale must be > 0.0 and <= 255");
  EXPECT_EQ(ErrorOf("qscale", "256"), "qscale must be > 0.0 and <= 255");
  for (const char* notANumber : {"nan", "-nan", "inf", "-inf", "infinity"})
    EXPECT_EQ(ErrorOf("qscale", notANumber), "qscale must be > 0.0 and <= 255") << notANumber;
  EXPECT_FLOAT_EQ(Settings().VideoQScale, 0.0f);
  Engine.ParseOption("qscale", "4.5");
  EXPECT_FLOAT_EQ(Settings().VideoQScale, 4.5f);
  EXPECT_EQ(ErrorOf("pass", "3"), "pass number can be only 1 or 2");
  Engine.ParseOption("pass", "2");
  EXPECT_EQ(Settings().DoPass, 2);
  std::string matrix;
  for (int i = 0; i < 63; ++i)
    matrix += std::to_string(i + 8) + (i < 62 ? "," : "");
  EXPECT_EQ(ErrorOf("intra_matrix", matrix), "Syntax error in matrix \"" + matrix + "\" at coeff 62");
  Engine.ParseOption("inter_matrix", matrix + ",99");
  ASSERT_EQ(Settings().InterMatrix.size(), 64u);
  EXPECT_EQ(Settings().InterMatrix[0], 8);
  EXPECT_EQ(Settings().InterMatrix[63], 99);
}

TEST_F(EngineTest, CodecsTagsAndStreamIds) {
  Engine.ParseOption("vcodec", "copy");
  EXPECT_TRUE(Settings().VideoStreamCopy);
  EXPECT_EQ(Settings().VideoCodecName, "");
  Engine.ParseOption("acodec", "libmp3lame");
  EXPECT_EQ(Settings().AudioCodecName, "libmp3lame");
  Engine.ParseOption("vtag", "");
  EXPECT_EQ(Settings().VideoCodecTag, 0u);
  Engine.ParseOption("vtag", "XVID");
  EXPECT_EQ(Settings().VideoCodecTag, 0x44495658u);
  EXPECT_EQ(ErrorOf("vtag", "DX50X"), "video tag parameter must be 4 chars");
  EXPECT_EQ(ErrorOf("atag", ""), "audio tag parameter must be 4 chars");
  EXPECT_EQ(ErrorOf("stag", "abc"), "subtitle tag parameter must be 4 chars");
  EXPECT_EQ(ErrorOf("streamid", "5"),
            "Invalid value \"5\" for option \"streamid\", required syntax is \"index:value\"");
  Engine.ParseOption("streamid", "3:224");
  EXPECT_EQ(Settings().StreamIds[3], 224);
}

TEST_F(EngineTest, FiltersStatisticsHooksAndNewStreams) {
  Engine.ParseOption("vf", "hflip");
  Engine.ParseOption("vfilters", "");
  EXPECT_EQ(Settings().VideoFilters, "hflip");
  Engine.ParseOption("vstats", "");
  EXPECT_TRUE(
      std::regex_match(Settings().VStatsFileName, std::regex(ProgramFolder() + R"(vstats_\d{6}\.log)")))
      << Settings().VStatsFileName;
  EXPECT_EQ(ErrorOf("vhook", "/nowhere/hook.so -x"),
            "Failed to add video hook function: /nowhere/hook.so -x");
  EXPECT_EQ(ErrorOf("newvideo", ""), "At least one output file must be specified");
  EXPECT_EQ(ErrorOf("newaudio", ""), "At least one output file must be specified");
}

TEST(HookArguments, SplitByBarOrSpaces) {
  EXPECT_THAT(SplitHookArguments("/lib/hook.so|-f|my file.png"),
              ElementsAre("/lib/hook.so", "-f", "my file.png"));
  EXPECT_THAT(SplitHookArguments("/lib/hook.so -f my file.png"),
              ElementsAre("/lib/hook.so", "-f", "my", "file.png"));
  EXPECT_THAT(SplitHookArguments("  a  b "), ElementsAre("a", "b"));
  std::string many;
  for (int i = 0; i < 300; ++i)
    many += "w ";
  EXPECT_EQ(SplitHookArguments(many).size(), 254u);
}

// ---- audio, subtitle and other options ----

TEST_F(EngineTest, AudioSettings) {
  Engine.ParseOption("ar", "0");
  Engine.ParseOption("ac", "-1");
  EXPECT_EQ(Settings().AudioSampleRate, 44100);
  EXPECT_EQ(Settings().AudioChannels, 2);
  Engine.ParseOption("ar", "22050");
  Engine.ParseOption("ac", "1");
  EXPECT_EQ(Settings().AudioSampleRate, 22050);
  EXPECT_EQ(Settings().AudioChannels, 1);
  Engine.ParseOption("vol", "512");
  EXPECT_EQ(Settings().AudioVolume, 512);
  Engine.ParseOption("scodec", "copy");
  EXPECT_TRUE(Settings().SubtitleStreamCopy);
}

TEST_F(EngineTest, BitstreamFilters) {
  Engine.ParseOption("absf", "aac_adtstoasc");
  Engine.ParseOption("vbsf", "h264_mp4toannexb");
  Engine.ParseOption("vbsf", "=ignored");
  Engine.ParseOption("sbsf", "null=x");
  ASSERT_EQ(Settings().AudioBitstreamFilters.size(), 1u);
  EXPECT_EQ(Settings().VideoBitstreamFilters.size(), 1u);
  EXPECT_EQ(Settings().SubtitleBitstreamFilters[0].Name, "null");
  EXPECT_EQ(Settings().SubtitleBitstreamFilters[0].Arguments, "x");
  EXPECT_EQ(ErrorOf("vbsf", " nosuch=1 "), "Unknown bitstream filter nosuch=1");
}

} // namespace
} // namespace kavro::test
