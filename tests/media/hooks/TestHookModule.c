/* A frame hook module for the tests: paints a block of the given brightness into the top-left corner
   of the luma plane. Built three times: whole, without Process and without Configure. With the words
   "failref N" after the brightness, the N-th call asks the test program to fail the next picture
   reference made on the worker. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef struct {
  uint8_t* data[4];
  int linesize[4];
} TPicture;

typedef struct {
  int Brightness;
  int FailReferenceAt;
  int Calls;
} TContext;

#ifndef KAVRO_NO_CONFIGURE
int Configure(void** context, int argc, char* argv[]) {
  TContext* state = calloc(1, sizeof(TContext));
  if (!state) return -1;
  state->Brightness = argc > 1 ? atoi(argv[1]) : 255;
  if (argc > 2 && strcmp(argv[2], "fail") == 0) {
    free(state);
    return -1;
  }
  if (argc > 3 && strcmp(argv[2], "failref") == 0) state->FailReferenceAt = atoi(argv[3]);
  *context = state;
  return 0;
}
#endif

#ifndef KAVRO_NO_PROCESS
void Process(void* context, TPicture* picture, int pixelFormat, int width, int height, int64_t pts) {
  TContext* state = context;
  const int brightness = state ? state->Brightness : 255;
  if (state && ++state->Calls == state->FailReferenceAt) {
    void (*failNext)(void) = NULL;
    *(void**)&failNext = dlsym(RTLD_DEFAULT, "KavroFailNextPictureReference"); /* POSIX's way to a function */
    if (failNext) failNext();
  }
  (void)pixelFormat;
  (void)pts;
  for (int y = 0; y < 32 && y < height; ++y)
    memset(picture->data[0] + y * picture->linesize[0], brightness, width < 32 ? width : 32);
}
#endif

void Release(void* context) {
  free(context);
}

/* The working folder of the process while the module was being loaded, for the loader's tests. */
static char LoadFolderText[4096];

__attribute__((constructor)) static void RememberLoadFolder(void) {
  if (!getcwd(LoadFolderText, sizeof LoadFolderText)) LoadFolderText[0] = 0;
}

const char* LoadFolder(void) {
  return LoadFolderText;
}
