/* A frame hook module whose loading crashes, as a broken one does: the engine must refuse it without
   going down with it. */
#include <signal.h>

__attribute__((constructor)) static void CrashOnLoad(void) {
  raise(SIGSEGV);
}

int Process(void* context, void* picture, int format, int width, int height, long long pts) {
  (void)context, (void)picture, (void)format, (void)width, (void)height, (void)pts;
  return 0;
}
