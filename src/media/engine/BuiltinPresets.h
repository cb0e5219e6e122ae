// The presets built into the engine: name and text in the key=value line format of preset files.
#pragma once

#include <span>
#include <string>

namespace kavro {

struct TBuiltinPreset {
  const char* Name;
  const char* Text;
};

std::span<const TBuiltinPreset> BuiltinPresets();
// The preset of that name, compared without case; null when there is none.
const TBuiltinPreset* FindBuiltinPreset(const std::string& name);

} // namespace kavro
