#include "IniFile.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "AppTestSupport.h"

namespace kavro {
namespace {

using test::ReadText;
using test::TScratchFolder;

TEST(IniFileTest, ReadsWithoutCaseAndGivesDefaultsForWhatIsMissing) {
  TScratchFolder folder("ini-read");
  const auto path = folder.Write("a.ini", "; comment\r\n[Settings]\r\nOutPutDir = /tmp/out \r\n"
                                          "Count=12\r\nBad=12x\r\nQuoted=\"a b\"\r\n[other]\r\nCount=3\r\n");
  const TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("settings", "outputdir", "d"), "/tmp/out");
  EXPECT_EQ(ini.ReadString("SETTINGS", "Quoted", ""), "a b");
  EXPECT_EQ(ini.ReadInteger("settings", "count", 0), 12);
  EXPECT_EQ(ini.ReadInteger("other", "count", 0), 3);
  EXPECT_EQ(ini.ReadInteger("settings", "bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("settings", "missing", 7), 7);
  EXPECT_EQ(ini.ReadString("nosuch", "count", "d"), "d");
  EXPECT_EQ(ini.ReadSection("settings"), (std::vector<std::string>{"OutPutDir", "Count", "Bad", "Quoted"}));
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_FALSE(TIniFile(folder.File("none.ini")).SectionExists("settings"));
  EXPECT_EQ(TIniFile(folder.File("none.ini")).ReadInteger("settings", "count", 5), 5);
}

TEST(IniFileTest, WritesKeepOtherLinesCommentsAndOrder) {
  TScratchFolder folder("ini-write");
  const auto path = folder.Write("a.ini", "; keep me\n[settings]\nA=1\nB=2\n\n[lstformat]\n0=1\n");
  TIniFile ini(path);
  EXPECT_TRUE(ini.WriteString("SETTINGS", "b", "20"));
  EXPECT_TRUE(ini.WriteString("settings", "C", "3"));
  EXPECT_TRUE(ini.WriteBool("new", "x", true));
  EXPECT_TRUE(ini.DeleteKey("lstformat", "0"));
  EXPECT_EQ(ReadText(path), "; keep me\n[settings]\nA=1\nB=20\nC=3\n\n[lstformat]\n\n[new]\nx=1\n");
  EXPECT_TRUE(ini.ReadBool("new", "x", false));
  // A file that does not exist yet is made by the first write.
  TIniFile fresh(folder.File("fresh.ini"));
  EXPECT_TRUE(fresh.WriteInteger("formatInfo404", "iVolume", 3));
  EXPECT_EQ(ReadText(fresh.FileName()), "[formatInfo404]\niVolume=3\n");
}

TEST(IniFileTest, AWrittenValueReadsBackAsItWasGiven) {
  TScratchFolder folder("ini-values");
  const auto path = folder.Write("a.ini", "[settings]\nOutPutDir=/tmp\nA=1\n");
  TIniFile ini(path);
  // Folder names may start or end with blanks or quotes; the reader strips both from plain values.
  for (const std::string value : {" /tmp/lead", "/tmp/trail ", "\"/tmp/quoted\"", "'x'", "\t", "a\rb",
                                  "end\r", "\"", " \"", "a=b;c", ""}) {
    EXPECT_TRUE(ini.WriteString("settings", "OutPutDir", value));
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "default"), value);
    EXPECT_TRUE(ini.WriteString("settings", "Fresh", value));
    EXPECT_EQ(ini.ReadString("settings", "Fresh", "default"), value);
  }
  EXPECT_EQ(ini.ReadInteger("settings", "A", 0), 1);
  // A line break would cut the value and add a line of its own, here a section.
  const std::string before = ReadText(path);
  EXPECT_FALSE(ini.WriteString("settings", "OutPutDir", "/tmp/a\n[formatInfo404]\nFormat=psp"));
  EXPECT_FALSE(ini.WriteString("settings", "New", "a\nb"));
  EXPECT_EQ(ReadText(path), before);
  EXPECT_FALSE(ini.SectionExists("formatInfo404"));
  EXPECT_FALSE(ini.ValueExists("settings", "New"));
  EXPECT_FALSE(ini.HasUnstoredChanges());
  EXPECT_TRUE(ini.WriteString("settings", "A", "2"));
  EXPECT_EQ(ini.ReadInteger("settings", "A", 0), 2);
}

TEST(IniFileTest, AFailedWriteLeavesTheFileAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TScratchFolder folder("ini-readonly");
  const auto path = folder.Write("a.ini", "[settings]\nA=1\n");
  chmod(folder.Path().c_str(), 0555);
  TIniFile ini(path);
  EXPECT_FALSE(ini.WriteString("settings", "A", "2"));
  chmod(folder.Path().c_str(), 0755);
  EXPECT_EQ(ReadText(path), "[settings]\nA=1\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(IniFileTest, ABatchReplacesTheFileOnceAndReadsItsOwnWrites) {
  TScratchFolder folder("ini-batch");
  const auto path = folder.Write("a.ini", "; keep me\n[settings]\nA=1\nB=2\n");
  TIniFile ini(path);
  test::TReplaceCounter replaced(folder.Path(), "a.ini");
  {
    TIniBatch batch(ini);
    EXPECT_TRUE(ini.WriteString("settings", "B", "20"));
    {
      TIniBatch inner(ini); // a batch inside a batch ends with the outer one
      EXPECT_TRUE(ini.WriteInteger("formatInfo1", "iVolume", 3));
    }
    EXPECT_TRUE(ini.DeleteKey("settings", "A"));
    // Not yet in the file, but read back as written.
    EXPECT_EQ(ReadText(path), "; keep me\n[settings]\nA=1\nB=2\n");
    EXPECT_EQ(ini.ReadInteger("settings", "B", 0), 20);
    EXPECT_EQ(ini.ReadInteger("formatInfo1", "iVolume", 0), 3);
    EXPECT_FALSE(ini.ValueExists("settings", "A"));
    EXPECT_EQ(replaced.Count(), 0);
    EXPECT_TRUE(batch.End());
  }
  EXPECT_EQ(replaced.Count(), 1);
  // The same file the writes one by one would have made.
  EXPECT_EQ(ReadText(path), "; keep me\n[settings]\nB=20\n\n[formatInfo1]\niVolume=3\n");
  // A single change still writes at once; one that changes nothing writes nothing.
  EXPECT_TRUE(ini.WriteString("settings", "C", "3"));
  EXPECT_EQ(replaced.Count(), 2);
  EXPECT_TRUE(ini.WriteString("settings", "C", "3"));
  { TIniBatch batch(ini); }
  EXPECT_EQ(replaced.Count(), 2);
}

TEST(IniFileTest, WhatTheFileCannotTakeIsKeptAndWrittenLater) {
  TScratchFolder folder("ini-unstored");
  const std::string missing = folder.File("missing");
  TIniFile ini(missing + "/s.ini");
  EXPECT_FALSE(ini.WriteString("formatInfo1", "paraVideoEncoder", "mpeg4"));
  {
    TIniBatch batch(ini);
    ini.WriteString("formatInfo1", "paraZoom", "lbox");
    EXPECT_FALSE(batch.End());
  }
  // Read back from memory, and said once.
  EXPECT_TRUE(ini.HasUnstoredChanges());
  EXPECT_EQ(ini.ReadString("formatInfo1", "paraVideoEncoder", ""), "mpeg4");
  EXPECT_EQ(ini.ReadString("formatInfo1", "paraZoom", ""), "lbox");
  const auto failure = ini.NewStoreFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, "Cannot write " + missing + "/s.ini: No such file or directory");
  EXPECT_FALSE(ini.NewStoreFailure().has_value());
  // A copy is the same settings.
  const TIniFile copy = ini;
  EXPECT_EQ(copy.ReadString("formatInfo1", "paraZoom", ""), "lbox");
  // Once the file can be written, the next write takes everything with it.
  std::filesystem::create_directory(missing);
  EXPECT_TRUE(ini.WriteString("settings", "FormatCode", "1"));
  EXPECT_FALSE(ini.HasUnstoredChanges());
  EXPECT_EQ(ReadText(missing + "/s.ini"),
            "[formatInfo1]\nparaVideoEncoder=mpeg4\nparaZoom=lbox\n\n[settings]\nFormatCode=1\n");

  // A folder in the file's place cannot be replaced either.
  TIniFile folderInstead(folder.Path());
  EXPECT_FALSE(folderInstead.WriteString("s", "k", "v"));
  EXPECT_EQ(folderInstead.ReadString("s", "k", ""), "v");
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path()));
  EXPECT_EQ(folderInstead.NewStoreFailure(), "Cannot write " + folder.Path() + ": it is a folder");

  // Nor does a device: it stays what it is.
  if (geteuid() != 0) GTEST_SKIP() << "making a device needs root";
  const std::string device = folder.File("null");
  ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  TIniFile deviceInstead(device);
  EXPECT_FALSE(deviceInstead.WriteString("s", "k", "v"));
  struct stat info {};
  ASSERT_EQ(stat(device.c_str(), &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  EXPECT_EQ(deviceInstead.NewStoreFailure(), "Cannot write " + device + ": not a regular file");
}

// A settings name that is a pipe or a huge file is neither read without end nor replaced by a
// write: reads give the defaults at once and writes fail, leaving the thing as it was.
TEST(IniFileTest, PipesAndHugeFilesAreNeitherReadNorReplaced) {
  TScratchFolder folder("ini-unreadable");
  const std::string pipe = folder.File("pipe.ini");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  TIniFile fromPipe(pipe);
  EXPECT_EQ(fromPipe.ReadString("settings", "a", "default"), "default");
  EXPECT_FALSE(fromPipe.WriteString("settings", "a", "1"));
  struct stat info;
  ASSERT_EQ(stat(pipe.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  std::string huge = "[settings]\na=1\n";
  huge.resize(2 << 20, ';');
  const auto path = folder.Write("huge.ini", huge);
  TIniFile fromHuge(path);
  EXPECT_EQ(fromHuge.ReadString("settings", "a", "default"), "default");
  EXPECT_FALSE(fromHuge.WriteString("settings", "b", "2"));
  EXPECT_TRUE(ReadText(path) == huge);
}

TEST(IniFileTest, WritesFromTwoThreadsLoseNothing) {
  TScratchFolder folder("ini-threads");
  TIniFile ini(folder.File("a.ini"));
  std::atomic<int> failed{0};
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < 50; ++i)
      if (!ini.WriteInteger("s", prefix + std::to_string(i), i)) ++failed;
  };
  std::thread first(writer, "a"), second(writer, "b");
  first.join();
  second.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(ini.ReadSection("s").size(), 100u);
}

} // namespace
} // namespace kavro
