#include "WinProgress.h"

#include "platform/Bitmap.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace kavro {
namespace {

constexpr int PreviewWidth = 389;
constexpr int PreviewHeight = 210;
constexpr int TimerInterval = 100;

// Paints the window's preview picture; the picture is drawn by the window's timer, not here.
class TPreviewArea : public QWidget {
public:
  TPreviewArea(const QImage& image, QWidget* parent) : QWidget(parent), FImage(image) {
    setFixedSize(image.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, FImage); }

private:
  const QImage& FImage;
};

QLabel* AddValue(QGridLayout* grid, int row, int column, const char* caption, const char* name,
                 QWidget* parent, int columnSpan = 1) {
  auto* value = new QLabel(parent);
  value->setObjectName(name);
  value->setMinimumWidth(1);
  grid->addWidget(new QLabel(QString::fromUtf8(caption), parent), row, column);
  grid->addWidget(value, row, column + 1, 1, columnSpan);
  return value;
}

} // namespace

QRect PreviewPlace(const QSize& area, const QSize& pictureSize) {
  if (area.isEmpty() || pictureSize.isEmpty()) return {};
  const double a = double(pictureSize.width()) / area.width();
  const double b = double(pictureSize.height()) / area.height();
  if (a >= b) {
    const int margin = static_cast<int>(std::lround((area.height() - pictureSize.height() / a) / 2));
    return QRect(0, margin, area.width(), area.height() - 2 * margin);
  }
  const int margin = static_cast<int>(std::lround((area.width() - pictureSize.width() / b) / 2));
  return QRect(margin, 0, area.width() - 2 * margin, area.height());
}

TfrmProgress::TfrmProgress(QWidget* parent)
    : QDialog(parent), FPreview(PreviewWidth, PreviewHeight, QImage::Format_RGB32) {
  setObjectName("frmProgress");
  setWindowTitle("Converting");
  setModal(true);
  FPreview.fill(PreviewBackground);
  BuildLayout();
  resize(450, 490);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(TimerInterval);
  connect(Timer1, &QTimer::timeout, this, &TfrmProgress::Timer1Timer);
  connect(btnPause, &QPushButton::clicked, this, [this] {
    SetPaused(true);
    if (OnPause) OnPause();
  });
  connect(btnResume, &QPushButton::clicked, this, [this] {
    SetPaused(false);
    if (OnResume) OnResume();
  });
  connect(btnCancel, &QPushButton::clicked, this, &TfrmProgress::reject);
  connect(imgbtnSnap, &QToolButton::clicked, this, &TfrmProgress::SnapRequested);
  FWallClock.start();
}

void TfrmProgress::BuildLayout() {
  imgPreview = new TPreviewArea(FPreview, this);
  imgPreview->setObjectName("imgPreview");

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  lblOutput = AddValue(grid, 0, 0, "File:", "lblOutput", this, 3);
  lblTime = AddValue(grid, 1, 0, "Current Time:", "lblTime", this);
  lblElapsed = AddValue(grid, 1, 2, "Elapsed Time:", "lblElapsed", this);
  lblLength = AddValue(grid, 2, 0, "Length:", "lblLength", this);
  lblRemaining = AddValue(grid, 2, 2, "Remaining Time:", "lblRemaining", this);
  lblSize = AddValue(grid, 3, 0, "File Size:", "lblSize", this);
  lblFiles = AddValue(grid, 3, 2, "Done:", "lblFiles", this);
  lblProgress = AddValue(grid, 4, 0, "Progress:", "lblProgress", this);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  progbarFile = new QProgressBar(this);
  progbarFile->setObjectName("progbarFile");
  progbarFile->setRange(0, 100);
  progbarFile->setTextVisible(true);

  ckShutDown = new QCheckBox("Shut down computer after conversion", this);
  ckShutDown->setObjectName("ckShutDown");
  ckOpen = new QCheckBox("Open the output folder after conversion", this);
  ckOpen->setObjectName("ckOpen");

  imgbtnSnap = new QToolButton(this);
  imgbtnSnap->setObjectName("imgbtnSnap");
  imgbtnSnap->setToolTip("Save snapshot picture");
  imgbtnSnap->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  imgbtnSnap->setAutoRaise(true);
  btnPause = new QPushButton("Pause", this);
  btnPause->setObjectName("btnPause");
  btnResume = new QPushButton("Resume", this);
  btnResume->setObjectName("btnResume");
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");
  // Enter must not cancel a run.
  for (QPushButton* button : {btnPause, btnResume, btnCancel})
    button->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(imgbtnSnap);
  buttons->addStretch(1);
  buttons->addWidget(btnPause);
  buttons->addWidget(btnResume);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(imgPreview, 0, Qt::AlignHCenter);
  layout->addLayout(grid);
  layout->addWidget(progbarFile);
  layout->addWidget(ckShutDown);
  layout->addWidget(ckOpen);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

void TfrmProgress::Prepare(int taskCount) {
  FTaskCount = taskCount;
  FClosing = false;
  FRunEnded = false;
  for (QLabel* label : {lblTime, lblSize, lblLength, lblProgress, lblOutput, lblElapsed, lblRemaining})
    label->clear();
  lblFiles->setText(QString("File 0 of %1").arg(taskCount));
  ckOpen->setChecked(true);
  // A tick left from an earlier run must not power the computer off at the end of this one.
  ckShutDown->setChecked(false);
  btnPause->setEnabled(true);
  btnResume->setEnabled(false);
  FPreview.fill(PreviewBackground);
  imgPreview->update();
  progbarFile->setValue(0);
  FClock.Reset();
  Timer1->start();
}

void TfrmProgress::ShowProgress(const TRunProgress& progress, const TProgressInfo& info) {
  lblOutput->setText(QString::fromStdString(progress.FileLabel));
  lblTime->setText(QString::fromStdString(progress.TimeLabel));
  lblLength->setText(QString::fromStdString(progress.LengthLabel));
  lblSize->setText(QString::fromStdString(progress.SizeLabel));
  lblProgress->setText(QString::fromStdString(progress.TaskLabel));
  progbarFile->setValue(progress.Percent);
  FClock.Report(info.TaskIndex, info.CurrentDuration, info.TotalDuration, Now());
  ShowClock();
}

void TfrmProgress::ShowButtons(const TRunButtons& buttons) {
  btnPause->setEnabled(buttons.Pause);
  btnResume->setEnabled(buttons.Resume);
  if (buttons.Resume && !buttons.Pause) FClock.Pause(Now());
  if (buttons.Pause) FClock.Resume(Now());
}

void TfrmProgress::ShowFileDone(int filesDone) {
  progbarFile->setValue(100);
  lblFiles->setText(QString("File %1 of %2").arg(filesDone).arg(FTaskCount));
  FClock.FileDone(Now());
  ShowClock();
}

void TfrmProgress::SetPreviewSource(const TBitmap* bitmap) {
  FPreviewSource = bitmap;
}

bool TfrmProgress::OpenFolderWhenDone() const {
  return ckOpen->isChecked();
}

bool TfrmProgress::ShutDownWhenDone() const {
  return ckShutDown->isChecked();
}

void TfrmProgress::CloseAtRunEnd() {
  FRunEnded = true;
  done(QDialog::Accepted);
}

QImage TfrmProgress::PreviewImage() const {
  return FPreview;
}

int TfrmProgress::exec() {
  // A short run can end before the window gets to show: then there is nothing to wait for.
  if (FClosing) return result();
  return QDialog::exec();
}

void TfrmProgress::done(int result) {
  // The run may end while OnStop waits for it and close the window from inside; once is enough.
  if (FClosing) return;
  FClosing = true;
  Timer1->stop();
  if (!FRunEnded && OnStop) OnStop();
  QDialog::done(result);
}

void TfrmProgress::SetPaused(bool paused) {
  btnPause->setEnabled(!paused);
  btnResume->setEnabled(paused);
  if (paused)
    FClock.Pause(Now());
  else
    FClock.Resume(Now());
}

void TfrmProgress::Timer1Timer() {
  DrawPreview();
  ShowClock();
}

void TfrmProgress::DrawPreview() {
  const TBitmap* source = FPreviewSource;
  if (!source || source->Width() <= 0 || source->Height() <= 0) return;
  // The picture is written on this thread too, but a hook may hold its canvas: skip a tick then
  // rather than wait.
  auto* canvas = const_cast<TBitmap*>(source);
  if (!canvas->TryLockCanvas()) return;
  const QImage picture(source->ScanLine(0), source->Width(), source->Height(), source->RowStride(),
                       QImage::Format_BGR888);
  QPainter painter(&FPreview);
  painter.fillRect(FPreview.rect(), QColor::fromRgb(PreviewBackground));
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(PreviewPlace(FPreview.size(), picture.size()), picture);
  painter.end();
  canvas->UnlockCanvas();
  imgPreview->update();
}

void TfrmProgress::ShowClock() {
  if (!FClock.Started()) return;
  const int64_t now = Now();
  const QString elapsed = QString::fromStdString(ClockText(FClock.Elapsed(now)));
  const QString remaining = QString::fromStdString(ClockText(FClock.Remaining(now)));
  if (lblElapsed->text() != elapsed) lblElapsed->setText(elapsed);
  if (lblRemaining->text() != remaining) lblRemaining->setText(remaining);
}

int64_t TfrmProgress::Now() const {
  return FWallClock.nsecsElapsed() / 1000;
}

} // namespace kavro
