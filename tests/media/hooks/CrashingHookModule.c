/* A frame hook module whose loading crashes, as a broken one does, or with KAVRO_HOOK_HANG set never
   ends: the engine must refuse it without going down or waiting with it. */
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void CrashOnLoad(void) {
  if (getenv("KAVRO_HOOK_HANG"))
    for (;;)
      pause();
  raise(SIGSEGV);
}

int Process(void* context, void* picture, int format, int width, int height, long long pts) {
  (void)context, (void)picture, (void)format, (void)width, (void)height, (void)pts;
  return 0;
}
