// Where the bytes of one output file go. A regular file (new, or one that exists) is written under
// a temporary name in its own folder and renamed over its name only once the run has succeeded, so
// a failed run leaves the old file as it was and a new name never shows a half-made file (it is
// taken at once by an empty file, removed again when the run fails). Devices,
// pipes, protocols and numbered image sequences are written directly. While it is written, the file
// it will replace is locked against a second writer. Owned by one output file; the owner's thread
// opens it, the task's run writes, commits and closes it.
#pragma once

#include <sys/types.h>

#include <string>

struct AVFormatContext;
struct AVIOContext;

namespace kavro {

class TOutputTarget {
public:
  TOutputTarget() = default;
  TOutputTarget(const TOutputTarget&) = delete;
  TOutputTarget& operator=(const TOutputTarget&) = delete;
  // Discards what was never committed.
  ~TOutputTarget();

  // Opens the context's I/O for the output URL; a negative library error code on failure.
  int Open(AVFormatContext* context, const std::string& url);
  // Flushes and closes the I/O; a negative library error code when writing failed.
  int Close(AVFormatContext* context);
  // Puts the written file in place of the final name (the I/O is closed by then); a negative
  // library error code when that fails, the temporary file is then gone and the old file stays.
  int Commit();
  // Deletes a temporary file that was not committed, and the empty file that held a new name, and
  // lets go of the lock.
  void Discard();

  // Whether fileName (a name in the output's own folder) is one under which an output named finalName
  // is written while its run lasts: what a run that never ended can have left behind.
  static bool IsTemporaryName(const std::string& finalName, const std::string& fileName);

  // The path on disk of the final name (empty for protocols).
  const std::string& FinalPath() const { return FFinalPath; }
  // The path being written while the run lasts: the temporary file, or the final path.
  const std::string& WritePath() const { return FTemporaryPath.empty() ? FFinalPath : FTemporaryPath; }

private:
  int OpenTemporary(const std::string& target);
  void Unlock();

  std::string FUrl;
  std::string FFinalPath;
  std::string FTemporaryPath; // empty when written directly
  std::string FReplacedPath;  // what the rename replaces: the final path, or where its link points
  std::string FPlaceholder;   // the empty file made to hold a new name, until the rename replaces it
  bool FOwnIO = false;        // the I/O is a TUnicodeFile context, not one of the libraries' protocols
  int FLock = -1;             // a handle of the file being replaced, holding the writers' lock
  // The regular file written in place, as opened: at the end it must still be the one at its path.
  dev_t FInPlaceDevice = 0;
  ino_t FInPlaceInode = 0;
};

} // namespace kavro
