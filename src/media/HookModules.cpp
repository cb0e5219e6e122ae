#include "HookModules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/Convert.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace kavro {
namespace {

std::mutex GModulesLock;               // guards GModules: tasks of the process share the loaded modules
std::map<std::string, void*> GModules; // file name in lower case → module handle

std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Loads the module with its own folder first in the search path, once per process.
void* LoadModule(const std::string& fileName) {
  std::lock_guard lock(GModulesLock);
  const std::string key = LowerCase(fileName);
  if (const auto found = GModules.find(key); found != GModules.end()) return found->second;
  const size_t slash = fileName.rfind('/');
  char saved[PATH_MAX] = "";
  const bool hasFolder = slash != std::string::npos && getcwd(saved, sizeof saved);
  if (hasFolder) {
    const std::string folder = fileName.substr(0, slash == 0 ? 1 : slash);
    if (chdir(folder.c_str()) == 0) {
      const char* path = std::getenv("PATH");
      const std::string oldPath = path ? path : "";
      if (UpperCase(oldPath).find(UpperCase(folder)) == std::string::npos)
        setenv("PATH", (folder + ":" + oldPath).c_str(), 1);
    }
  }
  void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  const char* failure = module ? nullptr : dlerror();
  if (hasFolder && chdir(saved) != 0) {
    // The folder we came from is gone; nothing to go back to.
  }
  if (!module) {
    av_log(nullptr, AV_LOG_ERROR, "%s\n", failure ? failure : "cannot load module");
    return nullptr;
  }
  GModules[key] = module;
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
