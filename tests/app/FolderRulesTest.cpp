// Which folders the picker lets go: the system's special folders never, however they are written or
// reached, and folders of read-only mounts not even when they do not exist yet.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "FolderRules.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kavro::test {
namespace {

TEST(FolderRulesTest, SpecialFoldersAreKnownHoweverWritten) {
  for (const char* folder : {"/proc", "/sys", "/dev", "/run", "/proc/", "//sys", "/dev/.", "/tmp/../run"})
    EXPECT_TRUE(IsSpecialFolder(folder)) << folder;
  for (const char* folder : {"", "/", "/tmp", "/home", "/proc/self", "/dev/shm", "/running", "/pro"})
    EXPECT_FALSE(IsSpecialFolder(folder)) << folder;
}

TEST(FolderRulesTest, ALinkToASpecialFolderIsSpecialToo) {
  TScratchFolder scratch("special-link");
  const std::string link = scratch.File("kernel");
  std::filesystem::create_directory_symlink("/proc", link);
  EXPECT_TRUE(IsSpecialFolder(link));
  EXPECT_FALSE(IsSpecialFolder(scratch.Path()));
}

TEST(FolderRulesTest, WritableFoldersAreNotReadOnly) {
  TScratchFolder scratch("writable");
  EXPECT_FALSE(IsOnReadOnlyMount(scratch.Path()));
  EXPECT_FALSE(IsOnReadOnlyMount(scratch.File("not/made/yet")));
  EXPECT_FALSE(IsOnReadOnlyMount(""));
}

// Child exit codes of the private-mount check.
constexpr int ChildPassed = 0;
constexpr int ChildNoMount = 77;

// In a child with a mount namespace of its own (a user namespace too when not root), mounts a
// read-only tmpfs on the folder and asks the rule about it; nothing leaves the child.
int CheckPrivateReadOnlyMount(const std::string& folder) {
  const pid_t child = fork();
  if (child < 0) return ChildNoMount;
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(ChildNoMount);
    // Keep the mount from spreading to the namespaces this one was copied from.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(ChildNoMount);
    if (mount("none", folder.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0) _exit(ChildNoMount);
    int failures = 0;
    failures += !IsOnReadOnlyMount(folder);
    failures += !IsOnReadOnlyMount(folder + "/not/made/yet");
    failures += IsOnReadOnlyMount(std::filesystem::path(folder).parent_path().string());
    _exit(failures == 0 ? ChildPassed : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

// A read-only mount the machine already has, from the mount table; empty when there is none.
std::string ReadOnlyMountOfTheMachine() {
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, point, type, options;
    fields >> device >> point >> type >> options;
    if ((options == "ro" || options.rfind("ro,", 0) == 0) && std::filesystem::is_directory(point))
      return point;
  }
  return {};
}

TEST(FolderRulesTest, AFolderOfAReadOnlyMountIsRefused) {
  TScratchFolder scratch("read-only");
  const std::string folder = scratch.File("disc");
  std::filesystem::create_directory(folder);
  const int result = CheckPrivateReadOnlyMount(folder);
  if (result == ChildPassed) return;
  ASSERT_EQ(result, ChildNoMount) << "a read-only tmpfs was not seen as read-only";
  const std::string machineMount = ReadOnlyMountOfTheMachine();
  if (machineMount.empty())
    GTEST_SKIP() << "no mount namespace allowed and no read-only mount on this machine";
  EXPECT_TRUE(IsOnReadOnlyMount(machineMount)) << machineMount;
}

} // namespace
} // namespace kavro::test
