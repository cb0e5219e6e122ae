#include "platform/FileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kavro {
namespace {

// The absolute place a name stands for: its folder resolved, its last part as written.
std::string Place(const std::string& name) {
  const size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) return name;
  const std::string base = resolved;
  return (base == "/" ? base : base + "/") + last;
}

} // namespace

bool SameFile(const std::string& first, const std::string& second) {
  struct stat a, b;
  const bool firstExists = stat(first.c_str(), &a) == 0;
  const bool secondExists = stat(second.c_str(), &b) == 0;
  if (firstExists && secondExists) return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  if (firstExists != secondExists) return false;
  return Place(first) == Place(second);
}

} // namespace kavro
