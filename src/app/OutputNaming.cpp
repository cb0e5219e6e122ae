#include "OutputNaming.h"

#include <filesystem>

namespace kavro {
namespace {

// An entry we cannot look at (no search permission) counts as free: the write reports the real error,
// and the search always ends.
bool Taken(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
  return !error && status.type() != std::filesystem::file_type::not_found;
}

} // namespace

std::string MakeOutputName(const std::string& folder, const std::string& sourcePath,
                           const std::string& extension) {
  const std::string base = folder + std::filesystem::path(sourcePath).stem().string();
  std::string name = base + "_(new)" + extension;
  for (int n = 1; Taken(name); ++n)
    name = base + "_(new_" + std::to_string(n) + ")" + extension;
  return name;
}

} // namespace kavro
