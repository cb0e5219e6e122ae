#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavro {

TTextFileResult ReadTextFile(const std::string& fileName, std::string& text) {
  text.clear();
  // Non-blocking, so that a pipe without a writer does not hold the open; regular files ignore it.
  const int handle = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (handle < 0)
    return errno == ENOENT || errno == ENOTDIR ? TTextFileResult::Missing : TTextFileResult::Unreadable;
  struct stat info;
  TTextFileResult result = TTextFileResult::Read;
  int error = 0;
  if (fstat(handle, &info) != 0) {
    error = errno;
    result = TTextFileResult::Unreadable;
  } else if (S_ISDIR(info.st_mode))
    result = TTextFileResult::Folder;
  else if (!S_ISREG(info.st_mode))
    result = TTextFileResult::NotRegular;
  else if (info.st_size > MaxTextFileSize)
    result = TTextFileResult::TooLarge;
  // A file that grows while it is read stops at the limit all the same.
  char buffer[65536];
  while (result == TTextFileResult::Read) {
    const ssize_t read = ::read(handle, buffer, sizeof buffer);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) {
      error = errno;
      result = TTextFileResult::Unreadable;
    }
    if (read <= 0) break;
    text.append(buffer, static_cast<size_t>(read));
    if (static_cast<int64_t>(text.size()) > MaxTextFileSize) result = TTextFileResult::TooLarge;
  }
  close(handle);
  if (result != TTextFileResult::Read) text.clear();
  errno = error;
  return result;
}

std::string TextFileError(const std::string& fileName, TTextFileResult result) {
  switch (result) {
  case TTextFileResult::Read:
    return {};
  case TTextFileResult::Missing:
    return fileName + ": No such file or directory";
  case TTextFileResult::Folder:
    return fileName + ": it is a folder";
  case TTextFileResult::NotRegular:
    return fileName + ": not a regular file";
  case TTextFileResult::TooLarge:
    return fileName + ": larger than 1 MiB";
  case TTextFileResult::Unreadable:
    break;
  }
  return fileName + ": " + std::strerror(errno);
}

} // namespace kavro
