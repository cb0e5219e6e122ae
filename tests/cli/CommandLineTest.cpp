// The command line of kavro-convert.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "RowCommand.h"

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

TEST(CommandLine, EditsTakeTheDialogsRangesAndSpellings) {
  const TCommandLine line = Parse({"--format",       "0",
                                   "--trim",         "1.5,2.25",
                                   "--crop",         "3,4,5,6",
                                   "--text",         "Hi",
                                   "--font",         "DejaVu Sans,24,bold,strikeout",
                                   "--text-color",   "#FF8000",
                                   "--text-at",      "10%,80",
                                   "--image",        "logo.png",
                                   "--image-at",     "50%,50%",
                                   "--alpha",        "0",
                                   "--style",        "2",
                                   "--brightness",   "512",
                                   "--contrast",     "-100",
                                   "--saturation",   "0",
                                   "--exposure",     "-255",
                                   "--effects-over", "both",
                                   "a.avi"});
  const TEditRequest& edit = line.FormatRequest.Edits;
  EXPECT_EQ(edit.MarkText, "Hi");
  EXPECT_EQ(edit.MarkFont.Name, "DejaVu Sans");
  EXPECT_EQ(edit.MarkFont.Size, 24);
  EXPECT_TRUE(edit.MarkFont.Bold && edit.MarkFont.StrikeOut && !edit.MarkFont.Italic &&
              !edit.MarkFont.Underline);
  EXPECT_EQ(edit.MarkFont.Color, 0x000080FFu); // 0x00BBGGRR
  EXPECT_EQ(line.FormatRequest.Files, std::vector<std::string>{"a.avi"});
  // Positions come from each file's own picture size, truncated as the dialog does.
  TlvFilesRecord row;
  ApplyEdits(edit, 333, 201, row);
  EXPECT_EQ(row.TextX, 33);
  EXPECT_EQ(row.TextY, 160);
  EXPECT_EQ(row.TextVertPos, 80);
  EXPECT_EQ(row.ImageX, 166);
  EXPECT_EQ(row.ImageY, 100);
  EXPECT_EQ(row.ImageAlpha, 0);
  EXPECT_EQ(row.TransparentStyle, 2);
  EXPECT_EQ(row.Brightness, 512);
  EXPECT_EQ(row.Contrast, -100);
  EXPECT_EQ(row.Saturation, 0);
  EXPECT_EQ(row.Exposure, -255);
  EXPECT_TRUE(row.ProcessText && row.ProcessImage);
  EXPECT_EQ(row.TrimStart, 1500000);
  EXPECT_EQ(row.TrimLength, 2250000);
  // Source margins are even, as the crop dialog stores them.
  EXPECT_EQ((std::vector<int>{row.CropTop, row.CropLeft, row.CropBottom, row.CropRight}),
            (std::vector<int>{2, 4, 4, 6}));

  // Just outside each range, and malformed values, are refused with the option's name.
  for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
           {"--alpha", "256"},        {"--style", "3"},
           {"--brightness", "-1"},    {"--contrast", "101"},
           {"--saturation", "513"},   {"--exposure", "-256"},
           {"--exposure", "1.5"},     {"--text-at", "101%,0%"},
           {"--image-at", "5%"},      {"--font", "Sans"},
           {"--font", "Sans,6"},      {"--font", "Sans,12,heavy"},
           {"--text-color", "red"},   {"--text-color", "#12345"},
           {"--effects-over", "all"}, {"--image", ""},
           {"--trim", "2"},           {"--trim", "-1,2"},
           {"--trim", "a,b"},         {"--crop", "1,2,3"},
           {"--crop", "1,2,x,4"}}) {
    std::string error;
    Parse({"--format", "0", option, value, "a.avi"}, &error);
    EXPECT_NE(error.find(option), std::string::npos) << option << " " << value << ": " << error;
  }
  std::string error;
  Parse({"--format", "0", "a.avi", "--text"}, &error);
  EXPECT_EQ(error, "Missing argument for option --text");
}

TEST(CommandLine, ARowsCommandReadsBackAsTheSameEdits) {
  TlvFilesRecord row;
  row.SourceFile = "-odd name's.avi";
  row.TrimStart = 1234567;
  row.TrimLength = 89;
  row.CropTop = 2, row.CropLeft = 4, row.CropBottom = 6, row.CropRight = 8;
  row.MarkText = "Tom's \"holiday\" $HOME";
  row.MarkFont = {"DejaVu Sans", 24, 0x00336699, true, false, true, false};
  row.TextHorzPos = 10, row.TextVertPos = 80, row.TextX = 32, row.TextY = 192;
  row.MarkImage = "/pictures/a logo.png";
  row.ImageHorzPos = 75, row.ImageVertPos = 5, row.ImageX = 240, row.ImageY = 12;
  row.ImageAlpha = 90, row.TransparentStyle = 2;
  row.Brightness = 300, row.Contrast = -20, row.Saturation = 0, row.Exposure = 40;
  row.ProcessImage = true;

  const std::vector<std::string> arguments = RowCommandArguments(TEdition::General, 404, "/out dir", row);
  std::string error;
  const TCommandLine line = Parse(arguments, &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(line.FormatRequest.Format, "404");
  EXPECT_EQ(line.FormatRequest.Edition, "general");
  EXPECT_EQ(line.FormatRequest.OutputFolder, "/out dir");
  EXPECT_EQ(line.FormatRequest.Files, std::vector<std::string>{row.SourceFile});
  TlvFilesRecord back;
  back.SourceFile = row.SourceFile;
  ApplyEdits(line.FormatRequest.Edits, 320, 240, back);
  for (const auto& [a, b] :
       std::vector<std::pair<int64_t, int64_t>>{{back.TrimStart, row.TrimStart},
                                                {back.TrimLength, row.TrimLength},
                                                {back.CropRight, row.CropRight},
                                                {back.TextX, row.TextX},
                                                {back.TextY, row.TextY},
                                                {back.ImageX, row.ImageX},
                                                {back.ImageY, row.ImageY},
                                                {back.ImageAlpha, row.ImageAlpha},
                                                {back.TransparentStyle, row.TransparentStyle},
                                                {back.Brightness, row.Brightness},
                                                {back.Contrast, row.Contrast},
                                                {back.Saturation, row.Saturation},
                                                {back.Exposure, row.Exposure},
                                                {back.MarkFont.Color, row.MarkFont.Color},
                                                {back.MarkFont.Size, row.MarkFont.Size},
                                                {back.ProcessText, row.ProcessText},
                                                {back.ProcessImage, row.ProcessImage},
                                                {back.MarkFont.Underline, row.MarkFont.Underline}})
    EXPECT_EQ(a, b);
  EXPECT_EQ(back.MarkText, row.MarkText);
  EXPECT_EQ(back.MarkImage, row.MarkImage);
  EXPECT_EQ(back.MarkFont.Name, row.MarkFont.Name);

  // Quoted for a shell: safe words stay, the rest goes in single quotes.
  EXPECT_EQ(ShellQuoted("--trim"), "--trim");
  EXPECT_EQ(ShellQuoted("a b"), "'a b'");
  EXPECT_EQ(ShellQuoted("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellQuoted(""), "''");
  EXPECT_EQ(RowCommandLine(TEdition::Flv, 1, "/o", TlvFilesRecord{}),
            "kavro-convert --format 1 --edition flv --out /o -- ''");
}

} // namespace
} // namespace kavro::test
