// The process's library loader. The media libraries and SDL are linked at build time; the loader
// keeps their table and status, runs the one-time registration steps, routes the libraries' log to
// the log bridge, and owns the process-wide codec lock. Loading and unloading happen in the main
// thread before tasks run; the codec lock is taken from any thread.
#pragma once

#include <cfenv>
#include <cstdint>
#include <mutex>
#include <string>

namespace kavro {

enum TLibraryIndex { liAVCodec, liAVDevice, liAVFilter, liAVFormat, liAVUtil, liSWScale, liCRuntime, liSDL };
constexpr int LibraryCount = 8;

// A set of libraries, one bit per index.
using TLibrarySet = uint8_t;
constexpr TLibrarySet LibBit(TLibraryIndex index) {
  return static_cast<TLibrarySet>(1u << index);
}
constexpr TLibrarySet EngineLibSet = LibBit(liAVCodec) | LibBit(liAVFilter) | LibBit(liAVFormat) |
                                     LibBit(liAVUtil) | LibBit(liSWScale) | LibBit(liCRuntime);
constexpr TLibrarySet PlayerLibSet = EngineLibSet | LibBit(liSDL);

struct TLibraryInfo {
  const char* Name;   // base name
  int Version;        // major version in the file name; -1 for none
  const char* Soname; // the file this build is linked against
};
const TLibraryInfo& LibraryInfo(TLibraryIndex index);

class TFFmpegLoader {
public:
  static TFFmpegLoader& Instance();

  void SetLibraryPath(const std::wstring& folder);
  std::wstring LibraryPath() const;
  // An explicit file name for one library; empty restores the naming rule.
  void SetLibraryFileName(TLibraryIndex index, const std::wstring& fileName);
  // The explicit file name, else lib<name>.so.<version> (the linked file).
  std::wstring LibraryFileName(TLibraryIndex index) const;
  std::string LastError() const;

  // True when every member is ready. The registration steps run once per process.
  bool LoadLibs(TLibrarySet libs);
  bool LibLoaded(TLibraryIndex index) const;
  bool LibsLoaded(TLibrarySet libs) const;
  void UnloadLib(TLibraryIndex index);
  void UnloadLibs(TLibrarySet libs);

  // Held around every codec open and close and every stream-information read: the codec library's
  // open and close are not safe to run concurrently. Recursive, as a close may run inside an open's
  // failure path.
  std::recursive_mutex& CodecLock() { return FCodecLock; }

  ~TFFmpegLoader();

private:
  TFFmpegLoader();
  bool LoadLib(TLibraryIndex index);
  bool BindLib(TLibraryIndex index);

  mutable std::mutex FLock; // guards the status table, folder and error text
  bool FBound[LibraryCount] = {};
  bool FRegistered[LibraryCount] = {};
  std::wstring FFileNames[LibraryCount];
  std::wstring FLibraryPath;
  std::string FLastError;
  std::recursive_mutex FCodecLock;
  std::fenv_t FSavedFPEnv;
};

} // namespace kavro
