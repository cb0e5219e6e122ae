// TfrmFileInfo: the window that shows what the media probe reports about one source file. It owns
// a task component of its own, used only to open the file in a task's probe; the task stays until
// the window closes. GUI thread only.
#pragma once

#include "FFmpegVCL.h"
#include "FileInfoText.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kavro {

class TfrmFileInfo : public QDialog {
  Q_OBJECT

public:
  explicit TfrmFileInfo(QWidget* parent = nullptr);

  // Clears the window, probes the file through the own component and fills what it found. False
  // when nothing was found; LastErrMsg then says why.
  bool Load(const std::string& sourceFile);
  // Load, then shows the window modally; closing it clears the component's tasks.
  int ShowFor(const std::string& sourceFile);

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  const TFileInfo& Info() const { return FInfo; }
  TFFmpegVCL& Component() { return CCAVC; }

public slots:
  void done(int result) override;

private:
  void BuildLayout();
  void ShowInfo(const TFileInfo& info);

  QLabel* lblSourceName = nullptr;
  QLabel* lblFileLength = nullptr;
  QLineEdit* edtFormat = nullptr;
  QLineEdit* edtResloution = nullptr;
  QLineEdit* edtFrameRate = nullptr;
  QLineEdit* edtTotalFrame = nullptr;
  QLineEdit* edtBitRate = nullptr;
  QLineEdit* edtAudioForamt = nullptr;
  QLineEdit* edtSampleRate = nullptr;
  QLineEdit* edtChannel = nullptr;
  QLineEdit* edtAudioBitRate = nullptr;
  QPushButton* btn1 = nullptr;

  TFFmpegVCL CCAVC;
  TFileInfo FInfo;
  std::string FLastErrMsg;
};

} // namespace kavro
