// The settings file under a process killed while it writes: whenever the writer dies, the file is
// whole, one of the versions it wrote, never empty or cut short.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include "AppTestSupport.h"
#include "IniFile.h"

extern char** environ;

namespace kavro::test {
namespace {

constexpr const char* FileVariable = "KAVRO_KILLED_WRITER_FILE";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int Writes = 2000; // every write is much slower there; the file is the same
#else
constexpr int Writes = 10000;
#endif

// The writer of the other process: every write changes the counter and a text of its length, so a
// version read back tells whether it is whole.
TEST(SettingsKillWriter, DISABLED_WritesUntilKilled) {
  const char* file = std::getenv(FileVariable);
  if (!file) GTEST_SKIP() << "run by SettingsKillTest only";
  TIniFile ini(file);
  for (int write = 1; write <= Writes; ++write) {
    TIniBatch batch(ini);
    ini.WriteInteger("settings", "Counter", write);
    ini.WriteString("settings", "Text", std::string(static_cast<size_t>(write % 97), 'x'));
    ini.WriteInteger("settings", "TextLength", write % 97);
  }
}

TEST(SettingsKillTest, AWriterKilledAtAnyMomentLeavesAWholeSettingsFile) {
  const TScratchFolder folder("settings-kill");
  const std::string file = folder.File("kavroflvvideoconverter.ini");
  folder.Write("kavroflvvideoconverter.ini",
               "; kept by the user\n[settings]\nOutPutDir=/videos\nCounter=0\n");
  setenv(FileVariable, file.c_str(), 1);
  std::mt19937 random(20261209);
  int written = 0, kills = 0;
  // Writers are started and killed until ten thousand writes have been cut into at random moments.
  for (int round = 0; written < Writes && round < 1000; ++round) {
    const char* arguments[] = {"app_tests", "--gtest_also_run_disabled_tests",
                               "--gtest_filter=SettingsKillWriter.DISABLED_WritesUntilKilled", nullptr};
    pid_t writer = 0;
    ASSERT_EQ(
        posix_spawn(&writer, "/proc/self/exe", nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(20, 1500)(random)));
    kills += kill(writer, SIGKILL) == 0 ? 1 : 0;
    int status = 0;
    waitpid(writer, &status, 0);

    const std::string text = ReadText(file);
    ASSERT_FALSE(text.empty()) << "round " << round;
    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", ""), "/videos") << text;
    EXPECT_TRUE(text.starts_with("; kept by the user\n")) << text;
    const int counter = ini.ReadInteger("settings", "Counter", -1);
    EXPECT_GE(counter, 0) << text;
    EXPECT_EQ(static_cast<int>(ini.ReadString("settings", "Text", "").size()),
              ini.ReadInteger("settings", "TextLength", 0))
        << text;
    written += counter;
  }
  unsetenv(FileVariable);
  EXPECT_GT(kills, 0);
  std::cout << kills << " writers killed during " << written << " writes\n";
}

} // namespace
} // namespace kavro::test
