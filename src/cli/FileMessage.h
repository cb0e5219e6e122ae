// A failure of one file as the terminal shows it.
#pragma once

#include <string>

namespace kavro {

// The message after the file's name, unless the message names the file itself already.
std::string FileMessage(const std::string& fileName, const std::string& message);

} // namespace kavro
