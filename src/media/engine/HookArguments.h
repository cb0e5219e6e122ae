// The words of a vhook option value: split by "|" when the value has one, else by spaces; empty
// words are dropped and at most 254 are kept.
#pragma once

#include <string>
#include <vector>

namespace kavro {

constexpr int MaxHookArguments = 254;
std::vector<std::string> SplitHookArguments(const std::string& value);

} // namespace kavro
