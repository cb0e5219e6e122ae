#include "DesktopActions.h"

#include "FFmpegLogger.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace kavro {
namespace {

// Frees the spawn set-up on every way out.
struct TSpawnSetup {
  TSpawnSetup() {
    posix_spawnattr_init(&Attributes);
    posix_spawn_file_actions_init(&Actions);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
  }
  posix_spawnattr_t Attributes;
  posix_spawn_file_actions_t Actions;
};

// A folder name that begins with "-" would read as an option of the file manager.
std::string FolderArgument(const std::string& folder) {
  return !folder.empty() && folder.front() == '-' ? "./" + folder : folder;
}

} // namespace

pid_t StartDetached(const std::vector<std::string>& arguments, std::string& failure) {
  failure.clear();
  if (arguments.empty() || arguments.front().empty()) {
    failure = "No program to start";
    return -1;
  }
  TSpawnSetup setup;
  // The child gets a clean signal state of its own (the program may block or ignore signals in
  // its threads), its own process group so the terminal's Ctrl+C stays ours, and no terminal input.
  sigset_t noSignals, defaults;
  sigemptyset(&noSignals);
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD})
    sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&setup.Attributes, &noSignals);
  posix_spawnattr_setsigdefault(&setup.Attributes, &defaults);
  posix_spawnattr_setpgroup(&setup.Attributes, 0);
  posix_spawnattr_setflags(&setup.Attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  posix_spawn_file_actions_addopen(&setup.Actions, 0, "/dev/null", O_RDONLY, 0);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0], &setup.Actions, &setup.Attributes, argv.data(), environ);
  if (error != 0) {
    failure = "Cannot start " + arguments.front() + ": " + std::strerror(error);
    return -1;
  }
  try {
    std::thread([pid] {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // The program runs; only its exit status stays unread until we exit.
  }
  return pid;
}

bool OpenFolder(const std::string& folder, const std::string& program) {
  return folder.size() > 2 && TDesktopActions(program).StartOpenFolder(folder);
}

TDesktopActions::TDesktopActions(std::string openProgram, std::string powerOffProgram)
    : FOpenProgram(std::move(openProgram)), FPowerOffProgram(std::move(powerOffProgram)) {}

bool TDesktopActions::StartOpenFolder(const std::string& folder) {
  return Start({FOpenProgram, FolderArgument(folder)});
}

bool TDesktopActions::StartPowerOff() {
  return Start({FPowerOffProgram, "poweroff"});
}

std::string TDesktopActions::LastError() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FLastError;
}

bool TDesktopActions::Start(const std::vector<std::string>& arguments) {
  std::string failure;
  const bool started = StartDetached(arguments, failure) >= 0;
  if (!started) TFFLogger::Instance().Log(nullptr, llWarning, failure);
  std::lock_guard<std::mutex> lock(FLock);
  FLastError = failure;
  return started;
}

} // namespace kavro
