// Exception classes shared by the media layer; the message is the system's own text.
#pragma once

#include <stdexcept>
#include <string>

namespace kavro {

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that is not a number where one is required.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
public:
  using Exception::Exception;
};

// Formats like printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The system's text of an errno value ("No such file or directory").
std::string ErrnoText(int error);

} // namespace kavro
