// The library loader with the libraries linked at build time.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"

extern "C" {
#include <libavcodec/version.h>
#include <libavutil/log.h>
}

namespace kavro::test {
namespace {

TEST(Loader, SetsLoadOnceAndUnloadByMember) {
  TFFmpegLoader& loader = TFFmpegLoader::Instance();
  ASSERT_TRUE(loader.LoadLibs(EngineLibSet));
  EXPECT_TRUE(loader.LoadLibs(EngineLibSet));
  EXPECT_TRUE(loader.LibsLoaded(EngineLibSet));
  EXPECT_FALSE(loader.LibLoaded(liAVDevice)); // in neither set
  loader.UnloadLib(liSWScale);
  EXPECT_FALSE(loader.LibsLoaded(EngineLibSet));
  EXPECT_TRUE(loader.LibLoaded(liAVCodec));
  ASSERT_TRUE(loader.LoadLibs(PlayerLibSet));
  EXPECT_TRUE(loader.LibsLoaded(EngineLibSet));
  EXPECT_TRUE(loader.LibLoaded(liSDL));
  EXPECT_EQ(loader.LastError(), "");
}

TEST(Loader, FileNamesFollowTheLinkedLibraries) {
  TFFmpegLoader& loader = TFFmpegLoader::Instance();
  EXPECT_EQ(loader.LibraryFileName(liAVCodec), L"libavcodec.so." + std::to_wstring(LIBAVCODEC_VERSION_MAJOR));
  loader.SetLibraryFileName(liAVCodec, L"/opt/custom/libavcodec.so");
  EXPECT_EQ(loader.LibraryFileName(liAVCodec), L"/opt/custom/libavcodec.so");
  loader.SetLibraryFileName(liAVCodec, L"");
  EXPECT_EQ(loader.LibraryFileName(liSDL), L"libSDL2-2.0.so.0");
  loader.SetLibraryPath(L"LibAV");
  EXPECT_EQ(loader.LibraryPath(), L"LibAV");
}

TEST(Loader, RoutesLibraryLogToTheBridge) {
  ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
  std::string received;
  TFFLogger::Instance().SetOnLog(
      [&](TObject*, uint32_t, TLogLevel, const std::string& line) { received = line; });
  av_log(nullptr, AV_LOG_ERROR, "through the bridge\n");
  TFFLogger::Instance().SetOnLog(nullptr);
  EXPECT_EQ(received, "through the bridge");
}

// The process starts with traps on and double precision, unlike the platform's default, so the test
// below sees what the loader changes and not what it finds. Before main, as a program's own start-up
// code could do; the tests of this file that run first create the loader themselves.
const bool TrapsOnAtStart = [] {
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
#if defined(__x86_64__) || defined(__i386__)
  uint16_t control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control = static_cast<uint16_t>((control & ~0x0300) | 0x0200); // 53-bit precision
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
  return true;
}();

TEST(Loader, FloatingPointExceptionsAreMasked) {
  ASSERT_TRUE(TrapsOnAtStart);
  TFFmpegLoader::Instance();
  EXPECT_EQ(fegetexcept(), 0);
#if defined(__x86_64__) || defined(__i386__)
  uint16_t control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  EXPECT_EQ(control & 0x0F3F, 0x033F); // all masked, 64-bit precision, round to nearest
#endif
  volatile double zero = 0.0;
  EXPECT_TRUE(std::isinf(1.0 / zero));
}

TEST(Loader, CodecLockIsOneRecursiveLock) {
  auto& lock = TFFmpegLoader::Instance().CodecLock();
  EXPECT_EQ(&lock, &TFFmpegLoader::Instance().CodecLock());
  std::lock_guard outer(lock);
  std::lock_guard inner(lock);
}

} // namespace
} // namespace kavro::test
