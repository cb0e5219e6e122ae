// Which folders may hold the converted files: the folder picker asks these before it lets a folder
// go. Toolkit-free; any thread.
#pragma once

#include <string>

namespace kavro {

// The kernel's and the system's own top-level folders (/proc, /sys, /dev, /run), where no output
// belongs. Only the entries themselves: a folder below them is judged by the other rules.
bool IsSpecialFolder(const std::string& folder);

// True when the folder (or, for a folder not made yet, its nearest existing parent) lies on a
// file system mounted read-only: a CD-ROM, a read-only bind, a squashed image.
bool IsOnReadOnlyMount(const std::string& folder);

} // namespace kavro
