#include "IniFile.h"

#include "platform/Convert.h"
#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <sstream>
#include <mutex>
#include <optional>

namespace kavro {
namespace {

// Read-modify-write of a file must not interleave between two threads of this process.
std::mutex WriteLock;

// The lines of the file; none when it is missing or is not a file that can be read (a device, a
// pipe or a huge file is never read), and then readable is false unless the file is just missing.
std::vector<std::string> ReadLines(const std::string& fileName, bool* readable = nullptr) {
  std::vector<std::string> lines;
  std::string text;
  const TTextFileResult result = ReadTextFile(fileName, text);
  if (readable) *readable = result == TTextFileResult::Read || result == TTextFileResult::Missing;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The name of a "[section]" line, or nothing for any other line.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string text = Trim(line);
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
  return Trim(text.substr(1, text.size() - 2));
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<std::string> KeyName(const std::string& line) {
  const std::string text = Trim(line);
  if (text.empty() || text.front() == ';' || text.front() == '#') return std::nullopt;
  const auto equals = text.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return Trim(text.substr(0, equals));
}

std::string ValueOf(const std::string& line) {
  std::string value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// Where a section lies in the lines: its header line and the line after its last line.
struct TSectionRange {
  size_t Header = std::string::npos;
  size_t End = 0;
};

TSectionRange FindSection(const std::vector<std::string>& lines, const std::string& section) {
  TSectionRange range;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (!name) continue;
    if (range.Header != std::string::npos) {
      range.End = i;
      return range;
    }
    if (SameText(*name, section)) range.Header = i;
  }
  range.End = lines.size();
  return range;
}

std::optional<size_t> FindKey(const std::vector<std::string>& lines, const TSectionRange& range,
                              const std::string& key) {
  if (range.Header == std::string::npos) return std::nullopt;
  for (size_t i = range.Header + 1; i < range.End; ++i) {
    const auto name = KeyName(lines[i]);
    if (name && SameText(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> Lookup(const std::string& fileName, const std::string& section,
                                  const std::string& key) {
  const auto lines = ReadLines(fileName);
  const auto line = FindKey(lines, FindSection(lines, section), key);
  if (!line) return std::nullopt;
  return ValueOf(lines[*line]);
}

// Writes the lines to a temporary file beside the target and renames it over the target.
bool ReplaceFile(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\n";
  std::string temporary = fileName + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  struct stat existing {};
  const mode_t mode = stat(fileName.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
  fchmod(fd, mode);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == text.size() && fsync(fd) == 0;
  if (close(fd) != 0 || !ok || rename(temporary.c_str(), fileName.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

template <typename Change> bool Modify(const std::string& fileName, Change change) {
  std::lock_guard lock(WriteLock);
  bool readable = true;
  auto lines = ReadLines(fileName, &readable);
  // Writing what could not be read would replace a device or throw the rest of a file away.
  if (!readable) return false;
  if (!change(lines)) return true;
  return ReplaceFile(fileName, lines);
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return Lookup(FFileName, section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  const auto text = Lookup(FFileName, section, key);
  if (!text || text->empty()) return defaultValue;
  int value = 0;
  const char* begin = text->data() + (text->front() == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(begin, text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return defaultValue;
  return value;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return FindSection(ReadLines(FFileName), section).Header != std::string::npos;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Lookup(FFileName, section, key).has_value();
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  const auto lines = ReadLines(FFileName);
  const auto range = FindSection(lines, section);
  std::vector<std::string> keys;
  if (range.Header == std::string::npos) return keys;
  for (size_t i = range.Header + 1; i < range.End; ++i)
    if (const auto name = KeyName(lines[i])) keys.push_back(*name);
  return keys;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  return Modify(FFileName, [&](std::vector<std::string>& lines) {
    const auto range = FindSection(lines, section);
    const std::string entry = key + "=" + value;
    if (const auto line = FindKey(lines, range, key)) {
      // The key keeps the spelling it already has in the file.
      const std::string replaced = *KeyName(lines[*line]) + "=" + value;
      if (lines[*line] == replaced) return false;
      lines[*line] = replaced;
    } else if (range.Header == std::string::npos) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      // After the section's last entry, before the blank lines that separate it from the next.
      size_t at = range.End;
      while (at > range.Header + 1 && Trim(lines[at - 1]).empty())
        --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
    return true;
  });
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  return Modify(FFileName, [&](std::vector<std::string>& lines) {
    const auto line = FindKey(lines, FindSection(lines, section), key);
    if (!line) return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
  });
}

} // namespace kavro
