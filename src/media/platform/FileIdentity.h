// Whether two names reach one file, however they are spelled (links, "..", relative or absolute).
// Any thread.
#pragma once

#include <string>

namespace kavro {

// True when both names reach the same existing file (same device and inode), or, when a name does
// not exist yet, when both spell the same place once their folders are resolved.
bool SameFile(const std::string& first, const std::string& second);

} // namespace kavro
