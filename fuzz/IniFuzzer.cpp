// The INI reader fed a file of fuzzed bytes: every section and key read in each way the program
// reads them, then one key written. A write keeps every other key's value and reads back as written;
// a value with a line break is refused.
#include <cstdlib>
#include <sstream>
#include <vector>

#include "FuzzSupport.h"
#include "IniFile.h"
#include "platform/Convert.h"

using namespace kavro;

namespace {

// The section names the text's "[name]" lines give, as the reader trims them.
std::vector<std::string> SectionNames(const std::string& text) {
  std::vector<std::string> names;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']')
      names.push_back(Trim(trimmed.substr(1, trimmed.size() - 2)));
  }
  return names;
}

struct TEntry {
  std::string Section;
  std::string Key;
  std::string Value;
};

std::vector<TEntry> ReadAll(const TIniFile& ini, const std::vector<std::string>& sections) {
  std::vector<TEntry> entries;
  for (const std::string& section : sections) {
    if (!ini.SectionExists(section)) std::abort();
    for (const std::string& key : ini.ReadSection(section)) {
      if (!ini.ValueExists(section, key)) std::abort();
      (void)ini.ReadInteger(section, key, 7);
      (void)ini.ReadBool(section, key, true);
      entries.push_back({section, key, ini.ReadString(section, key, "")});
    }
  }
  return entries;
}

// Any value of one line, blanks and quotes included.
std::string OneLineValue(const std::string& text) {
  std::string value = text.substr(0, 32);
  for (char& c : value)
    if (c == '\n') c = ' ';
  return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  const std::string file = fuzz::WriteTempFile("fuzz.ini", data, size);
  TIniFile ini(file);
  const std::vector<std::string> sections = SectionNames(text);
  const std::vector<TEntry> before = ReadAll(ini, sections);

  // One key of the file, or a new one in a new section.
  TEntry target{"Fuzz Section", "FuzzKey", OneLineValue(text)};
  // A key that starts like a section header ("[a=b") turns into one when its new value ends in "]":
  // the format cannot tell them apart, and the program's keys never start so.
  if (!before.empty() && !before[size % before.size()].Key.starts_with('[')) {
    const TEntry& chosen = before[size % before.size()];
    target.Section = chosen.Section;
    target.Key = chosen.Key;
  }
  // A value with a line break is refused and changes nothing.
  if (ini.WriteString(target.Section, target.Key, target.Value + "\n[Injected]\nKey=1")) std::abort();
  if (ini.SectionExists("Injected")) std::abort();
  if (!ini.WriteString(target.Section, target.Key, target.Value)) std::abort();
  if (ini.ReadString(target.Section, target.Key, "<missing>") != target.Value) std::abort();
  for (const TEntry& entry : before) {
    if (SameText(entry.Section, target.Section) && SameText(entry.Key, target.Key)) continue;
    if (ini.ReadString(entry.Section, entry.Key, "<missing>") != entry.Value) std::abort();
  }
  return 0;
}
