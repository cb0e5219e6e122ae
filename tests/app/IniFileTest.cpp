#include "IniFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

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
  auto writer = [&](const std::string& prefix) {
    for (int i = 0; i < 50; ++i)
      ini.WriteInteger("s", prefix + std::to_string(i), i);
  };
  std::thread first(writer, "a"), second(writer, "b");
  first.join();
  second.join();
  EXPECT_EQ(ini.ReadSection("s").size(), 100u);
}

} // namespace
} // namespace kavro
