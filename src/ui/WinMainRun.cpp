// The main window's side of a conversion run: Start, the hidden Stop/Pause/Resume buttons, the
// progress window, and the run's reports reaching the list and that window. Main thread.
#include "JobListModel.h"
#include "RunText.h"
#include "JobListView.h"
#include "WinMain.h"
#include "WinProgress.h"

#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <ctime>

namespace kavro {

void TfrmMain::btnStartClick() {
  if (FRun->Running()) return;
  FList.ClearProgress();
  lvFiles->Model().Reset();
  lvFiles->SyncFromList();
  FFilesDone = 0;
  FFilesFailed = 0;
  if (!FRun->Start()) {
    ListChanged();
    return;
  }
  lvFiles->Model().Reset();
  lvFiles->SyncFromList();
  MarkRunRows();
  if (!FProgress) {
    FProgress = new TfrmProgress(this);
    FProgress->OnPause = [this] { btnPauseClick(); };
    FProgress->OnResume = [this] { btnResumeClick(); };
    FProgress->OnStop = [this] { btnStopClick(); };
    connect(FProgress, &TfrmProgress::SnapRequested, this, &TfrmMain::SnapRun);
  }
  FProgress->Prepare(static_cast<int>(FRun->StartTimeMap().size()));
  FProgress->SetPreviewSource(&FPreviewBitmap);
  ShowButtons({false, false, false, false, true, true, false});
  // The run may already be over when its terminations were served before the window could show.
  if (FRun->Running()) {
    if (OnProgressShown) QTimer::singleShot(0, this, [this] { OnProgressShown(*FProgress); });
    FProgress->exec();
  }
  ListChanged();
}

void TfrmMain::btnStopClick() {
  if (FRun->Running()) FRun->Stop();
}

void TfrmMain::btnPauseClick() {
  if (FRun->Running()) FRun->Pause();
}

void TfrmMain::btnResumeClick() {
  if (FRun->Running()) FRun->Resume();
}

void TfrmMain::MarkRunRows() {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const std::vector<int>& rows = FRun->StartTimeMap();
  for (size_t task = 0; task < rows.size(); ++task) {
    TJobRow& row = FList.Row(rows[task]);
    row.RunState = TRowRunState::Queued;
    row.RunOutput = FRun->OutputPaths()[task];
    row.RunStarted = now;
  }
  SaveList();
}

void TfrmMain::SetRunState(int row, TRowRunState state) {
  if (row < 0 || row >= FList.Count() || FList.Row(row).RunState == state) return;
  FList.Row(row).RunState = state;
  if (state != TRowRunState::Converting) FList.Row(row).RunOutput.clear();
  SaveList();
}

void TfrmMain::ShowProgress(const TRunProgress& progress, const TProgressInfo& info) {
  if (FList.Row(progress.Row).RunState == TRowRunState::Queued)
    SetRunState(progress.Row, TRowRunState::Converting);
  lvFiles->Model().RowChanged(progress.Row);
  if (FProgress) FProgress->ShowProgress(progress, info);
}

void TfrmMain::ShowRowError(int row, const std::string& message) {
  ++FFilesFailed;
  FList.MarkFailed(row, message);
  lvFiles->Model().RowChanged(row);
  SaveList();
}

void TfrmMain::ShowButtons(const TRunButtons& buttons) {
  btnAdd->setEnabled(buttons.Add);
  btnRemove->setEnabled(buttons.Remove);
  btnClear->setEnabled(buttons.Clear);
  btnStart->setEnabled(buttons.Start);
  SpeedButton1->setEnabled(buttons.Start);
  btnStop->setEnabled(buttons.Stop);
  btnPause->setEnabled(buttons.Pause);
  btnResume->setEnabled(buttons.Resume);
  if (FProgress) FProgress->ShowButtons(buttons);
}

void TfrmMain::ShowFileDone(int row) {
  SetRunState(row, TRowRunState::Done);
  lvFiles->Model().RowChanged(row);
  if (FProgress) FProgress->ShowFileDone(++FFilesDone);
}

void TfrmMain::RunOver() {
  // Rows the run never finished were stopped: the engine took back what they had written.
  for (int row = 0; row < FList.Count(); ++row) {
    TJobRow& listed = FList.Row(row);
    if (listed.RunState == TRowRunState::Queued || listed.RunState == TRowRunState::Converting) {
      listed.RunState = TRowRunState::Idle;
      listed.RunOutput.clear();
    }
  }
  if (FProgress && FProgress->isVisible()) FProgress->CloseAtRunEnd();
  ListChanged();
  if (!ApplicationActive()) FDesktop.Notify(FGlobal.Title(), BatchSummary(FFilesDone, FFilesFailed));
}

void TfrmMain::ShowPreview(const TBitmap& bitmap) {
  FPreviewBitmap.SetSize(bitmap.Width(), bitmap.Height());
  const size_t rowBytes = static_cast<size_t>(bitmap.Width()) * 3;
  for (int y = 0; y < bitmap.Height(); ++y)
    std::memcpy(FPreviewBitmap.ScanLine(y), bitmap.ScanLine(y), rowBytes);
}

bool TfrmMain::OpenFolderWhenDone() const {
  return FProgress && FProgress->OpenFolderWhenDone();
}

bool TfrmMain::ShutDownWhenDone() const {
  return FProgress && FProgress->ShutDownWhenDone();
}

} // namespace kavro
