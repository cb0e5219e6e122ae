// TfrmCrop: the crop dialog. The row's file plays with its edits drawn on it; the last picture is
// shown fitted into the preview every 100 ms with the crop rectangle on top, which the mouse or the
// four margin spin edits move. Ok stores the margins as entered and as even source pixels. The rules
// live in CropEditor.h; this class binds the controls to them. GUI thread only, but for the drawing
// on the player's decode thread.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "CropEditor.h"
#include "RowDrawing.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kavro {

class TDialogPreview;
class TRectTracker;

class TfrmCrop : public QDialog {
  Q_OBJECT

public:
  TfrmCrop(TlvFilesRecord& row, const TWatermarkTools& tools, const std::wstring& libraryFolder,
           QWidget* parent = nullptr);
  ~TfrmCrop() override;

  // Shows the dialog modally for the row; true when Ok stored the margins into it.
  static bool Edit(QWidget* parent, TlvFilesRecord& row, const TWatermarkTools& tools,
                   const std::wstring& libraryFolder);

  const TCropGeometry& Geometry() const { return FGeometry; }
  TDialogPreview& Preview() { return *FPreview; }
  TRectTracker& Tracker() { return *RectTracker; }
  // The picture the timer shows last, in the preview's own coordinates.
  QImage ShownPicture() const;
  // Ok, Cancel and closing all end here: the player stops, waiting, before the dialog closes.
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildLayout();
  void OpenPreview();
  void ShowGeometry();
  void SpinChanged(QSpinBox* spin, bool (TCropGeometry::*set)(int));
  void TrackerDragging();
  void CopyFrame(const TBitmap& frame);
  void TimerTick();
  void btnResetClick();
  void btnOkClick();

  TlvFilesRecord& FRow;
  std::wstring FLibraryFolder;
  TCropGeometry FGeometry;
  int FSourceWidth = 0;
  int FSourceHeight = 0;
  bool FHasVideo = false;
  bool FOpened = false;
  // The spin edits are being set by code: their change handlers keep out.
  bool FUpdating = false;
  std::unique_ptr<TRowDrawing> FDrawing;
  TlvFilesRecord FCrop;
  // Set on the GUI thread, read by the decode thread: pictures are drawn and copied only while playing.
  std::atomic<bool> FPlaying{false};
  // The last drawn picture: written by the decode thread, read by the timer on the GUI thread.
  mutable std::mutex FFrameLock;
  QImage FFrameCopy;
  bool FFrameNew = false;

  TDialogPreview* FPreview = nullptr;
  QLabel* imgPreview = nullptr;
  TRectTracker* RectTracker = nullptr;
  QSpinBox *spedUp = nullptr, *spedLeft = nullptr, *spedDown = nullptr, *spedRight = nullptr;
  QPushButton *btnReset = nullptr, *btnDefault = nullptr, *btnOk = nullptr, *btnCancel = nullptr;
  QComboBox* cmbZoom = nullptr;
  QLabel* lblSourceName = nullptr;
  QTimer Timer;
};

} // namespace kavro
