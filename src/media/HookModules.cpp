#include "HookModules.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/ProgramPaths.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace kavro {
namespace {

std::mutex GModulesLock;               // guards GModules: tasks of the process share the loaded modules
std::map<std::string, void*> GModules; // file name exactly as given → module handle

extern "C" char** environ;

// How long a trial load may take before the module counts as hanging.
constexpr int TrialMilliseconds = 10000;

// The program that tries a module in a process of its own: beside the running program, or where
// an installed one keeps it; empty when there is none (the module is then loaded without a trial).
std::string TrialProgram() {
  for (const std::string& path :
       {ProgramFolder() + "kavro-hook-check", ProgramFolder() + "../libexec/kavro/kavro-hook-check"})
    if (access(path.c_str(), X_OK) == 0) return path;
  return {};
}

// Loads the module in a process of its own first: a module whose loading crashes or hangs would
// take the whole converting process with it. True when it loaded there, or could not be tried.
bool TrialLoad(const std::string& fileName) {
  const std::string program = TrialProgram();
  if (program.empty()) return true;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::string seconds = std::to_string(TrialMilliseconds / 1000);
  const char* arguments[] = {program.c_str(), fileName.c_str(), seconds.c_str(), nullptr};
  pid_t child = -1;
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(arguments), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return true;
  // The child's end is waited for through a descriptor, so the wait has a limit and spins nowhere;
  // where the kernel gives none, the child's own alarm ends it at the same limit.
  const int handle = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  bool ended = true;
  if (handle >= 0) {
    pollfd watch{handle, POLLIN, 0};
    ended = poll(&watch, 1, TrialMilliseconds) > 0;
    close(handle);
  }
  if (!ended) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended || (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)) {
    av_log(nullptr, AV_LOG_ERROR, "%s did not finish loading within %d seconds; it is not used\n",
           fileName.c_str(), TrialMilliseconds / 1000);
    return false;
  }
  // 0: it loaded; 2: the loader refused it, which loading it here says again in its own words. Any
  // other end is a crash (a sanitizer reports one with an exit code of its own).
  if (WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2)) return true;
  const std::string how =
      WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "exit code " + std::to_string(WEXITSTATUS(status));
  av_log(nullptr, AV_LOG_ERROR, "%s crashed while it was loaded (%s); it is not used\n", fileName.c_str(),
         how.c_str());
  return false;
}

// Loads the module once per process. The name is used as given: a path opens that very file, whose
// own dependencies come from its run path; the working folder and PATH of a process whose other
// threads are running are left alone. Names differing in case are different files.
void* LoadModule(const std::string& fileName) {
  std::lock_guard lock(GModulesLock);
  if (const auto found = GModules.find(fileName); found != GModules.end()) return found->second;
  if (!TrialLoad(fileName)) return nullptr;
  void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* failure = dlerror();
    av_log(nullptr, AV_LOG_ERROR, "%s\n", failure ? failure : "cannot load module");
    return nullptr;
  }
  GModules[fileName] = module;
  return module;
}

} // namespace

int AddHookModule(THookChain& chain, const std::vector<std::string>& arguments) {
  if (arguments.empty()) return -2;
  const std::string& fileName = arguments[0];
  void* module = LoadModule(fileName);
  if (!module) return -1;
  THookEntry entry;
  entry.Configure = reinterpret_cast<THookConfigure>(dlsym(module, "Configure"));
  entry.Process = reinterpret_cast<THookProcess>(dlsym(module, "Process"));
  entry.Release = reinterpret_cast<THookRelease>(dlsym(module, "Release"));
  if (!entry.Process) {
    av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", fileName.c_str());
    return -2;
  }
  if (!entry.Configure && arguments.size() > 1) {
    av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", fileName.c_str());
    return -2;
  }
  if (entry.Configure) {
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv;
    for (std::string& argument : copies)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (entry.Configure(&entry.Context, static_cast<int>(copies.size()), argv.data()) != 0) {
      av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", fileName.c_str());
      return -22;
    }
  }
  chain.push_back(entry);
  return 0;
}

void ProcessHookModules(THookChain& chain, AVFrame* picture, int64_t pts) {
  THookPicture hookPicture;
  for (int i = 0; i < 4; ++i) {
    hookPicture.Data[i] = picture->data[i];
    hookPicture.LineSize[i] = picture->linesize[i];
  }
  for (THookEntry& entry : chain)
    entry.Process(entry.Context, &hookPicture, picture->format, picture->width, picture->height, pts);
}

void ReleaseHookModules(THookChain& chain) {
  for (THookEntry& entry : chain)
    if (entry.Release) entry.Release(entry.Context);
  chain.clear();
}

} // namespace kavro
