// What the Add command offers and accepts: the open dialog's filter list, the test whether a file
// name is one of the supported media kinds, and the expansion of dropped folders into their media
// files. Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "AppDialogs.h"

namespace kavro {

// The filter list of the Add command's open dialog, in the order it shows.
const std::vector<TFileFilter>& AddFileFilters();

// True when the name's extension, in any case, is one of the supported video or audio kinds.
bool IsSupportedMediaName(const std::string& path);

// Paths that are not folders stay as given, in order; a folder becomes the regular files directly
// inside it with supported names, sorted by name. A folder that cannot be read gives nothing.
std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string>& paths);

} // namespace kavro
