#include "FolderRules.h"

#include <sys/statvfs.h>

#include <array>
#include <filesystem>
#include <string_view>

namespace kavro {
namespace {

constexpr std::array<std::string_view, 4> SpecialFolders{"/proc", "/sys", "/dev", "/run"};

bool IsSpecialPath(const std::filesystem::path& path) {
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  for (std::string_view special : SpecialFolders)
    if (text == special) return true;
  return false;
}

} // namespace

bool IsSpecialFolder(const std::string& folder) {
  if (folder.empty()) return false;
  if (IsSpecialPath(folder)) return true;
  // A link such as /var/run leads to the same place.
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(folder, error);
  return !error && IsSpecialPath(real);
}

bool IsOnReadOnlyMount(const std::string& folder) {
  if (folder.empty()) return false;
  std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  std::error_code error;
  // A folder that does not exist yet would be made on its parent's file system.
  while (!std::filesystem::exists(path, error) && path.has_relative_path())
    path = path.parent_path();
  if (path.empty()) path = ".";
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0) return false;
  return (info.f_flag & ST_RDONLY) != 0;
}

} // namespace kavro
