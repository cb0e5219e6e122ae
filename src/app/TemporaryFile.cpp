#include "TemporaryFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/Exceptions.h"

namespace kavro {

std::string WriteThroughTemporary(const std::string& fileName, const TFileWriter& write) {
  const auto failure = [&](const std::string& why) { return "Cannot write " + fileName + ": " + why; };
  struct stat existing {};
  const bool exists = stat(fileName.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode))
    return failure(S_ISDIR(existing.st_mode) ? "it is a folder" : "not a regular file");

  std::string temporary = fileName + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return failure(ErrnoText(errno));
  // mkstemp makes the file private; the picture gets the mode the old one had, or the usual one.
  fchmod(fd, exists ? existing.st_mode & 07777 : 0644);

  std::string why = write(temporary);
  // The writer opened the file by name: this descriptor reaches the same data for the flush.
  if (why.empty() && fsync(fd) != 0) why = ErrnoText(errno);
  if (close(fd) != 0 && why.empty()) why = ErrnoText(errno);
  if (why.empty() && std::rename(temporary.c_str(), fileName.c_str()) != 0) why = ErrnoText(errno);
  if (why.empty()) return "";
  unlink(temporary.c_str());
  return failure(why);
}

std::string WriteTextThroughTemporary(const std::string& fileName, const std::string& text) {
  return WriteThroughTemporary(fileName, [&text](const std::string& temporary) {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    return file ? std::string() : std::string("the disk did not take it");
  });
}

} // namespace kavro
