// The desktop actions start their programs detached with the right arguments, leave no zombie and
// fail quietly when the program is missing. A script stands in for xdg-open and systemctl.
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
  DesktopActionsTest() : Scratch("desktop"), Output(Scratch.File("arguments")) {
    // Writes its arguments in one go, so the test never reads half of them.
    Script = Scratch.Write("stand-in", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + Output + ".part\" && mv \"" +
                                           Output + ".part\" \"" + Output + "\"\n");
    chmod(Script.c_str(), 0755);
  }

  // What the script was started with, within five seconds; the file is removed for the next start.
  std::string Arguments() const {
    for (int wait = 0; wait < 500 && !std::filesystem::exists(Output); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string text = ReadText(Output);
    std::filesystem::remove(Output);
    return text;
  }

  TScratchFolder Scratch;
  std::string Output;
  std::string Script;
};

TEST_F(DesktopActionsTest, TheProgramsGetTheFolderOrPowerOff) {
  TDesktopActions desktop(Script, Script);
  desktop.OpenFolder("/home/user/My Videos");
  EXPECT_EQ(Arguments(), "/home/user/My Videos\n");
  desktop.OpenFolder("-videos"); // not an option of the file manager
  EXPECT_EQ(Arguments(), "./-videos\n");
  desktop.PowerOff();
  EXPECT_EQ(Arguments(), "poweroff\n");
  EXPECT_EQ(desktop.LastError(), "");
  // The "Open" buttons: only a folder of more than two characters.
  EXPECT_FALSE(OpenFolder("/a", Script));
  EXPECT_TRUE(OpenFolder("/ab", Script));
  EXPECT_EQ(Arguments(), "/ab\n");
}

TEST_F(DesktopActionsTest, AMissingProgramFailsQuietly) {
  TDesktopActions desktop(Scratch.File("missing"), Scratch.File("missing"));
  EXPECT_NO_THROW(desktop.OpenFolder("/tmp"));
  EXPECT_NE(desktop.LastError().find("missing"), std::string::npos) << desktop.LastError();
  EXPECT_FALSE(desktop.StartPowerOff());
  EXPECT_FALSE(OpenFolder("/tmp", "kavro-no-such-program-in-path"));
}

TEST_F(DesktopActionsTest, AFinishedProgramLeavesNoZombie) {
  std::string failure;
  const pid_t pid = StartDetached({Script, "x"}, failure);
  ASSERT_GT(pid, 0) << failure;
  ASSERT_EQ(Arguments(), "x\n");
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
