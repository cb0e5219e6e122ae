// Where the running program lives.
#pragma once

#include <string>

namespace kavro {

// The folder of the running executable, with a trailing "/".
std::string ProgramFolder();

} // namespace kavro
