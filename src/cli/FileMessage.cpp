#include "FileMessage.h"

namespace kavro {

std::string FileMessage(const std::string& fileName, const std::string& message) {
  return message.find(fileName) == std::string::npos ? fileName + ": " + message : message;
}

} // namespace kavro
