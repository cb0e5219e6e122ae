// TConversionRun: turns the checked rows of the job list into tasks of the task component, runs them
// one after another and reacts to the component's events. Windows and the command line supply the
// rows, a view and the desktop actions through the small interfaces below.
//
// Threads: Start, Stop, Pause and Resume on the main thread. Progress and preview pictures arrive on
// the main thread (the component hands them there); the custom hook runs on the worker thread and
// only reads the row's record; terminations are carried over to the main thread before they touch
// rows or the view.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppDialogs.h"
#include "AppSettings.h"
#include "FFmpegVCL.h"
#include "JobRecord.h"
#include "RowDrawing.h"
#include "RunText.h"

namespace kavro {

// The rows of the job list as the run sees them.
class TRunRows {
public:
  virtual ~TRunRows() = default;
  virtual int RowCount() const = 0;
  virtual bool RowChecked(int row) const = 0;
  virtual TlvFilesRecord& RowRecord(int row) = 0;
  // The "Progress" column.
  virtual void SetRowProgress(int row, const std::string& text) = 0;
};

// What the progress window and the main window's buttons show.
struct TRunButtons {
  bool Add = true, Remove = true, Clear = true, Start = true;
  bool Stop = false, Pause = false, Resume = false;
};

class TRunView {
public:
  virtual ~TRunView() = default;
  // The texts of a report, and the report itself for views that show more.
  virtual void ShowProgress(const TRunProgress& progress, const TProgressInfo& info) = 0;
  // A task that ended on an error, or a row that could not become a task: the row and the reason.
  virtual void ShowRowError(int row, const std::string& message) = 0;
  virtual void ShowButtons(const TRunButtons& buttons) = 0;
  // The last task has finished: the progress bar at 100.
  virtual void ShowFileDone(int row) = 0;
  // Every task is over: the progress window closes.
  virtual void RunOver() = 0;
  virtual void ShowPreview(const TBitmap& bitmap) { (void)bitmap; }
  // The progress window's two check boxes.
  virtual bool OpenFolderWhenDone() const { return false; }
  virtual bool ShutDownWhenDone() const { return false; }
};

// Actions on the desktop, so tests never open windows or power anything off.
class TDesktop {
public:
  virtual ~TDesktop() = default;
  virtual void OpenFolder(const std::string& folder) = 0;
  virtual void PowerOff() = 0;
  // A notification of the desktop's, where the desktop has a service showing them; nothing otherwise.
  virtual void Notify(const std::string& summary, const std::string& body) {
    (void)summary;
    (void)body;
  }
};

class TConversionRun {
public:
  TConversionRun(TFFmpegVCL& component, TAppSettings& settings, const TIniFile& formats, TRunRows& rows,
                 TRunView& view, TDesktop& desktop, TAppDialogs& dialogs);
  ~TConversionRun();

  // Builds a task for every checked row and starts them; false when nothing was started (no checked
  // row, a conversion error in the settings, or no row could become a task).
  bool Start();
  void Stop();
  void Pause();
  void Resume();
  bool Running() const { return FRunning; }

  // The format code to convert to; by default the stored current format.
  std::optional<int> FormatCode;
  // An output folder that replaces the stored one for this run (the command line's --out).
  std::optional<std::string> OutputFolder;
  // Runs before anything else at Start: the window checks its frame size field here.
  std::function<void()> BeforeStart;
  // Stops the preview player.
  std::function<void()> StopPreview;
  // What draws rows' watermarks and effects on their pictures; without it every row converts as if
  // it had nothing to draw.
  const TWatermarkTools* Drawing = nullptr;

  // Entry n: the row of task n.
  const std::vector<int>& StartTimeMap() const { return FStartTimeMap; }
  // Entry n: the output file of task n.
  const std::vector<std::string>& OutputPaths() const { return FOutputPaths; }
  // The reasons of the rows that failed in the last run, by row.
  const std::vector<std::pair<int, std::string>>& Failures() const { return FFailures; }

private:
  // The run's own output folder, made when missing; empty with the message when it cannot be.
  std::string MakeOwnFolder(const std::string& folder);
  bool AddRow(int row, int formatCode, const std::string& folder, const std::string& extension);
  void RowFailed(int row, const std::string& message);
  int RowOfTask(int taskIndex) const;
  void OnProgress(const TProgressInfo& info);
  void OnCustomHook(THookInfo& info);
  void OnTerminate(const TTerminateInfo& info);

  TFFmpegVCL& FComponent;
  TAppSettings& FSettings;
  const TIniFile& FFormats;
  TRunRows& FRows;
  TRunView& FView;
  TDesktop& FDesktop;
  TAppDialogs& FDialogs;
  std::string FOutputFolder;
  // Written by Start on the main thread before the worker starts, read by the worker's hook; not
  // changed while tasks run.
  std::vector<int> FStartTimeMap;
  std::vector<std::string> FOutputPaths;
  // Entry n: what task n draws, null when it draws nothing; each entry is used by its worker only.
  std::vector<std::unique_ptr<TRowDrawing>> FDrawings;
  std::vector<std::pair<int, std::string>> FFailures;
  bool FRunning = false;
  // False once the run is destroyed; read by late terminations on the main thread.
  std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

} // namespace kavro
