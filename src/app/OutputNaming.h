// The name of a converted file: beside the others in the output folder, never over an existing file.
// Any thread.
#pragma once

#include <string>

namespace kavro {

// folder (with its trailing "/") + the source's file name without its extension + "_(new)" +
// extension (with its dot); "_(new_n)" with the smallest n = 1, 2, ... when that name is taken. A
// name counts as taken by anything in the folder, a dangling link included, so a conversion never
// writes through one.
std::string MakeOutputName(const std::string& folder, const std::string& sourcePath,
                           const std::string& extension);

} // namespace kavro
