#include "engine/HookArguments.h"

namespace kavro {

std::vector<std::string> SplitHookArguments(const std::string& value) {
  const char separator = value.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> words;
  size_t start = 0;
  while (start <= value.size() && static_cast<int>(words.size()) < MaxHookArguments) {
    size_t end = value.find(separator, start);
    if (end == std::string::npos) end = value.size();
    if (end > start) words.push_back(value.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

} // namespace kavro
