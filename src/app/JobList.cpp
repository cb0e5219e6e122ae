#include "JobList.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "FFmpegVCL.h"
#include "FormatKeys.h"
#include "FormatProfile.h"
#include "OutputNaming.h"
#include "platform/WideString.h"

namespace kavro {
namespace {

// A plain file we can look at; folders and paths whose attributes cannot be read are not.
bool AddablePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// Removes the component's tasks however the probe ends.
class TTaskCleanup {
public:
  explicit TTaskCleanup(TFFmpegVCL& component) : FComponent(component) {}
  ~TTaskCleanup() {
    try {
      FComponent.ClearTasks();
    } catch (...) {
      // A component in the middle of a run keeps its tasks; adding is not possible then anyway.
    }
  }
  TTaskCleanup(const TTaskCleanup&) = delete;
  TTaskCleanup& operator=(const TTaskCleanup&) = delete;

private:
  TFFmpegVCL& FComponent;
};

} // namespace

TDurationProbe ComponentDurationProbe(TFFmpegVCL& component) {
  return [&component](const std::string& path, int64_t& durationMicroseconds) {
    component.ClearTasks();
    TTaskCleanup cleanup(component);
    TInputOptions options;
    options.FileName = NarrowToWide(path);
    const int task = component.AddTask(options.FileName, &options);
    if (task < 0) return false;
    TFileStreamInfo info;
    component.AVProbes(task, 0)->GetFileInfo(info);
    durationMicroseconds = info.Duration;
    component.RemoveTask(task);
    return true;
  };
}

TJobList::TJobList(TAppSettings& settings, const TIniFile& formats, TAppDialogs& dialogs,
                   TDurationProbe probe)
    : FSettings(settings), FFormats(formats), FDialogs(dialogs), FProbe(std::move(probe)) {}

int TJobList::AddFiles(const std::vector<std::string>& paths) {
  const int code = FSettings.FormatCode();
  const std::string extension = "." + FileExtOf(FFormats, code);
  const std::string zoomMode = FSettings.ZoomMode(code);
  int added = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (!AddablePath(path) || IndexOf(path) >= 0) continue;
    const std::string destination = MakeOutputName(FSettings.CheckOutputFolder(FDialogs), path, extension);
    int64_t duration = -1;
    if (!FProbe || !FProbe(path, duration)) continue;

    TJobRow row;
    row.Record.SelIndex = static_cast<int>(i);
    row.Record.SourceFile = path;
    row.Record.DestFile = destination;
    // An unknown duration (-1) shows as 0 seconds.
    row.Record.DurationSecs = duration > 0 ? static_cast<int>(duration / 1000000) : 0;
    row.Record.ZoomMode = zoomMode;
    row.Length = row.TrimmedLength = std::to_string(row.Record.DurationSecs);
    row.DestName = std::filesystem::path(destination).filename().string();
    FRows.push_back(std::move(row));
    ++added;
  }
  FSelection.clear();
  return added;
}

void TJobList::RemoveSelected() {
  if (FSelection.empty()) return;
  const std::vector<int> removed = FSelection;
  // From the back, so the indices still to go stay valid.
  for (auto row = removed.rbegin(); row != removed.rend(); ++row)
    FRows.erase(FRows.begin() + *row);
  FSelection.clear();
  if (FRows.empty()) {
    FFocused = -1;
    StopPreview();
    return;
  }
  const int first = removed.front();
  FSelection.push_back(first < Count() ? first : Count() - 1);
  // The focus moves with the selection off a removed row, and follows its row otherwise.
  if (std::binary_search(removed.begin(), removed.end(), FFocused))
    FFocused = FSelection.front();
  else if (FFocused >= 0)
    FFocused -=
        static_cast<int>(std::lower_bound(removed.begin(), removed.end(), FFocused) - removed.begin());
}

void TJobList::Clear() {
  if (FRows.empty()) return;
  FRows.clear();
  FSelection.clear();
  FFocused = -1;
  StopPreview();
}

void TJobList::CheckAll() {
  for (TJobRow& row : FRows)
    row.Checked = true;
}

void TJobList::UncheckAll() {
  for (TJobRow& row : FRows)
    row.Checked = false;
}

void TJobList::ReverseCheck() {
  for (TJobRow& row : FRows)
    row.Checked = !row.Checked;
}

void TJobList::CheckFocused() {
  if (Valid(FFocused) >= 0) FRows[static_cast<size_t>(FFocused)].Checked = true;
}

void TJobList::UncheckFocused() {
  if (Valid(FFocused) >= 0) FRows[static_cast<size_t>(FFocused)].Checked = false;
}

void TJobList::SetChecked(int index, bool checked) {
  Row(index).Checked = checked;
}

std::vector<int> TJobList::CheckedIndices() const {
  std::vector<int> indices;
  for (int i = 0; i < Count(); ++i)
    if (FRows[static_cast<size_t>(i)].Checked) indices.push_back(i);
  return indices;
}

void TJobList::MarkFailed(int index, const std::string& reason) {
  TJobRow& row = Row(index);
  row.Progress = "Error";
  row.Error = reason;
  row.RunState = TRowRunState::Failed;
  row.RunOutput.clear();
}

void TJobList::ClearProgress() {
  for (TJobRow& row : FRows) {
    row.Progress.clear();
    row.Error.clear();
    row.RunState = TRowRunState::Idle;
    row.RunOutput.clear();
    row.RunStarted = 0;
  }
}

void TJobList::Restore(std::vector<TJobRow> rows) {
  FRows = std::move(rows);
  FSelection.clear();
  FFocused = -1;
}

const TJobRow& TJobList::Row(int index) const {
  if (Valid(index) < 0) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return FRows[static_cast<size_t>(index)];
}

TJobRow& TJobList::Row(int index) {
  return const_cast<TJobRow&>(static_cast<const TJobList&>(*this).Row(index));
}

int TJobList::IndexOf(const std::string& sourcePath) const {
  for (int i = 0; i < Count(); ++i)
    if (FRows[static_cast<size_t>(i)].Record.SourceFile == sourcePath) return i;
  return -1;
}

void TJobList::Select(int index) {
  FSelection.clear();
  if (Valid(index) >= 0) FSelection.push_back(index);
}

void TJobList::SelectAll() {
  FSelection.resize(FRows.size());
  for (int i = 0; i < Count(); ++i)
    FSelection[static_cast<size_t>(i)] = i;
}

void TJobList::SetSelection(const std::vector<int>& rows) {
  FSelection.clear();
  for (const int row : rows)
    if (Valid(row) >= 0) FSelection.push_back(row);
  std::sort(FSelection.begin(), FSelection.end());
  FSelection.erase(std::unique(FSelection.begin(), FSelection.end()), FSelection.end());
}

void TJobList::Focus(int index) {
  FFocused = Valid(index);
}

void TJobList::StopPreview() {
  if (OnStopPreview) OnStopPreview();
}

} // namespace kavro
