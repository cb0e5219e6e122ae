// The engine's exception for every fatal condition; the message is the system's fixed text.
#pragma once

#include "platform/Exceptions.h"

namespace kavro {

class FFmpegException : public Exception {
public:
  using Exception::Exception;
};

// An option name or value the engine refuses: the caller asked for something that cannot be, as
// opposed to a file or a codec that failed. A command line reports it as a usage error.
class EOptionError : public FFmpegException {
public:
  using FFmpegException::FFmpegException;
};

} // namespace kavro
