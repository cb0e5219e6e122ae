// The kept job list: what it keeps of every row, how it tells a damaged file, and what a start makes
// of the rows of a run that never ended.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "InterruptedRows.h"
#include "JobListFile.h"

namespace kavro {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TScratchFolder;

TJobRow EditedRow(const std::string& source) {
  TJobRow row;
  row.Record.SourceFile = source;
  row.Record.DestFile = "/out/clip_(new).flv";
  row.Record.TrimStart = 1'500'000;
  row.Record.TrimLength = 90'061'001'000;
  row.Record.CropTop = 6;
  row.Record.CropEditRight = 21;
  row.Record.MarkText = "Line one\nback\\slash \\n=not a break";
  row.Record.MarkFont = {"DejaVu Sans", 24, 0x00FF00FF, true, false, true, false};
  row.Record.TextHorzPos = 5;
  row.Record.MarkImage = "/pictures/logo.png";
  row.Record.ImageAlpha = 200;
  row.Record.Contrast = -100;
  row.Record.Exposure = -255;
  row.Record.ProcessImage = true;
  row.Checked = false;
  row.Length = "10";
  row.TrimmedLength = "3";
  row.DestName = "clip_(new).flv";
  row.Error = "Cannot read the watermark image";
  row.RunState = TRowRunState::Failed;
  row.RunStarted = 1'765'000'000;
  return row;
}

void ExpectSameRow(const TJobRow& a, const TJobRow& b) {
  EXPECT_EQ(a.Record.SourceFile, b.Record.SourceFile);
  EXPECT_EQ(a.Record.TrimStart, b.Record.TrimStart);
  EXPECT_EQ(a.Record.TrimLength, b.Record.TrimLength);
  EXPECT_EQ(a.Record.CropTop, b.Record.CropTop);
  EXPECT_EQ(a.Record.CropEditRight, b.Record.CropEditRight);
  EXPECT_EQ(a.Record.MarkText, b.Record.MarkText);
  EXPECT_EQ(a.Record.MarkFont.Name, b.Record.MarkFont.Name);
  EXPECT_EQ(a.Record.MarkFont.Color, b.Record.MarkFont.Color);
  EXPECT_EQ(a.Record.MarkFont.Underline, b.Record.MarkFont.Underline);
  EXPECT_EQ(a.Record.MarkImage, b.Record.MarkImage);
  EXPECT_EQ(a.Record.Exposure, b.Record.Exposure);
  EXPECT_EQ(a.Record.ProcessImage, b.Record.ProcessImage);
  EXPECT_EQ(a.Checked, b.Checked);
  EXPECT_EQ(a.TrimmedLength, b.TrimmedLength);
  EXPECT_EQ(a.Error, b.Error);
  EXPECT_EQ(a.RunState, b.RunState);
  EXPECT_EQ(a.RunStarted, b.RunStarted);
}

TEST(JobListFileTest, EveryEditOfEveryRowComesBackAsItWasWritten) {
  const std::vector<TJobRow> rows = {EditedRow("/videos/Smörgåsbord_日本.mp4"), EditedRow("/a/b\\c\nd.avi"),
                                     TJobRow{}};
  std::vector<TJobRow> read;
  std::string why;
  ASSERT_TRUE(ParseJobList(JobListText(rows), read, why)) << why;
  ASSERT_EQ(read.size(), 3u);
  for (size_t index = 0; index < rows.size(); ++index)
    ExpectSameRow(rows[index], read[index]);

  ASSERT_TRUE(ParseJobList(JobListText({}), read, why)) << why;
  EXPECT_TRUE(read.empty());
}

TEST(JobListFileTest, AFileCutAnywhereOrChangedInOneByteIsDamaged) {
  const std::string text = JobListText({EditedRow("/videos/a.mp4"), EditedRow("/videos/b.mp4")});
  std::vector<TJobRow> read;
  std::string why;
  for (size_t length = 0; length < text.size(); ++length)
    ASSERT_FALSE(ParseJobList(std::string_view(text).substr(0, length), read, why)) << "cut at " << length;
  EXPECT_TRUE(read.empty());

  std::string changed = text;
  changed[changed.find("a.mp4")] = 'x';
  EXPECT_FALSE(ParseJobList(changed, read, why));
  EXPECT_EQ(why, "its content does not match its checksum");
  EXPECT_FALSE(ParseJobList(std::string(4096, '\0'), read, why));
}

TEST(JobListFileTest, KeysOfALaterVersionAreSkipped) {
  std::vector<TJobRow> read;
  std::string why;
  // The writer's own row with one key added and the checksum (64-bit FNV-1a) made anew.
  TJobRow row;
  row.Record.SourceFile = "/v/a.mp4";
  std::string text = JobListText({row});
  text.insert(text.find("SourceFile="), "Stars=5\n");
  text.erase(text.rfind("End "));
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text)
    hash = (hash ^ c) * 1099511628211ull;
  char end[64];
  std::snprintf(end, sizeof end, "End 1 %016llx\n", static_cast<unsigned long long>(hash));
  ASSERT_TRUE(ParseJobList(text + end, read, why)) << why;
  EXPECT_EQ(read.at(0).Record.SourceFile, "/v/a.mp4");
}

TEST(JobListFileTest, ADamagedFileIsSetAsideAndReportedAndTheListStartsEmpty) {
  const TScratchFolder folder("JobListDamaged");
  const std::string listFile = folder.File("state/kavroflvvideoconverter.jobs");
  {
    TJobListStore store(listFile);
    EXPECT_TRUE(store.Load().Message.empty()) << "no file yet: nothing to say";
    ASSERT_FALSE(store.Save({EditedRow("/videos/a.mp4")}).has_value());
  }
  EXPECT_EQ(TJobListStore(listFile).Load().Rows.size(), 1u);

  const std::string whole = ReadText(listFile);
  std::ofstream(listFile, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
  TJobListStore later(listFile);
  const TLoadedJobList loaded = later.Load();
  EXPECT_TRUE(loaded.Rows.empty());
  EXPECT_NE(loaded.Message.find("could not be read (it is cut short)"), std::string::npos) << loaded.Message;
  EXPECT_FALSE(fs::exists(listFile));
  std::string aside;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.File("state")))
    if (entry.path().string().starts_with(listFile + ".damaged-")) aside = entry.path().string();
  EXPECT_NE(loaded.Message.find(aside), std::string::npos);
  EXPECT_EQ(ReadText(aside), whole.substr(0, whole.size() / 2)) << "the damaged file is kept as it was";

  // Saving goes on into a new file.
  EXPECT_FALSE(later.Save({}).has_value());
  EXPECT_TRUE(fs::exists(listFile));
}

TEST(JobListFileTest, AListThatCannotBeSavedIsToldOnceUntilSavingWorksAgain) {
  const TScratchFolder folder("JobListUnsaved");
  const std::string blocked = folder.File("blocked");
  fs::create_directories(blocked + "/kavro.jobs");
  TJobListStore store(blocked + "/kavro.jobs");
  const std::optional<std::string> first = store.Save({});
  ASSERT_TRUE(first.has_value());
  EXPECT_NE(first->find("it is a folder"), std::string::npos) << *first;
  EXPECT_FALSE(store.Save({}).has_value());
  fs::remove(blocked + "/kavro.jobs");
  EXPECT_FALSE(store.Save({}).has_value());
  fs::remove(blocked + "/kavro.jobs");
  fs::create_directories(blocked + "/kavro.jobs");
  EXPECT_TRUE(store.Save({}).has_value()) << "failing again after a success is told again";

  TJobListStore none("");
  EXPECT_FALSE(none.Save({EditedRow("/v/a.mp4")}).has_value());
  EXPECT_TRUE(none.Load().Rows.empty());
}

TEST(JobListFileTest, OnlyOneWindowKeepsTheListAtATime) {
  const TScratchFolder folder("JobListTwoWindows");
  const std::string listFile = folder.File("kavro.jobs");
  TJobListStore first(listFile);
  ASSERT_TRUE(first.Load().Message.empty());
  ASSERT_FALSE(first.Save({EditedRow("/v/a.mp4")}).has_value());
  {
    TJobListStore second(listFile);
    const TLoadedJobList loaded = second.Load();
    EXPECT_TRUE(loaded.Rows.empty());
    EXPECT_NE(loaded.Message.find("Another window of this program keeps its job list"), std::string::npos);
    EXPECT_FALSE(second.Save({}).has_value());
  }
  EXPECT_EQ(TJobListStore(listFile).Load().Rows.size(), 0u) << "the first still holds it";
  ASSERT_FALSE(first.Save({EditedRow("/v/a.mp4"), EditedRow("/v/b.mp4")}).has_value());
}

// ---- after a crash ----

void Touch(const std::string& path, const std::string& content, int64_t modified) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  const struct timespec times[2] = {{modified, 0}, {modified, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TJobRow RunRow(TRowRunState state, const std::string& output, int64_t started) {
  TJobRow row;
  row.Record.SourceFile = "/videos/a.mp4";
  row.RunState = state;
  row.RunOutput = output;
  row.RunStarted = started;
  row.Progress = "37%";
  return row;
}

TEST(JobListFileTest, AnInterruptedRowIsMarkedAndOnlyWhatItsRunMadeIsRemoved) {
  const TScratchFolder folder("JobListRecovery");
  const int64_t started = static_cast<int64_t>(std::time(nullptr)) - 100;
  const std::string output = folder.File("a_(new).flv");
  Touch(output, "", started + 5);                                      // the name holder
  Touch(folder.File(".a_(new).flv.123456.part"), "half", started + 5); // the partial file
  Touch(folder.File(".a_(new).flv.42.part"), "older", started - 3600); // not this run's
  Touch(folder.File(".a_(new).flv.x.part"), "user's", started + 5);    // not a name the run makes
  Touch(folder.File("b_(new).flv"), "whole", started + 50);            // put in place, unreported
  Touch(folder.File("c_(new).flv"), "", started - 3600);               // an empty file of before

  std::vector<TJobRow> rows = {RunRow(TRowRunState::Converting, output, started),
                               RunRow(TRowRunState::Converting, folder.File("b_(new).flv"), started),
                               RunRow(TRowRunState::Queued, folder.File("c_(new).flv"), started),
                               RunRow(TRowRunState::Done, "", started), RunRow(TRowRunState::Idle, "", 0)};
  rows[3].Error = "";
  RecoverInterruptedRows(rows);

  EXPECT_EQ(rows[0].RunState, TRowRunState::Interrupted);
  EXPECT_EQ(rows[0].Progress, "Interrupted");
  EXPECT_EQ(rows[0].Error, InterruptedReason);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(folder.File(".a_(new).flv.123456.part")));
  EXPECT_TRUE(fs::exists(folder.File(".a_(new).flv.42.part")));
  EXPECT_TRUE(fs::exists(folder.File(".a_(new).flv.x.part")));

  EXPECT_EQ(rows[1].RunState, TRowRunState::Done);
  EXPECT_EQ(rows[1].Progress, "100%");
  EXPECT_EQ(ReadText(folder.File("b_(new).flv")), "whole");

  EXPECT_EQ(rows[2].RunState, TRowRunState::Idle);
  EXPECT_EQ(rows[2].Progress, "");
  EXPECT_TRUE(fs::exists(folder.File("c_(new).flv"))) << "a file older than the run is not the run's";

  EXPECT_EQ(rows[3].Progress, "100%");
  EXPECT_EQ(rows[4].Progress, "");
  for (const TJobRow& row : rows)
    EXPECT_TRUE(row.RunOutput.empty());
}

} // namespace
} // namespace kavro
