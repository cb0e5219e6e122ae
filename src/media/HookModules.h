// Frame hook modules: shared libraries named by option vhook, each with the entry points Configure,
// Process and Release, chained per task and called with every decoded picture. A module is loaded
// once per process and stays loaded. The chain is built on the owner's thread while options are
// applied and called on the worker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AVFrame;

namespace kavro {

// The picture a module receives: four plane pointers and four line sizes.
struct THookPicture {
  uint8_t* Data[4];
  int LineSize[4];
};

using THookConfigure = int (*)(void** context, int argumentCount, char* arguments[]);
using THookProcess = void (*)(void* context, THookPicture* picture, int pixelFormat, int width, int height,
                              int64_t pts);
using THookRelease = void (*)(void* context);

struct THookEntry {
  THookConfigure Configure = nullptr;
  THookProcess Process = nullptr;
  THookRelease Release = nullptr;
  void* Context = nullptr;
};

using THookChain = std::vector<THookEntry>;

// 0, or -1 (the module cannot be loaded), -2 (no argument or an entry point missing), -12 (out of
// memory), -22 (Configure failed). Argument 0 is the module's file name.
int AddHookModule(THookChain& chain, const std::vector<std::string>& arguments);
void ProcessHookModules(THookChain& chain, AVFrame* picture, int64_t pts);
// Calls Release of every entry in order and empties the chain.
void ReleaseHookModules(THookChain& chain);

} // namespace kavro
