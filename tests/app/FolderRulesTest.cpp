// Which folders the picker lets go: the system's special folders never, however written or reached,
// and folders of read-only mounts not even when they are not made yet.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "FolderRules.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace kavro::test {
namespace {

TEST(FolderRulesTest, SpecialFoldersAreKnownHoweverWrittenOrReached) {
  for (const char* folder : {"/proc", "/sys", "/dev", "/run", "/proc/", "//sys", "/dev/.", "/tmp/../run"})
    EXPECT_TRUE(IsSpecialFolder(folder)) << folder;
  for (const char* folder : {"", "/", "/tmp", "/proc/self", "/dev/shm", "/running"})
    EXPECT_FALSE(IsSpecialFolder(folder)) << folder;
  TScratchFolder scratch("special-link");
  std::filesystem::create_directory_symlink("/proc", scratch.File("kernel"));
  EXPECT_TRUE(IsSpecialFolder(scratch.File("kernel")));
  EXPECT_FALSE(IsSpecialFolder(scratch.Path()));
}

// In a child with a mount namespace of its own (and a user namespace when not root): a read-only
// tmpfs on the folder, and the rule asked about it. 0 passed, 77 no namespace, else failures.
int CheckPrivateReadOnlyMount(const std::string& folder) {
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(77);
    // Keep the mount from spreading to the namespace this one was copied from.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    if (mount("none", folder.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0) _exit(77);
    _exit(!IsOnReadOnlyMount(folder) + !IsOnReadOnlyMount(folder + "/not/made/yet") +
          IsOnReadOnlyMount(std::filesystem::path(folder).parent_path()));
  }
  int status = 0;
  while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 77;
}

TEST(FolderRulesTest, OnlyFoldersOfReadOnlyMountsAreReadOnly) {
  TScratchFolder scratch("read-only");
  EXPECT_FALSE(IsOnReadOnlyMount(scratch.Path()));
  EXPECT_FALSE(IsOnReadOnlyMount(scratch.File("not/made/yet")));
  EXPECT_FALSE(IsOnReadOnlyMount(""));
  std::filesystem::create_directory(scratch.File("disc"));
  const int failures = CheckPrivateReadOnlyMount(scratch.File("disc"));
  if (failures == 77) GTEST_SKIP() << "no private mount namespace allowed here";
  EXPECT_EQ(failures, 0);
}

} // namespace
} // namespace kavro::test
