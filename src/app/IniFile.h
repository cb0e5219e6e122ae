// TIniFile: an INI text file read and written key by key. Every call opens the file, does its work
// and closes it again, so the file on disk is always current and two handlers never disagree.
// Sections and keys match without regard to case. A missing file or key gives the caller's default.
// A write keeps every other line (comments and order included) and replaces the file in one step
// through a temporary file, so a failed write never leaves the file truncated. Several writes made
// together go into one replacement through TIniBatch. A change the file cannot take is kept by this
// object (and its copies), read back from memory and written with the next write that succeeds, so
// nothing chosen is lost while the file is out of reach.
// Any thread; writes to one file are serialised inside the process.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavro {

class TIniFile {
public:
  explicit TIniFile(std::string fileName);

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

  // False when the file could not be written; the file on disk is then unchanged. A value with blanks
  // around it or enclosing quotes is written quoted and reads back as given; one with a line break
  // cannot be written and is refused (false, nothing kept).
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);
  bool DeleteKey(const std::string& section, const std::string& key);

  // Writes between the first BeginUpdate and its matching EndUpdate are collected (and read back) and
  // replace the file once at the end. EndUpdate is false when the file could not take them.
  void BeginUpdate();
  bool EndUpdate();
  // True while changes are held in memory because the file could not take them.
  bool HasUnstoredChanges() const;
  // Why the file could not take the last write, the first time this is asked after it failed; nothing
  // afterwards, until a write has succeeded and failed again. Lets the owner say it once.
  std::optional<std::string> NewStoreFailure();

  struct TChange;
  struct TState;

private:
  std::vector<std::string> Lines() const;
  bool Change(TChange change);
  bool Store(std::vector<TChange> changes);

  std::string FFileName;
  std::shared_ptr<TState> FState;
};

// Collects the writes of its lifetime into one replacement of the file.
class TIniBatch {
public:
  explicit TIniBatch(TIniFile& ini) : FIni(ini) { FIni.BeginUpdate(); }
  ~TIniBatch() {
    if (!FEnded) FIni.EndUpdate();
  }
  TIniBatch(const TIniBatch&) = delete;
  TIniBatch& operator=(const TIniBatch&) = delete;
  // Writes what was collected; false when the file could not take it.
  bool End() {
    FEnded = true;
    return FIni.EndUpdate();
  }

private:
  TIniFile& FIni;
  bool FEnded = false;
};

} // namespace kavro
