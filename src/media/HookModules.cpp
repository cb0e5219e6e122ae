#include "HookModules.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace kavro {
namespace {

std::mutex GModulesLock;               // guards GModules: tasks of the process share the loaded modules
std::map<std::string, void*> GModules; // file name exactly as given → module handle

// Loads the module once per process. The name is used as given: a path opens that very file, whose
// own dependencies come from its run path; the working folder and PATH of a process whose other
// threads are running are left alone. Names differing in case are different files.
void* LoadModule(const std::string& fileName) {
  std::lock_guard lock(GModulesLock);
  if (const auto found = GModules.find(fileName); found != GModules.end()) return found->second;
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
