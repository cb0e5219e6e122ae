#include "FFmpegLoader.h"

#include <gnu/libc-version.h>

#include <cassert>

#include "FFmpegLogger.h"
#include "UnicodeProtocol.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <SDL2/SDL.h>

namespace kavro {
namespace {

#define KAVRO_STR2(x) #x
#define KAVRO_STR(x) KAVRO_STR2(x)

const TLibraryInfo Libraries[LibraryCount] = {
    {"avcodec", LIBAVCODEC_VERSION_MAJOR, "libavcodec.so." KAVRO_STR(LIBAVCODEC_VERSION_MAJOR)},
    {"avdevice", LIBAVDEVICE_VERSION_MAJOR, "libavdevice.so." KAVRO_STR(LIBAVDEVICE_VERSION_MAJOR)},
    {"avfilter", LIBAVFILTER_VERSION_MAJOR, "libavfilter.so." KAVRO_STR(LIBAVFILTER_VERSION_MAJOR)},
    {"avformat", LIBAVFORMAT_VERSION_MAJOR, "libavformat.so." KAVRO_STR(LIBAVFORMAT_VERSION_MAJOR)},
    {"avutil", LIBAVUTIL_VERSION_MAJOR, "libavutil.so." KAVRO_STR(LIBAVUTIL_VERSION_MAJOR)},
    {"swscale", LIBSWSCALE_VERSION_MAJOR, "libswscale.so." KAVRO_STR(LIBSWSCALE_VERSION_MAJOR)},
    {"c", 6, "libc.so.6"},
    {"SDL2-2.0", 0, "libSDL2-2.0.so.0"},
};

// Major version of the library this process actually runs with, against the one it was built for.
struct TRuntimeVersion {
  unsigned Found;
  unsigned Expected;
};

TRuntimeVersion RuntimeVersion(TLibraryIndex index) {
  switch (index) {
  case liAVCodec:
    return {avcodec_version() >> 16, LIBAVCODEC_VERSION_MAJOR};
  case liAVDevice:
    return {avdevice_version() >> 16, LIBAVDEVICE_VERSION_MAJOR};
  case liAVFilter:
    return {avfilter_version() >> 16, LIBAVFILTER_VERSION_MAJOR};
  case liAVFormat:
    return {avformat_version() >> 16, LIBAVFORMAT_VERSION_MAJOR};
  case liAVUtil:
    return {avutil_version() >> 16, LIBAVUTIL_VERSION_MAJOR};
  case liSWScale:
    return {swscale_version() >> 16, LIBSWSCALE_VERSION_MAJOR};
  case liCRuntime:
    return {gnu_get_libc_version() ? 6u : 0u, 6u};
  case liSDL: {
    SDL_version linked;
    SDL_GetVersion(&linked);
    return {linked.major, SDL_MAJOR_VERSION};
  }
  }
  return {0, 1};
}

// The audio conversion of the codec library moved to swresample; it is bound with avcodec.
bool ResampleLibraryMatches() {
  return (swresample_version() >> 16) == LIBSWRESAMPLE_VERSION_MAJOR;
}

// Created with the unit, before anything else of the media layer runs.
[[maybe_unused]] TFFmpegLoader& GLoaderAtStart = TFFmpegLoader::Instance();

} // namespace

const TLibraryInfo& LibraryInfo(TLibraryIndex index) {
  return Libraries[index];
}

TFFmpegLoader& TFFmpegLoader::Instance() {
  static TFFmpegLoader loader;
  return loader;
}

// The media libraries rely on floating-point operations never trapping: mask every exception for
// the life of the process (x87: all masked, 64-bit precision, round to nearest) and restore the
// caller's state at the end.
TFFmpegLoader::TFFmpegLoader() {
  std::feholdexcept(&FSavedFPEnv); // saves the whole environment, then masks every exception
  std::fesetround(FE_TONEAREST);
#if defined(__x86_64__) || defined(__i386__)
  const uint16_t control = 0x133F;
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
}

TFFmpegLoader::~TFFmpegLoader() {
  std::fesetenv(&FSavedFPEnv);
}

void TFFmpegLoader::SetLibraryPath(const std::wstring& folder) {
  std::lock_guard lock(FLock);
  FLibraryPath = folder;
}

std::wstring TFFmpegLoader::LibraryPath() const {
  std::lock_guard lock(FLock);
  return FLibraryPath;
}

void TFFmpegLoader::SetLibraryFileName(TLibraryIndex index, const std::wstring& fileName) {
  std::lock_guard lock(FLock);
  FFileNames[index] = fileName;
}

std::wstring TFFmpegLoader::LibraryFileName(TLibraryIndex index) const {
  std::lock_guard lock(FLock);
  if (!FFileNames[index].empty()) return FFileNames[index];
  return NarrowToWide(Libraries[index].Soname);
}

std::string TFFmpegLoader::LastError() const {
  std::lock_guard lock(FLock);
  return FLastError;
}

bool TFFmpegLoader::BindLib(TLibraryIndex index) {
  const TRuntimeVersion version = RuntimeVersion(index);
  if (version.Found != version.Expected || (index == liAVCodec && !ResampleLibraryMatches())) {
    const std::string fileName = WideToNarrow(LibraryFileName(index));
    std::lock_guard lock(FLock);
    FLastError = Format("Load library %s error: %s", fileName.c_str(),
                        Format("version %u found, %u expected", version.Found, version.Expected).c_str());
    return false;
  }
  if (!FRegistered[index]) {
    if (index == liAVDevice) avdevice_register_all();
    FRegistered[index] = true;
  }
  return true;
}

bool TFFmpegLoader::LoadLib(TLibraryIndex index) {
  {
    std::lock_guard lock(FLock);
    if (FBound[index]) return true;
  }
  if (!BindLib(index)) return false;
  {
    std::lock_guard lock(FLock);
    FBound[index] = true;
  }
  if (index == liAVUtil) TFFLogger::InstallLibraryCallback();
  if (index == liAVFormat) RegisterUnicodeProtocol();
  return true;
}

bool TFFmpegLoader::LoadLibs(TLibrarySet libs) {
  assert(libs != 0 && "an empty library set");
  for (int i = 0; i < LibraryCount; ++i) {
    const auto index = static_cast<TLibraryIndex>(i);
    if ((libs & LibBit(index)) && !LoadLib(index)) {
      UnloadLibs(libs);
      return false;
    }
  }
  return true;
}

bool TFFmpegLoader::LibLoaded(TLibraryIndex index) const {
  std::lock_guard lock(FLock);
  return FBound[index];
}

bool TFFmpegLoader::LibsLoaded(TLibrarySet libs) const {
  assert(libs != 0 && "an empty library set");
  std::lock_guard lock(FLock);
  for (int i = 0; i < LibraryCount; ++i)
    if ((libs & LibBit(static_cast<TLibraryIndex>(i))) && !FBound[i]) return false;
  return true;
}

void TFFmpegLoader::UnloadLib(TLibraryIndex index) {
  bool wasBound;
  {
    std::lock_guard lock(FLock);
    wasBound = FBound[index];
    FBound[index] = false;
  }
  if (wasBound && index == liAVUtil) av_log_set_callback(av_log_default_callback);
}

void TFFmpegLoader::UnloadLibs(TLibrarySet libs) {
  for (int i = 0; i < LibraryCount; ++i)
    if (libs & LibBit(static_cast<TLibraryIndex>(i))) UnloadLib(static_cast<TLibraryIndex>(i));
}

} // namespace kavro
