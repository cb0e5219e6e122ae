// kavro-hook-check MODULE: loads a frame hook module in a process of its own and ends, so the engine
// learns whether loading it crashes before it loads it into a process that is converting.
// Exit 0: it loads; 2: the loader refused it (the reason on stderr); a signal: it crashed.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kavro-hook-check MODULE\n");
    return 2;
  }
  if (!dlopen(argv[1], RTLD_NOW | RTLD_LOCAL)) {
    const char* failure = dlerror();
    std::fprintf(stderr, "%s\n", failure ? failure : "cannot load module");
    return 2;
  }
  return 0;
}
