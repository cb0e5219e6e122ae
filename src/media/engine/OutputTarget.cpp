#include "engine/OutputTarget.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "UnicodeProtocol.h"
#include "platform/WideString.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace kavro {
namespace {

// The path on disk an output URL names; empty for a protocol of the libraries.
std::string LocalPath(const std::string& url) {
  if (IsUnicodeURL(url)) return WideToUtf8(URLToFileName(url));
  const char* protocol = avio_find_protocol_name(url.c_str());
  if (!protocol || std::string(protocol) != "file" || url.starts_with("file:")) return {};
  return url;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

TOutputTarget::~TOutputTarget() {
  Discard();
}

int TOutputTarget::Open(AVFormatContext* context, const std::string& url) {
  FUrl = url;
  FFinalPath = LocalPath(url);
  if (FFinalPath.empty()) return avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE);
  struct stat info;
  const bool exists = lstat(FFinalPath.c_str(), &info) == 0;
  std::string target = FFinalPath;
  if (exists && S_ISLNK(info.st_mode)) {
    // The link stays a link: its file is the one replaced.
    char resolved[PATH_MAX];
    if (realpath(FFinalPath.c_str(), resolved) && stat(resolved, &info) == 0) target = resolved;
  }
  // A numbered name is a pattern, not one file; devices and pipes are written as they are.
  const bool replaceable = !av_filename_number_test(FFinalPath.c_str()) && (!exists || S_ISREG(info.st_mode));
  if (replaceable) {
    const int result = OpenTemporary(target);
    if (result == AVERROR(EBUSY)) return result;
    if (result == 0) {
      const int opened = TUnicodeFile::OpenIOContext(FTemporaryPath, omWrite, &context->pb);
      if (opened < 0) {
        Discard();
        return opened;
      }
      FOwnIO = true;
      // Muxers that read their own output back (moving an index to the front) open the file by
      // the context's name.
      av_free(context->url);
      context->url = av_strdup(FTemporaryPath.c_str());
      return 0;
    }
    // A folder that takes no new file may still hold a file that can be written: write it in place.
    if (result != AVERROR(EACCES) && result != AVERROR(EPERM) && result != AVERROR(EROFS) &&
        result != AVERROR(ENAMETOOLONG))
      return result;
  }
  if (IsUnicodeURL(url) || !exists || S_ISREG(info.st_mode)) {
    FOwnIO = true;
    const int opened = TUnicodeFile::OpenIOContext(url, omWrite, &context->pb);
    struct stat written;
    if (opened >= 0 && stat(FFinalPath.c_str(), &written) == 0 && S_ISREG(written.st_mode)) {
      FInPlaceDevice = written.st_dev;
      FInPlaceInode = written.st_ino;
    }
    return opened;
  }
  return avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE);
}

int TOutputTarget::OpenTemporary(const std::string& target) {
  struct stat existing;
  bool replaces = stat(target.c_str(), &existing) == 0;
  if (!replaces) {
    // The name is taken at once, as writing it directly would take it: an output named next sees
    // it, and a second writer finds it locked. It stays empty until the run puts the file in place.
    FLock = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    FPlaceholder = FLock >= 0 ? target : std::string();
    if (FLock >= 0)
      flock(FLock, LOCK_EX | LOCK_NB);
    else if (errno != EEXIST)
      return AVERROR(errno);
    else
      replaces = stat(target.c_str(), &existing) == 0;
  }
  // A file the user may not write stays protected, as writing it in place would find.
  if (replaces && access(target.c_str(), W_OK) != 0) return AVERROR(errno);
  if (replaces) {
    // Two writers of one file: the second is told it is busy instead of racing the first.
    FLock = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (FLock >= 0 && flock(FLock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      Unlock();
      return AVERROR(EBUSY);
    }
  }
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(target);
  std::string name = target.substr(folder.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned number =
        counter++ ^ static_cast<unsigned>(time(nullptr)) ^ static_cast<unsigned>(getpid());
    // IsTemporaryName knows these names.
    const std::string path = folder + "." + name + "." + std::to_string(number % 1000000) + ".part";
    TUnicodeFile* file = nullptr;
    const int result = TUnicodeFile::Open(path, omCreateNew, file);
    delete file;
    if (result == AVERROR(EEXIST)) continue;
    if (result < 0) {
      Discard();
      return result;
    }
    if (replaces) {
      // The new file keeps what the old one allowed; an owner we cannot give it stays ours.
      chmod(path.c_str(), existing.st_mode & 07777);
      if (chown(path.c_str(), existing.st_uid, existing.st_gid) != 0) {
        // Only the owner's own files keep their owner; others become the writer's.
      }
    }
    FTemporaryPath = path;
    FReplacedPath = target;
    return 0;
  }
  Discard();
  return AVERROR(EEXIST);
}

// "." + the final name + "." + up to six digits + ".part", as OpenTemporary makes them.
bool TOutputTarget::IsTemporaryName(const std::string& finalName, const std::string& fileName) {
  const std::string start = "." + finalName + ".";
  const std::string end = ".part";
  if (finalName.empty() || fileName.size() <= start.size() + end.size() || !fileName.starts_with(start) ||
      !fileName.ends_with(end))
    return false;
  const std::string number = fileName.substr(start.size(), fileName.size() - start.size() - end.size());
  return number.size() <= 6 && number.find_first_not_of("0123456789") == std::string::npos;
}

int TOutputTarget::Close(AVFormatContext* context) {
  if (!context->pb) return 0;
  if (FOwnIO) return TUnicodeFile::CloseIOContext(&context->pb);
  avio_flush(context->pb);
  const int error = context->pb->error;
  const int closed = avio_closep(&context->pb);
  return error < 0 ? error : closed;
}

int TOutputTarget::Commit() {
  int result = 0;
  if (!FTemporaryPath.empty() && rename(FTemporaryPath.c_str(), FReplacedPath.c_str()) != 0) {
    result = AVERROR(errno);
    unlink(FTemporaryPath.c_str());
  }
  // A file written in place that was removed or replaced meanwhile holds nothing of this run.
  struct stat info;
  if (FInPlaceInode != 0 &&
      (stat(FFinalPath.c_str(), &info) != 0 || info.st_dev != FInPlaceDevice || info.st_ino != FInPlaceInode))
    result = AVERROR(ENOENT);
  FTemporaryPath.clear();
  FPlaceholder.clear();
  Unlock();
  return result;
}

void TOutputTarget::Discard() {
  if (!FTemporaryPath.empty()) unlink(FTemporaryPath.c_str());
  FTemporaryPath.clear();
  // The empty file that held a new name goes too: nothing was put in its place.
  struct stat info;
  if (!FPlaceholder.empty() && stat(FPlaceholder.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      info.st_size == 0)
    unlink(FPlaceholder.c_str());
  FPlaceholder.clear();
  Unlock();
}

void TOutputTarget::Unlock() {
  if (FLock >= 0) close(FLock);
  FLock = -1;
}

} // namespace kavro
