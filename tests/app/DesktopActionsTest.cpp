// The desktop actions start their programs detached with the right arguments, leave no zombie
// behind, and fail quietly when the program is missing. A script stands in for the file manager and
// for systemctl, so nothing is ever opened or powered off.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DesktopActions.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

namespace kavro::test {
namespace {

class DesktopActionsTest : public ::testing::Test {
protected:
  DesktopActionsTest() : Scratch("desktop") {
    // Writes its arguments one per line, all at once, so the test never reads half of them.
    Script = Scratch.Write("stand-in", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + Output() +
                                           ".part\" && mv \"" + Output() + ".part\" \"" + Output() + "\"\n");
    chmod(Script.c_str(), 0755);
  }

  std::string Output() const { return Scratch.File("arguments"); }

  // The arguments the script was started with; empty when it did not run within five seconds.
  std::string WaitForArguments() const {
    for (int wait = 0; wait < 500; ++wait) {
      if (std::filesystem::exists(Output())) return ReadText(Output());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  TScratchFolder Scratch;
  std::string Script;
};

TEST_F(DesktopActionsTest, OpenFolderHandsTheFolderToTheFileManager) {
  TDesktopActions desktop(Script, Script);
  ASSERT_TRUE(desktop.StartOpenFolder("/home/user/My Videos"));
  EXPECT_EQ(WaitForArguments(), "/home/user/My Videos\n");
  EXPECT_EQ(desktop.LastError(), "");
}

TEST_F(DesktopActionsTest, AFolderLikeAnOptionIsPassedAsAPath) {
  TDesktopActions desktop(Script, Script);
  desktop.OpenFolder("-videos");
  EXPECT_EQ(WaitForArguments(), "./-videos\n");
}

TEST_F(DesktopActionsTest, PowerOffAsksForPowerOff) {
  TDesktopActions desktop(Script, Script);
  desktop.PowerOff();
  EXPECT_EQ(WaitForArguments(), "poweroff\n");
}

TEST_F(DesktopActionsTest, TheOpenButtonsOpenOnlyFoldersOfMoreThanTwoCharacters) {
  EXPECT_FALSE(OpenFolder("", Script));
  EXPECT_FALSE(OpenFolder("/a", Script));
  EXPECT_FALSE(std::filesystem::exists(Output()) || std::filesystem::exists(Output() + ".part"));
  EXPECT_TRUE(OpenFolder("/ab", Script));
  EXPECT_EQ(WaitForArguments(), "/ab\n");
}

TEST_F(DesktopActionsTest, AMissingProgramFailsQuietly) {
  const std::string missing = Scratch.File("no-such-program");
  TDesktopActions desktop(missing, missing);
  EXPECT_NO_THROW(desktop.OpenFolder("/tmp"));
  EXPECT_NE(desktop.LastError().find("no-such-program"), std::string::npos) << desktop.LastError();
  EXPECT_FALSE(desktop.StartPowerOff());
  EXPECT_FALSE(desktop.StartOpenFolder("/tmp"));
  EXPECT_FALSE(OpenFolder("/tmp", "kavro-no-such-program-in-path"));
}

TEST_F(DesktopActionsTest, AFinishedProgramLeavesNoZombie) {
  std::string failure;
  const pid_t pid = StartDetached({Script, "x"}, failure);
  ASSERT_GT(pid, 0) << failure;
  ASSERT_EQ(WaitForArguments(), "x\n");
  // A zombie still answers kill(pid, 0); a reaped child does not.
  bool reaped = false;
  for (int wait = 0; wait < 500 && !reaped; ++wait) {
    reaped = kill(pid, 0) != 0 && errno == ESRCH;
    if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(reaped);
}

} // namespace
} // namespace kavro::test
