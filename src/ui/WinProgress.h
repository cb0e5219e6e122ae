// TfrmProgress: the modal window of a conversion run. It owns the labels of the current report, the
// file progress bar, the preview area with its 100 ms timer, the two end-of-run check boxes and the
// Pause, Resume and Cancel buttons; the main window binds it to the run through the callbacks.
// GUI thread only.
#pragma once

#include "ConversionRun.h"
#include "FileClock.h"
#include "RunText.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QRect>

#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace kavro {

class TBitmap;

// Where a picture of pictureSize goes in the area, keeping its aspect: the full width centred
// vertically, or the full height centred horizontally, with rounded margins.
QRect PreviewPlace(const QSize& area, const QSize& pictureSize);

class TfrmProgress : public QDialog {
  Q_OBJECT

public:
  explicit TfrmProgress(QWidget* parent = nullptr);

  // Readies the window for a run of taskCount files: labels cleared, "Open the output folder"
  // ticked, Pause enabled and Resume not, the preview filled with its background, the bar at 0 and
  // the timer started.
  void Prepare(int taskCount);
  void ShowProgress(const TRunProgress& progress, const TProgressInfo& info);
  // Pause and Resume follow the main window's buttons.
  void ShowButtons(const TRunButtons& buttons);
  // A file has been converted to its end: the bar at 100 and the count of files done.
  void ShowFileDone(int filesDone);
  // The main window's preview picture, drawn by the timer; null for none. It must outlive the
  // window or be replaced first.
  void SetPreviewSource(const TBitmap* bitmap);

  bool OpenFolderWhenDone() const;
  bool ShutDownWhenDone() const;

  std::function<void()> OnPause, OnResume;
  // Closing the window by the user (Cancel, the close box, Escape) stops the run and waits for it.
  std::function<void()> OnStop;
  // The run is over: closes without stopping anything.
  void CloseAtRunEnd();

  // What the preview area shows.
  QImage PreviewImage() const;

  static constexpr QRgb PreviewBackground = 0xffa6caf0; // RGB(166, 202, 240)

signals:
  void SnapRequested();

public slots:
  // Shows the window modally until the run ends or the user closes it; returns at once when the
  // window was closed since Prepare.
  int exec() override;
  void done(int result) override;

private:
  void BuildLayout();
  void SetPaused(bool paused);
  void Timer1Timer();
  void DrawPreview();
  void ShowClock();
  int64_t Now() const;

  QWidget* imgPreview = nullptr;
  QLabel* lblOutput = nullptr;
  QLabel* lblTime = nullptr;
  QLabel* lblLength = nullptr;
  QLabel* lblSize = nullptr;
  QLabel* lblProgress = nullptr;
  QLabel* lblElapsed = nullptr;
  QLabel* lblRemaining = nullptr;
  QLabel* lblFiles = nullptr;
  QProgressBar* progbarFile = nullptr;
  QPushButton* btnPause = nullptr;
  QPushButton* btnResume = nullptr;
  QPushButton* btnCancel = nullptr;
  QCheckBox* ckShutDown = nullptr;
  QCheckBox* ckOpen = nullptr;
  QToolButton* imgbtnSnap = nullptr;
  QTimer* Timer1 = nullptr;

  QImage FPreview;
  const TBitmap* FPreviewSource = nullptr;
  int FTaskCount = 0;
  TFileClock FClock;
  QElapsedTimer FWallClock;
  // Set while the window closes, so a run that ends during OnStop does not close it a second time.
  bool FClosing = false;
  bool FRunEnded = false;
};

} // namespace kavro
