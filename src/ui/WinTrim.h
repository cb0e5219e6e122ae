// TfrmTrim: the trim dialog. The row's file plays with the row's watermark, effects and crop
// rectangle drawn on it; the user marks a start and an end while it plays, and Ok stores the range
// in the row. The rules live in TTrimEditor; this class binds the controls to it. GUI thread only,
// but for the preview's drawing on the player's decode thread.
#pragma once

#include <QDialog>

#include <atomic>
#include <memory>
#include <string>

#include "JobList.h"
#include "RowDrawing.h"
#include "TrimEditor.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kavro {

class TDialogPreview;

class TfrmTrim : public QDialog {
  Q_OBJECT

public:
  TfrmTrim(TJobRow& row, const TWatermarkTools& tools, const std::wstring& libraryFolder,
           QWidget* parent = nullptr);
  ~TfrmTrim() override;

  // Shows the dialog modally for the row; true when Ok stored a range into it.
  static bool Edit(QWidget* parent, TJobRow& row, const TWatermarkTools& tools,
                   const std::wstring& libraryFolder);

  const TTrimEditor& Editor() const { return FEditor; }
  TDialogPreview& Preview() { return *FPreview; }
  // Ok, Cancel and closing all end here: the player stops before the dialog closes.
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildLayout();
  void OpenPreview();
  void ShowMarks();
  void FileEnded();
  void btnOk1Click();
  void btnOk2Click();
  void btnResetClick();
  void btnOkClick();

  TJobRow& FRow;
  std::wstring FLibraryFolder;
  TTrimEditor FEditor;
  // Made from the row when the dialog opens; the decode thread draws with it while the file plays.
  std::unique_ptr<TRowDrawing> FDrawing;
  TlvFilesRecord FCrop;
  // Set on the GUI thread at the end of the file, read by the decode thread: nothing is drawn after.
  std::atomic<bool> FEnded{false};
  bool FOpened = false;

  TDialogPreview* FPreview = nullptr;
  QLabel* lblSourceName = nullptr;
  QLineEdit *edtStart = nullptr, *edtEnd = nullptr, *edtTrimLength = nullptr;
  QPushButton *btnOk1 = nullptr, *btnOk2 = nullptr, *btnReset = nullptr, *btnDefault = nullptr;
  QPushButton *btnOk = nullptr, *btnCancel = nullptr;
};

} // namespace kavro
