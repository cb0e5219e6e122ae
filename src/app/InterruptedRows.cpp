#include "InterruptedRows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/OutputTarget.h"

namespace kavro {
namespace {

namespace fs = std::filesystem;

// A regular file (never a link or a folder) changed since the run began; the file system's clock may
// lag the program's by a second.
bool MadeSince(const std::string& path, int64_t runStarted, struct stat& info) {
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime + 1 >= runStarted;
}

// The partial files of the output in its folder, written by the run.
void RemovePartialFiles(const std::string& output, int64_t runStarted) {
  const fs::path path(output);
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(path.parent_path(), error)) {
    struct stat info {};
    const std::string name = entry.path().filename().string();
    if (TOutputTarget::IsTemporaryName(path.filename().string(), name) &&
        MadeSince(entry.path().string(), runStarted, info))
      unlink(entry.path().c_str());
  }
}

// True when the output had been put in place: the run's empty name holder is replaced only by the
// whole file. The holder itself goes.
bool OutputInPlace(const std::string& output, int64_t runStarted) {
  struct stat info {};
  if (!MadeSince(output, runStarted, info)) return false;
  if (info.st_size > 0) return true;
  unlink(output.c_str());
  return false;
}

} // namespace

void RecoverInterruptedRows(std::vector<TJobRow>& rows) {
  for (TJobRow& row : rows) {
    if (row.RunState == TRowRunState::Queued || row.RunState == TRowRunState::Converting) {
      const bool converting = row.RunState == TRowRunState::Converting;
      row.RunState = TRowRunState::Idle;
      if (!row.RunOutput.empty()) {
        RemovePartialFiles(row.RunOutput, row.RunStarted);
        if (OutputInPlace(row.RunOutput, row.RunStarted))
          row.RunState = TRowRunState::Done;
        else if (converting)
          row.RunState = TRowRunState::Interrupted;
      }
      row.RunOutput.clear();
    }
    row.Progress.clear();
    if (row.RunState == TRowRunState::Done) row.Progress = "100%";
    if (row.RunState == TRowRunState::Failed) row.Progress = "Error";
    if (row.RunState == TRowRunState::Interrupted) {
      row.Progress = "Interrupted";
      row.Error = InterruptedReason;
    }
  }
}

} // namespace kavro
