// kavro-hook-check MODULE [SECONDS]: loads a frame hook module in a process of its own and ends, so
// the engine learns whether loading it crashes before it loads it into a process that is converting.
// Exit 0: it loads; 2: the loader refused it (the reason on stderr); a signal: it crashed, or
// SIGALRM: it did not load within SECONDS. The limit holds even where the caller cannot time its
// wait for this process.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: kavro-hook-check MODULE [SECONDS]\n");
    return 2;
  }
  if (argc == 3) alarm(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
  if (!dlopen(argv[1], RTLD_NOW | RTLD_LOCAL)) {
    const char* failure = dlerror();
    std::fprintf(stderr, "%s\n", failure ? failure : "cannot load module");
    return 2;
  }
  return 0;
}
