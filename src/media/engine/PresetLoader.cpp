// The preset options apre, vpre, spre and fpre: a built-in preset or a preset file, applied line
// by line.
#include "engine/BuiltinPresets.h"
#include "engine/CustomFFmpeg.h"
#include "engine/FFmpegException.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/TextFile.h"

namespace kavro {
namespace {

// The codec whose name prefixes a preset name that the table does not know.
const std::string& PresetCodec(const std::string& option, const TTaskSettings& settings) {
  if (option == "vpre" && !settings.VideoCodecName.empty()) return settings.VideoCodecName;
  if (option == "apre" && !settings.AudioCodecName.empty()) return settings.AudioCodecName;
  return settings.SubtitleCodecName;
}

// The media type a preset option sets; a format preset may set anything.
int PresetMediaType(const std::string& option) {
  return option == "vpre" ? ptVideo : option == "apre" ? ptAudio : option == "spre" ? ptSubtitle : -1;
}

std::string ReadPresetFile(const std::string& fileName) {
  std::string text;
  const TTextFileResult result = ReadTextFile(fileName, text);
  if (result == TTextFileResult::Missing) throw FFmpegException("Preset \"" + fileName + "\" not found");
  if (result != TTextFileResult::Read)
    throw FFmpegException("Preset " + TextFileError("\"" + fileName + "\"", result));
  return text;
}

std::vector<std::string> PresetLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : Trim(text) + "\n") {
    if (c == '\r' || c == '\n') {
      lines.push_back(Trim(line));
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

} // namespace

void TCustomFFmpeg::OptPreset(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  const TBuiltinPreset* builtin = nullptr;
  if (name != "fpre") {
    builtin = FindBuiltinPreset(value);
    const std::string& codec = PresetCodec(name, FSettings);
    if (!builtin && !codec.empty()) builtin = FindBuiltinPreset(codec + "-" + value);
  }
  const std::string text = builtin ? builtin->Text : ReadPresetFile(value);
  for (const std::string& line : PresetLines(text)) {
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    const std::string key = equals == std::string::npos ? line : line.substr(0, equals);
    const std::string setting = equals == std::string::npos ? std::string() : line.substr(equals + 1);
    if (key.empty() || setting.empty())
      throw FFmpegException(Format("%s: Invalid syntax: \"%s\"", value.c_str(), line.c_str()));
    const std::string lowerKey = LowerCase(key);
    if (lowerKey == "acodec" || lowerKey == "vcodec" || lowerKey == "scodec")
      OptCodec(lowerKey, setting);
    else if (!SetGenericParameter(key, setting, PresetMediaType(name)))
      throw FFmpegException(Format("%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                   value.c_str(), line.c_str(), key.c_str(), setting.c_str()));
  }
}

} // namespace kavro
