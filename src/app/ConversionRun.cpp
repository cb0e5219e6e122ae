#include "ConversionRun.h"

#include "FormatKeys.h"
#include "FormatProfile.h"
#include "OptionBuilder.h"
#include "OutputNaming.h"
#include "ParameterPanel.h"
#include "platform/MainThread.h"
#include "platform/WideString.h"

namespace kavro {
namespace {

// The engine's thread count for decoders and encoders, as option text of its own line.
void AddThreads(std::string& optionText, int threads) {
  if (!optionText.empty() && optionText.back() != '\n') optionText += "\n";
  optionText += "threads=" + std::to_string(threads < 0 ? 0 : threads);
}

} // namespace

std::string TConversionRun::MakeOwnFolder(const std::string& folder) {
  if (!MakeFolder(folder)) {
    FDialogs.ShowMessage("Cannot create output directory:" + folder, CaptionWarning);
    return "";
  }
  return WithSeparator(folder);
}

TConversionRun::TConversionRun(TFFmpegVCL& component, TAppSettings& settings, const TIniFile& formats,
                               TRunRows& rows, TRunView& view, TDesktop& desktop, TAppDialogs& dialogs)
    : FComponent(component), FSettings(settings), FFormats(formats), FRows(rows), FView(view),
      FDesktop(desktop), FDialogs(dialogs) {
  FComponent.SetPreviewBitmap(true);
  FComponent.OnProgress = [this](TObject*, TProgressInfo* info) { OnProgress(*info); };
  FComponent.OnCustomHook = [this](TObject*, THookInfo* info) { OnCustomHook(*info); };
  FComponent.OnPreviewBitmap = [this](TObject*, const TPreviewInfo& info) {
    if (info.Bitmap && info.Bitmap->Width() > 0 && info.Bitmap->Height() > 0) FView.ShowPreview(*info.Bitmap);
  };
  // Terminations are delivered on a thread of the component's own, possibly after this run is gone;
  // the handler stays installed (replacing it would race with that thread) and checks on the main
  // thread, where this run is destroyed too, that the run still exists.
  FComponent.OnTerminate = [this, alive = FAlive](TObject*, const TTerminateInfo& info) {
    TMainThread::Synchronize([this, alive, info] {
      if (*alive) OnTerminate(info);
    });
  };
}

TConversionRun::~TConversionRun() {
  *FAlive = false;
  // The other handlers run on workers, which the stop ends.
  FComponent.Stop(true);
  FComponent.OnProgress = nullptr;
  FComponent.OnCustomHook = nullptr;
  FComponent.OnPreviewBitmap = nullptr;
}

bool TConversionRun::Start() {
  if (BeforeStart) BeforeStart();
  TThreadPriority priority;
  if (TAppSettings::PriorityToThread(FSettings.Priority(), priority)) FComponent.ThreadPriority = priority;

  int checked = 0;
  for (int row = 0; row < FRows.RowCount(); ++row)
    checked += FRows.RowChecked(row) ? 1 : 0;
  if (checked == 0) {
    FDialogs.ShowMessage("Please select a file by clicking the check box!", CaptionWarning);
    return false;
  }
  FStartTimeMap.clear();
  FStartTimeMap.reserve(static_cast<size_t>(checked));
  FOutputPaths.clear();
  FDrawings.clear();
  FFailures.clear();
  if (StopPreview) StopPreview();
  FComponent.ClearTasks();

  const int formatCode = FormatCode.value_or(FSettings.FormatCode());
  try {
    EnsureFormatChoices(FSettings.Ini(), FFormats, formatCode, FDialogs);
    // A damaged or foreign format file: the profile's defaults apply, and the user hears why.
    if (!FFormats.SectionExists(FormatSection(formatCode)))
      FDialogs.ShowMessage("The format file " + FFormats.FileName() + " has no profile for format " +
                               std::to_string(formatCode) + ": its files are converted with the defaults (." +
                               FileExtOf(FFormats, formatCode) + " files, the encoders of that container).",
                           CaptionWarning);
    const std::string folder =
        OutputFolder ? MakeOwnFolder(*OutputFolder) : FSettings.CheckOutputFolder(FDialogs);
    if (folder.empty()) return false;
    const std::string extension = "." + FileExtOf(FFormats, formatCode);
    for (int row = 0; row < FRows.RowCount(); ++row)
      if (FRows.RowChecked(row)) AddRow(row, formatCode, folder, extension);
  } catch (const TConvertError& e) {
    // A stored choice that is not a number: nothing starts.
    FComponent.ClearTasks();
    FStartTimeMap.clear();
    FOutputPaths.clear();
    FDrawings.clear();
    FDialogs.ShowMessage(e.what(), CaptionInputError);
    return false;
  }
  if (FStartTimeMap.empty()) return false;

  FRunning = true;
  FView.ShowButtons({false, false, false, false, true, true, false});
  FComponent.StartTask(1);
  return true;
}

bool TConversionRun::AddRow(int row, int formatCode, const std::string& folder,
                            const std::string& extension) {
  TlvFilesRecord& record = FRows.RowRecord(row);
  // The row's edits as they are now, with its watermark image read once for the whole task.
  std::unique_ptr<TRowDrawing> drawing;
  if (Drawing && HasSomethingToDraw(record)) {
    std::string error;
    drawing = TRowDrawing::Make(record, *Drawing, error);
    if (!drawing) {
      RowFailed(row, error);
      return false;
    }
  }
  TAVProbe& probe = FComponent.Probe();
  // A source that cannot be opened is reported for its own row and never built from another's data.
  if (!probe.LoadFile(NarrowToWide(record.SourceFile))) {
    RowFailed(row, probe.LastErrMsg());
    return false;
  }
  TInputOptions input;
  input.FileName = NarrowToWide(record.SourceFile);
  input.FileFormat = probe.ForceFormat();
  if (record.TrimStart >= 0) input.StartTime = record.TrimStart;

  const std::string outputPath = MakeOutputName(folder, record.SourceFile, extension);
  record.ZoomMode = FSettings.ZoomMode(formatCode);
  TOutputOptions output;
  output.FileName = NarrowToWide(outputPath);
  const TSourceFacts facts = SourceFactsOf(probe);
  probe.CloseFile();
  TOptionBuilder(FSettings.Ini(), FFormats, FDialogs).BuildOptions(record, formatCode, output, facts, input);
  const int threads = FSettings.Threads();
  AddThreads(input.ExtOptions, threads);
  AddThreads(output.ExtOptions, threads);

  const int task = FComponent.AddTask(NarrowToWide(record.SourceFile), &input);
  if (task < 0) {
    RowFailed(row, FComponent.LastErrMsg());
    return false;
  }
  // Only rows with something to draw pay for the picture's round trip through RGB.
  output.HookEnabled = drawing != nullptr;
  if (!FComponent.SetOutputFile(task, NarrowToWide(outputPath), &output)) {
    RowFailed(row, FComponent.LastErrMsg());
    FComponent.RemoveTask(task);
    return false;
  }
  FStartTimeMap.push_back(row);
  FOutputPaths.push_back(outputPath);
  FDrawings.push_back(std::move(drawing));
  return true;
}

void TConversionRun::RowFailed(int row, const std::string& message) {
  FFailures.emplace_back(row, message);
  FRows.SetRowProgress(row, "Error");
  FView.ShowRowError(row, message);
}

int TConversionRun::RowOfTask(int taskIndex) const {
  if (taskIndex < 0 || taskIndex >= static_cast<int>(FStartTimeMap.size())) return -1;
  return FStartTimeMap[static_cast<size_t>(taskIndex)];
}

void TConversionRun::OnProgress(const TProgressInfo& info) {
  const int row = RowOfTask(info.TaskIndex);
  if (row < 0) return;
  const TRunProgress progress =
      ProgressTexts(info, row, static_cast<int>(FStartTimeMap.size()), FRows.RowRecord(row).SourceFile);
  FRows.SetRowProgress(row, progress.RowText);
  FView.ShowProgress(progress, info);
}

void TConversionRun::OnCustomHook(THookInfo& info) {
  if (RowOfTask(info.TaskIndex) < 0 || !info.Bitmap) return;
  TRowDrawing* drawing = FDrawings[static_cast<size_t>(info.TaskIndex)].get();
  if (!drawing) return;
  info.Bitmap->LockCanvas();
  drawing->Draw(*info.Bitmap);
  info.Bitmap->UnlockCanvas();
}

void TConversionRun::OnTerminate(const TTerminateInfo& info) {
  if (info.TaskIndex < 0) {
    FRunning = false;
    FView.ShowButtons({true, true, true, true, false, false, false});
    FComponent.ClearTasks();
    FView.RunOver();
    return;
  }
  const int row = RowOfTask(info.TaskIndex);
  if (row < 0) return;
  if (info.Exception) {
    RowFailed(row, info.ExceptionMsg);
    return;
  }
  if (!info.Finished) return;
  FRows.SetRowProgress(row, "100%");
  FView.ShowFileDone(row);
  if (info.TaskIndex + 1 != static_cast<int>(FStartTimeMap.size())) return;
  if (FView.OpenFolderWhenDone()) {
    const std::string folder = OutputFolder.value_or(FSettings.OutputDir());
    if (folder.size() > 2) FDesktop.OpenFolder(folder);
  }
  if (FView.ShutDownWhenDone()) FDesktop.PowerOff();
}

void TConversionRun::Stop() {
  FView.ShowButtons({true, false, false, false, false, false, false});
  FComponent.Stop(true);
}

void TConversionRun::Pause() {
  FView.ShowButtons({false, false, false, false, true, false, true});
  FComponent.Pause();
}

void TConversionRun::Resume() {
  FView.ShowButtons({false, false, false, false, true, true, false});
  FComponent.Resume();
}

} // namespace kavro
