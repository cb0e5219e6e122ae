#include "IniFile.h"

#include "TemporaryFile.h"
#include "platform/Convert.h"
#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <mutex>
#include <optional>
#include <system_error>

namespace kavro {
namespace {

// Read-modify-write of a file must not interleave between two threads of this process.
std::mutex WriteLock;

// The lines of the file; none when it is missing or is not a file that can be read (a device, a
// pipe or a huge file is never read), and then unreadable says why it cannot be written either.
std::vector<std::string> ReadLines(const std::string& fileName, std::string* unreadable = nullptr) {
  std::vector<std::string> lines;
  std::string text;
  const TTextFileResult result = ReadTextFile(fileName, text);
  if (unreadable && result != TTextFileResult::Read && result != TTextFileResult::Missing)
    *unreadable = "Cannot write " + TextFileError(fileName, result);
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

// A value is read back without surrounding blanks and without one pair of enclosing quotes, so one
// that has either is written inside quotes of its own and reads back as it was.
std::string StoredValue(const std::string& value) {
  const bool quoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return quoted || Trim(value) != value ? "\"" + value + "\"" : value;
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

std::optional<std::string> Lookup(const std::vector<std::string>& lines, const std::string& section,
                                  const std::string& key) {
  const auto line = FindKey(lines, FindSection(lines, section), key);
  if (!line) return std::nullopt;
  return ValueOf(lines[*line]);
}

// Writes the lines through a temporary file beside the target, renamed over it. Empty on success,
// else why not.
std::string ReplaceFile(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\n";
  return WriteThroughTemporary(fileName, [&text](const std::string& temporaryName) -> std::string {
    const int fd = open(temporaryName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return std::generic_category().message(errno);
    size_t written = 0;
    int error = 0;
    while (written < text.size()) {
      const ssize_t n = write(fd, text.data() + written, text.size() - written);
      if (n <= 0) {
        error = n < 0 ? errno : ENOSPC;
        break;
      }
      written += static_cast<size_t>(n);
    }
    if (close(fd) != 0 && error == 0) error = errno;
    return error == 0 ? "" : std::generic_category().message(error);
  });
}

} // namespace

struct TIniFile::TChange {
  std::string Section;
  std::string Key;
  std::string Value;
  bool Erase = false;
};

struct TIniFile::TState {
  std::mutex Lock; // guards what follows: the owner's batch and the readers of any thread
  int BatchDepth = 0;
  std::vector<TChange> Batch;
  std::vector<TChange> Unstored; // what the file could not take, oldest first
  std::string StoreFailure;
  bool FailureReported = false;
};

namespace {

// False when the lines already say what the change says.
bool Apply(std::vector<std::string>& lines, const TIniFile::TChange& change) {
  const auto range = FindSection(lines, change.Section);
  const auto line = FindKey(lines, range, change.Key);
  if (change.Erase) {
    if (!line) return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
  }
  if (line) {
    // The key keeps the spelling it already has in the file.
    const std::string replaced = *KeyName(lines[*line]) + "=" + StoredValue(change.Value);
    if (lines[*line] == replaced) return false;
    lines[*line] = replaced;
  } else if (range.Header == std::string::npos) {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + change.Section + "]");
    lines.push_back(change.Key + "=" + StoredValue(change.Value));
  } else {
    // After the section's last entry, before the blank lines that separate it from the next.
    size_t at = range.End;
    while (at > range.Header + 1 && Trim(lines[at - 1]).empty())
      --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                 change.Key + "=" + StoredValue(change.Value));
  }
  return true;
}

} // namespace

TIniFile::TIniFile(std::string fileName)
    : FFileName(std::move(fileName)), FState(std::make_shared<TState>()) {}

std::vector<std::string> TIniFile::Lines() const {
  auto lines = ReadLines(FFileName);
  std::lock_guard lock(FState->Lock);
  for (const TChange& change : FState->Unstored)
    Apply(lines, change);
  for (const TChange& change : FState->Batch)
    Apply(lines, change);
  return lines;
}

bool TIniFile::Change(TChange change) {
  std::lock_guard lock(FState->Lock);
  if (FState->BatchDepth > 0) {
    FState->Batch.push_back(std::move(change));
    return true;
  }
  std::vector<TChange> changes;
  changes.push_back(std::move(change));
  return Store(std::move(changes));
}

// Called with the state's lock held. What the file already says is not written again.
bool TIniFile::Store(std::vector<TChange> changes) {
  std::vector<TChange> all = std::move(FState->Unstored);
  FState->Unstored.clear();
  all.insert(all.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  std::lock_guard lock(WriteLock);
  // Writing what could not be read would replace a device or throw the rest of a huge file away.
  std::string failure;
  auto lines = ReadLines(FFileName, &failure);
  bool changed = false;
  for (const TChange& change : all)
    changed = Apply(lines, change) || changed;
  if (failure.empty() && changed) failure = ReplaceFile(FFileName, lines);
  if (failure.empty()) {
    FState->FailureReported = false;
    FState->StoreFailure.clear();
    return true;
  }
  FState->Unstored = std::move(all);
  FState->StoreFailure = failure;
  return false;
}

void TIniFile::BeginUpdate() {
  std::lock_guard lock(FState->Lock);
  ++FState->BatchDepth;
}

bool TIniFile::EndUpdate() {
  std::lock_guard lock(FState->Lock);
  if (FState->BatchDepth == 0 || --FState->BatchDepth > 0) return true;
  std::vector<TChange> changes = std::move(FState->Batch);
  FState->Batch.clear();
  if (changes.empty()) return FState->Unstored.empty();
  return Store(std::move(changes));
}

bool TIniFile::HasUnstoredChanges() const {
  std::lock_guard lock(FState->Lock);
  return !FState->Unstored.empty();
}

std::optional<std::string> TIniFile::NewStoreFailure() {
  std::lock_guard lock(FState->Lock);
  if (FState->Unstored.empty() || FState->FailureReported) return std::nullopt;
  FState->FailureReported = true;
  return FState->StoreFailure;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return Lookup(Lines(), section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  const auto text = Lookup(Lines(), section, key);
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
  return FindSection(Lines(), section).Header != std::string::npos;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Lookup(Lines(), section, key).has_value();
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  const auto lines = Lines();
  const auto range = FindSection(lines, section);
  std::vector<std::string> keys;
  if (range.Header == std::string::npos) return keys;
  for (size_t i = range.Header + 1; i < range.End; ++i)
    if (const auto name = KeyName(lines[i])) keys.push_back(*name);
  return keys;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // A line break would end the value early and make the rest a line of its own: such a value is
  // refused, and the file and what is kept stay as they were.
  if (value.find('\n') != std::string::npos) return false;
  return Change({section, key, value, false});
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  return Change({section, key, "", true});
}

} // namespace kavro
