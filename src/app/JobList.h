// TJobList: the rows of the conversion job list, one per source file, each with its check box, its
// edit record and the texts of its columns; adding, removing, clearing, the check commands, the
// selection and the focused row. The windows show it and the conversion run reads it. No state of
// its own on disk; owner's thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AppDialogs.h"
#include "AppSettings.h"
#include "IniFile.h"
#include "JobRecord.h"

namespace kavro {

class TFFmpegVCL;

// Opens a file far enough to read its duration; false when it cannot be opened.
using TDurationProbe = std::function<bool(const std::string& path, int64_t& durationMicroseconds)>;

// A probe through the task component: a task made for the file only to read its input's duration,
// then removed with every other task of the component.
TDurationProbe ComponentDurationProbe(TFFmpegVCL& component);

// Where a row stands in the run going on, or in the last one: what a start after a crash finds of it.
// Interrupted: it was converting when the program ended without finishing the run.
enum class TRowRunState { Idle, Queued, Converting, Done, Failed, Interrupted };

struct TJobRow {
  TlvFilesRecord Record;
  bool Checked = true;
  // Column texts after the caption (the source path, Record.SourceFile).
  std::string Length;        // whole seconds
  std::string TrimmedLength; // whole seconds; the trim editor rewrites it
  std::string DestName;      // file name part of Record.DestFile
  std::string Progress;      // "", then "n%" during a run, "Error" when its task failed
  std::string Error;         // why the row's task failed; empty otherwise
  TRowRunState RunState = TRowRunState::Idle;
  std::string RunOutput;  // the file the run writes for the row, while it is queued or converting
  int64_t RunStarted = 0; // when that run began, seconds since 1970
};

class TJobList {
public:
  TJobList(TAppSettings& settings, const TIniFile& formats, TAppDialogs& dialogs, TDurationProbe probe);

  // Adds the files in order with the current format's extension and zoom mode; folders, paths that
  // cannot be looked at, paths already listed and files the probe cannot open are skipped without a
  // word. The new rows are checked; afterwards no row is selected. Returns how many were added.
  int AddFiles(const std::vector<std::string>& paths);
  // Removes every selected row and selects the row now at the place of the first of them (or the new
  // last row); an emptied list stops the preview. Nothing happens without a selection.
  void RemoveSelected();
  // Removes every row and stops the preview; nothing happens on an empty list.
  void Clear();

  void CheckAll();
  void UncheckAll();
  void ReverseCheck();
  void CheckFocused();
  void UncheckFocused();
  void SetChecked(int index, bool checked);
  // Indices of the checked rows in list order: row of the n-th task of a run.
  std::vector<int> CheckedIndices() const;

  // The row's task failed: its progress shows "Error" and the reason is kept for the user.
  void MarkFailed(int index, const std::string& reason);
  // Every row's progress, failure and run state emptied, as a new run begins.
  void ClearProgress();
  // The rows of a list kept from an earlier start, in place of every row; nothing selected.
  void Restore(std::vector<TJobRow> rows);

  int Count() const { return static_cast<int>(FRows.size()); }
  const std::vector<TJobRow>& Rows() const { return FRows; }
  bool Empty() const { return FRows.empty(); }
  // Raises std::out_of_range for an index outside the list.
  const TJobRow& Row(int index) const;
  TJobRow& Row(int index);
  // The row with exactly this source path, or -1.
  int IndexOf(const std::string& sourcePath) const;

  // The first selected row, -1 for none.
  int SelectedIndex() const { return FSelection.empty() ? -1 : FSelection.front(); }
  // Selects only this row; an index outside the list selects nothing.
  void Select(int index);
  void SelectAll();
  // Selects these rows; indices outside the list and repeats are dropped.
  void SetSelection(const std::vector<int>& rows);
  // The selected rows in list order.
  std::vector<int> SelectedIndices() const { return FSelection; }
  int FocusedIndex() const { return FFocused; }
  void Focus(int index);

  // Called where the list's changes end the preview (the last row removed, the list cleared).
  std::function<void()> OnStopPreview;

private:
  void StopPreview();
  int Valid(int index) const { return index >= 0 && index < Count() ? index : -1; }

  TAppSettings& FSettings;
  const TIniFile& FFormats;
  TAppDialogs& FDialogs;
  TDurationProbe FProbe;
  std::vector<TJobRow> FRows;
  std::vector<int> FSelection; // ascending, no repeats
  int FFocused = -1;
};

} // namespace kavro
