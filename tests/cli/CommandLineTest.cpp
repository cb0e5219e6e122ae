// The command line of kavro-convert.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CommandLine.h"

namespace kavro::test {
namespace {

using ::testing::ElementsAre;

TCommandLine Parse(std::vector<std::string> arguments, std::string* errorOut = nullptr) {
  TCommandLine commandLine;
  std::string error;
  const bool parsed = ParseCommandLine(arguments, commandLine, error);
  if (errorOut) *errorOut = parsed ? "" : error;
  return commandLine;
}

TEST(CommandLine, OptionsGoToTheNextInputOrOutput) {
  const TCommandLine line =
      Parse({"-ss", "5", "-i", "a.avi", "-vcodec", "libx264", "-an", "-crf", "20", "b.mp4", "-vn", "c.mp3"});
  ASSERT_EQ(line.Conversions.size(), 1u);
  const TConversion& conversion = line.Conversions[0];
  ASSERT_EQ(conversion.Inputs.size(), 1u);
  EXPECT_EQ(conversion.Inputs[0].FileName, "a.avi");
  EXPECT_EQ(conversion.Inputs[0].Options, "ss=5");
  ASSERT_EQ(conversion.Outputs.size(), 2u);
  // Flags and Booleans stand alone; unknown names take an argument.
  EXPECT_EQ(conversion.Outputs[0].Options, "vcodec=libx264\nan=\ncrf=20");
  EXPECT_EQ(conversion.Outputs[1].Options, "vn=");
  EXPECT_FALSE(conversion.Outputs[0].Join);
}

TEST(CommandLine, SeveralConversionsJoinConcurrencyAndOverwrite) {
  const TCommandLine line =
      Parse({"-y", "-j", "2", "-i", "a.avi", "-i", "b.avi", "-join", "ab.mp4", "--", "-i", "c.avi", "c.mp4"});
  EXPECT_TRUE(line.Overwrite);
  EXPECT_EQ(line.Concurrency, 2);
  ASSERT_EQ(line.Conversions.size(), 2u);
  EXPECT_EQ(line.Conversions[0].Inputs.size(), 2u);
  EXPECT_TRUE(line.Conversions[0].Outputs[0].Join);
  EXPECT_EQ(line.Conversions[1].Outputs[0].FileName, "c.mp4");
}

TEST(CommandLine, ModesAndUsageErrors) {
  EXPECT_EQ(Parse({"-h"}).Mode, TCommandLine::cmHelp);
  EXPECT_EQ(Parse({"--version"}).Mode, TCommandLine::cmVersion);
  const TCommandLine info = Parse({"--info", "a.avi", "b.mkv"});
  EXPECT_EQ(info.Mode, TCommandLine::cmInfo);
  EXPECT_THAT(info.InfoFiles, ElementsAre("a.avi", "b.mkv"));
  std::string error;
  Parse({}, &error);
  EXPECT_EQ(error, "Nothing to convert");
  Parse({"out.mp4"}, &error);
  EXPECT_EQ(error, "Output file out.mp4 comes before any input file");
  Parse({"-i", "a.avi"}, &error);
  EXPECT_EQ(error, "At least one output file must be specified");
  Parse({"-i", "a.avi", "b.mp4", "-i", "c.avi"}, &error);
  EXPECT_EQ(error, "Input file c.avi comes after an output file");
  Parse({"-i", "a.avi", "b.mp4", "-vcodec"}, &error);
  EXPECT_EQ(error, "Missing argument for option -vcodec");
  Parse({"-i", "a.avi", "b.mp4", "-ab", "128000"}, &error);
  EXPECT_EQ(error, "Options after the last output file have no output: ab=128000");
  Parse({"-j", "0", "-i", "a.avi", "b.mp4"}, &error);
  EXPECT_EQ(error, "-j needs a number of at least 1");
  Parse({"--info"}, &error);
  EXPECT_EQ(error, "--info needs at least one file");
}

} // namespace
} // namespace kavro::test
