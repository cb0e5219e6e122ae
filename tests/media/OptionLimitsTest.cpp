// Option values no conversion can honour: numbers that do not fit, durations and counts that leave
// nothing, rates beyond any encoder. They are refused as option errors and change nothing; the
// value next to each limit still works.
#include <gtest/gtest.h>

#include "EngineTestBase.h"

namespace kavro::test {
namespace {

class OptionLimitsTest : public EngineTest {
protected:
  // The message of the option error the value raises; "no error", or "other: " and the message of
  // an exception of another kind.
  std::string RefusalOf(const std::string& name, const std::string& value) {
    try {
      Engine.ParseOption(name, value);
    } catch (const EOptionError& e) {
      return e.what();
    } catch (const EConvertError& e) {
      return e.what();
    } catch (const std::exception& e) {
      return std::string("other: ") + e.what();
    }
    return "no error";
  }
};

TEST_F(OptionLimitsTest, SizesAndIndicesThatDoNotFitAnIntAreRefused) {
  for (const char* size : {"4294967616x4294967536", "2147483648x240", "320x4294967536", "100000x100000"})
    EXPECT_EQ(RefusalOf("s", size),
              std::string("Incorrect frame size: ") + size + " is beyond the largest picture");
  EXPECT_EQ(RefusalOf("s", "0x240"), "Incorrect frame size");
  EXPECT_EQ(Settings().FrameWidth, 0);
  Engine.ParseOption("s", "320x240");
  EXPECT_EQ(Settings().FrameWidth, 320);
  EXPECT_EQ(Settings().FrameHeight, 240);
  Engine.ParseOption("s", "00000000000176x0144");
  EXPECT_EQ(Settings().FrameWidth, 176);

  EXPECT_EQ(RefusalOf("map", "0:4294967297"),
            "Invalid value \"0:4294967297\" for option \"map\": 4294967297 is out of range");
  EXPECT_EQ(RefusalOf("map", "4294967296:0"),
            "Invalid value \"4294967296:0\" for option \"map\": 4294967296 is out of range");
  EXPECT_EQ(RefusalOf("map", "0:1:0x100000000:0"),
            "Invalid value \"0:1:0x100000000:0\" for option \"map\": 0x100000000 is out of range");
  EXPECT_TRUE(Settings().StreamMaps.empty());
  EXPECT_EQ(RefusalOf("itsscale", "4294967297:2"),
            "Invalid value \"4294967297:2\" for option \"itsscale\": 4294967297 is out of range");
  EXPECT_EQ(RefusalOf("map_meta_data", "0:99999999999"),
            "Invalid value \"0:99999999999\" for option \"map_meta_data\": 99999999999 is out of range");
  Engine.ParseOption("map", "0:2147483647");
  EXPECT_EQ(Settings().StreamMaps.back().StreamIndex, 2147483647);
}

TEST_F(OptionLimitsTest, DurationsCountsAndSizeLimitsThatLeaveNothingAreRefused) {
  EXPECT_EQ(RefusalOf("t", "-5"), "Invalid duration for t: -5 (it must be above zero)");
  EXPECT_EQ(RefusalOf("t", "0"), "Invalid duration for t: 0 (it must be above zero)");
  EXPECT_EQ(RefusalOf("t", "later"), "Invalid duration specification for t: later");
  EXPECT_EQ(Engine.ExpectedDuration(), -1);
  Engine.ParseOption("t", "0.5");
  EXPECT_EQ(Settings().RecordingTime, 500000);

  EXPECT_EQ(RefusalOf("ss", "-5"), "Invalid start time for ss: -5 (it cannot be negative)");
  EXPECT_EQ(RefusalOf("ss", "-0.001"), "Invalid start time for ss: -0.001 (it cannot be negative)");
  Engine.ParseOption("ss", "0");
  Engine.ParseOption("ss", "1.5");
  EXPECT_EQ(Settings().StartTime, 1500000);
  // An input's offset moves it either way; negative is a use, not a mistake.
  Engine.ParseOption("itsoffset", "-1");
  EXPECT_EQ(Settings().InputTsOffset, -1000000);

  for (const char* name : {"vframes", "aframes", "dframes"}) {
    for (const char* count : {"-5", "0"})
      EXPECT_EQ(RefusalOf(name, count), Format("Invalid frame count for %s: %s (at least 1)", name, count));
    Engine.ParseOption(name, "1");
  }
  EXPECT_EQ(Settings().VideoMaxFrames, 1);
  EXPECT_EQ(Settings().AudioMaxFrames, 1);
  EXPECT_EQ(Settings().DataMaxFrames, 1);
  EXPECT_EQ(RefusalOf("vframes", "99999999999"), "'99999999999' is not a valid integer value");

  for (const char* limit : {"1", "65535", "-1"})
    EXPECT_EQ(RefusalOf("fs", limit),
              Format("Invalid file size limit for fs: %s (0 for none, else at least 65536 bytes)", limit));
  EXPECT_EQ(Settings().LimitFileSize, 0);
  Engine.ParseOption("fs", "65536");
  EXPECT_EQ(Settings().LimitFileSize, 65536);
  Engine.ParseOption("fs", "0");
  EXPECT_EQ(Settings().LimitFileSize, 0);
}

TEST_F(OptionLimitsTest, RatesBeyondAnyEncoderAreRefused) {
  EXPECT_EQ(RefusalOf("r", "1e9"), "Incorrect frame rate: 1e9 is above 1000 frames a second");
  EXPECT_EQ(RefusalOf("r", "1001"), "Incorrect frame rate: 1001 is above 1000 frames a second");
  EXPECT_EQ(RefusalOf("r", "0"), "Incorrect frame rate");
  EXPECT_EQ(Settings().FrameRate, TFrameRate{});
  Engine.ParseOption("r", "1000");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{1000, 1}));
  Engine.ParseOption("r", "30000/1001");
  EXPECT_EQ(Settings().FrameRate, (TFrameRate{30000, 1001}));

  EXPECT_EQ(RefusalOf("ar", "1000000000"), "Invalid sample rate for ar: 1000000000 (at most 768000)");
  EXPECT_EQ(RefusalOf("ar", "768001"), "Invalid sample rate for ar: 768001 (at most 768000)");
  EXPECT_EQ(Settings().AudioSampleRate, 44100);
  Engine.ParseOption("ar", "768000");
  EXPECT_EQ(Settings().AudioSampleRate, 768000);
  EXPECT_EQ(RefusalOf("ac", "1000000"), "Invalid channel count for ac: 1000000 (at most 64)");
  Engine.ParseOption("ac", "64");
  EXPECT_EQ(Settings().AudioChannels, 64);
}

TEST_F(OptionLimitsTest, SecondsAndScalesThatOverflowTheirFieldAreRefused) {
  for (const char* name : {"muxdelay", "muxpreload"}) {
    for (const char* bad : {"1e30", "2147.5", "-1"})
      EXPECT_EQ(RefusalOf(name, bad),
                Format("Invalid value \"%s\" for option \"%s\": not between 0 and 2147", bad, name));
    Engine.ParseOption(name, "2147");
  }
  EXPECT_EQ(Settings().MuxMaxDelay, 2147.0f);
  EXPECT_EQ(Settings().MuxPreload, 2147.0f);
  EXPECT_EQ(RefusalOf("dts_delta_threshold", "1e30"),
            "Invalid value \"1e30\" for option \"dts_delta_threshold\": not between 0 and 86400");
  EXPECT_EQ(RefusalOf("aq", "-1e30"),
            "Invalid value \"-1e30\" for option \"aq\": not between -99999 and 99999");
  Engine.ParseOption("aq", "-1");
  EXPECT_EQ(Settings().AudioQScale, -1.0f);
}

TEST_F(OptionLimitsTest, StrictOptionsRefuseWhatTheEngineOtherwiseIgnores) {
  // By default a name nothing knows and a refused generic value only log.
  EXPECT_EQ(RefusalOf("nosuchoption", "1"), "no error");
  EXPECT_EQ(RefusalOf("g", "abc"), "no error");
  EXPECT_EQ(RefusalOf("b", "fast"), "no error");
  Engine.StrictOptions = true;
  EXPECT_EQ(RefusalOf("nosuchoption", "1"), "Unrecognized option 'nosuchoption'");
  EXPECT_EQ(RefusalOf("vcodek", "mpeg4"), "Unrecognized option 'vcodek'");
  EXPECT_EQ(RefusalOf("g", "abc"), "Invalid value \"abc\" for option \"g\"");
  EXPECT_EQ(RefusalOf("g", " "), "Invalid value \" \" for option \"g\"");
  EXPECT_EQ(RefusalOf("b", "fast"), "Invalid value \"fast\" for option \"b\"");
  EXPECT_EQ(RefusalOf("ab", "much"), "Invalid value \"much\" for option \"ab\"");
  EXPECT_EQ(RefusalOf("crf", "23"), "Unrecognized option 'crf'");
  EXPECT_EQ(RefusalOf("g", "12"), "no error");
  EXPECT_EQ(RefusalOf("b", "500000"), "no error");
  // A private option of the encoder chosen before it.
  Engine.ParseOption("vcodec", "mpeg4");
  EXPECT_EQ(RefusalOf("mpeg_quant", "1"), "no error");
  EXPECT_EQ(RefusalOf("mpeg_quant", "much"), "Invalid value \"much\" for option \"mpeg_quant\"");
}

TEST_F(OptionLimitsTest, RefusedValuesAreOptionErrors) {
  // A caller tells a mistake in what it asked for from a failure of a file or a codec.
  for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{{"s", "big"},
                                                                                    {"r", "fast"},
                                                                                    {"aspect", "0"},
                                                                                    {"pix_fmt", "nope"},
                                                                                    {"qscale", "0"},
                                                                                    {"pass", "3"},
                                                                                    {"vtag", "ab"},
                                                                                    {"metadata", "title"},
                                                                                    {"streamid", "5"},
                                                                                    {"target", "xyz"},
                                                                                    {"vbsf", "nosuch"},
                                                                                    {"sample_fmt", "nope"},
                                                                                    {"padtop", "2"}}) {
    const std::string refusal = RefusalOf(name, value);
    EXPECT_NE(refusal, "no error") << name;
    EXPECT_FALSE(refusal.starts_with("other: ")) << name << ": " << refusal;
  }
  EXPECT_TRUE(RefusalOf("fpre", "/nonexistent/preset").starts_with("other: "));
}

} // namespace
} // namespace kavro::test
