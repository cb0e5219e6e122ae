// The engine's exception for every fatal condition; the message is the system's fixed text.
#pragma once

#include "platform/Exceptions.h"

namespace kavro {

class FFmpegException : public Exception {
public:
  using Exception::Exception;
};

} // namespace kavro
