// TIniFile: an INI text file read and written key by key. Every call opens the file, does its work
// and closes it again, so the file on disk is always current and two handlers never disagree.
// Sections and keys match without regard to case. A missing file or key gives the caller's default.
// A write keeps every other line (comments and order included) and replaces the file in one step
// through a temporary file, so a failed write never leaves the file truncated.
// Any thread; writes to one file are serialised inside the process.
#pragma once

#include <string>
#include <vector>

namespace kavro {

class TIniFile {
public:
  explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

  const std::string& FileName() const { return FFileName; }

  // Values are read with surrounding blanks removed and one pair of enclosing quotes taken off.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // The default when the key is missing or its value is not a whole decimal number.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // "1"/"0" as written by WriteBool; any other integer counts as true when not 0.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // The keys of a section in file order.
  std::vector<std::string> ReadSection(const std::string& section) const;

  // False when the file could not be written; the file on disk is then unchanged.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);
  bool DeleteKey(const std::string& section, const std::string& key);

private:
  std::string FFileName;
};

} // namespace kavro
