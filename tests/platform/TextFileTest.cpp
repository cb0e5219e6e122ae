// Reading the program's small text files whole, and refusing what is not one.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "platform/TextFile.h"

namespace kavro::test {
namespace {

class TextFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    Name = KAVRO_TEST_OUTPUT + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::remove(Name.c_str());
  }
  void TearDown() override { std::remove(Name.c_str()); }
  TTextFileResult Read(const std::string& name) { return ReadTextFile(name, Text); }
  std::string Name;
  std::string Text = "left over";
};

TEST_F(TextFileTest, ReadsARegularFileUpToTheLimit) {
  std::ofstream(Name) << "[a]\nb=1\n";
  EXPECT_EQ(Read(Name), TTextFileResult::Read);
  EXPECT_EQ(Text, "[a]\nb=1\n");
  std::ofstream(Name) << std::string(MaxTextFileSize, 'x');
  EXPECT_EQ(Read(Name), TTextFileResult::Read);
  EXPECT_EQ(Text.size(), static_cast<size_t>(MaxTextFileSize));
  std::ofstream(Name) << std::string(MaxTextFileSize + 1, 'x');
  EXPECT_EQ(Read(Name), TTextFileResult::TooLarge);
  EXPECT_TRUE(Text.empty());
  EXPECT_EQ(TextFileError("s.ini", TTextFileResult::TooLarge), "s.ini: larger than 1 MiB");
}

TEST_F(TextFileTest, RefusesDevicesPipesAndFoldersAtOnce) {
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Read("/dev/zero"), TTextFileResult::NotRegular);
  EXPECT_EQ(Read(KAVRO_TEST_OUTPUT), TTextFileResult::Folder);
  // A pipe nobody writes into would hold a plain open for ever.
  ASSERT_EQ(mkfifo(Name.c_str(), 0644), 0);
  EXPECT_EQ(Read(Name), TTextFileResult::NotRegular);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_TRUE(Text.empty());
  EXPECT_EQ(TextFileError("/dev/zero", TTextFileResult::NotRegular), "/dev/zero: not a regular file");
}

TEST_F(TextFileTest, TellsAMissingFileFromOneThatCannotBeRead) {
  EXPECT_EQ(Read(Name), TTextFileResult::Missing);
  EXPECT_EQ(Read(Name + "/below"), TTextFileResult::Missing);
  EXPECT_EQ(TextFileError("a.ini", TTextFileResult::Missing), "a.ini: No such file or directory");
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  std::ofstream(Name) << "secret";
  chmod(Name.c_str(), 0);
  EXPECT_EQ(Read(Name), TTextFileResult::Unreadable);
  EXPECT_EQ(TextFileError("a.ini", TTextFileResult::Unreadable), "a.ini: Permission denied");
}

} // namespace
} // namespace kavro::test
