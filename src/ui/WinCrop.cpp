#include "WinCrop.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cstring>

#include "AVProbe.h"
#include "ArrowSpinBox.h"
#include "DialogPreview.h"
#include "FileInfoText.h"
#include "OptionBuilder.h"
#include "RectTracker.h"
#include "RunText.h"
#include "VideoSurfaceWidget.h"
#include "WatermarkEditor.h"
#include "platform/WideString.h"

namespace kavro {
namespace {

constexpr int StartWidth = 615;
constexpr int StartHeight = 435;
constexpr int PreviewWidth = 370;
constexpr int PreviewHeight = 253;
constexpr int RefreshMs = 100;
const QColor PreviewBackground(166, 202, 240);

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace

TfrmCrop::TfrmCrop(TlvFilesRecord& row, const TWatermarkTools& tools, const std::wstring& libraryFolder,
                   QWidget* parent)
    : QDialog(parent), FRow(row), FLibraryFolder(libraryFolder), FCrop(row) {
  setObjectName("frmCrop");
  setWindowTitle("Crop");
  resize(StartWidth, StartHeight);
  BuildLayout();
  FDrawing = TRowDrawing::ForPreview(row, tools);
  FPreview->OnFrame = [this](TBitmap& frame, int64_t) {
    if (!FPlaying) return;
    FDrawing->Draw(frame);
    DrawCropRectangle(frame, FCrop.CropTop, FCrop.CropLeft, FCrop.CropBottom, FCrop.CropRight);
    CopyFrame(frame);
  };
  Timer.setInterval(RefreshMs);
  connect(&Timer, &QTimer::timeout, this, &TfrmCrop::TimerTick);
}

TfrmCrop::~TfrmCrop() {
  Timer.stop();
  FPreview->Stop(true);
}

bool TfrmCrop::Edit(QWidget* parent, TlvFilesRecord& row, const TWatermarkTools& tools,
                    const std::wstring& libraryFolder) {
  TfrmCrop dialog(row, tools, libraryFolder, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TfrmCrop::BuildLayout() {
  imgPreview = new QLabel(this);
  imgPreview->setObjectName("imgPreview");
  imgPreview->setFixedSize(PreviewWidth, PreviewHeight);
  imgPreview->setAutoFillBackground(true);
  QPalette background = imgPreview->palette();
  background.setColor(QPalette::Window, PreviewBackground);
  imgPreview->setPalette(background);
  RectTracker = new TRectTracker(imgPreview);
  RectTracker->hide();

  // The player draws into a small surface of its own; the picture the user sees is imgPreview.
  FPreview = new TDialogPreview("imgbtnPlay", "imgbtnpause", this);
  FPreview->Surface().setObjectName("pan1");
  FPreview->Surface().setFixedSize(33, 41);
  FPreview->Surface().hide();

  // Only the arrows change the margins; the geometry keeps them within the picture.
  const auto spin = [this](const char* name) { return MakeArrowSpinBox(this, name, -1, 9999); };
  spedUp = spin("spedUp");
  spedLeft = spin("spedLeft");
  spedDown = spin("spedDown");
  spedRight = spin("spedRight");
  const auto button = [this](const char* name, const char* caption) {
    auto* made = new QPushButton(caption, this);
    made->setObjectName(name);
    return made;
  };
  btnReset = button("btnReset", "Reset");
  btnDefault = button("btnDefault", "&Default");
  btnOk = button("btnOk", "Ok");
  btnCancel = button("btnCancel", "Cancel");
  btnOk->setDefault(true);
  cmbZoom = new QComboBox(this);
  cmbZoom->setObjectName("cmbZoom");
  cmbZoom->addItems({"Full screen", "Letterbox"});
  cmbZoom->hide();
  lblSourceName = new QLabel(this);
  lblSourceName->setObjectName("lblSourceName");

  auto* sizes = new QGroupBox("Crop Size", this);
  auto* grid = new QGridLayout(sizes);
  int line = 0;
  for (auto [caption, edit] :
       {std::pair{"Up", spedUp}, {"Left", spedLeft}, {"Down", spedDown}, {"Right", spedRight}}) {
    grid->addWidget(new QLabel(caption, sizes), line, 0);
    grid->addWidget(edit, line++, 1);
  }
  auto* resets = new QHBoxLayout;
  resets->addWidget(btnReset);
  resets->addWidget(btnDefault);
  grid->addLayout(resets, line, 0, 1, 2);

  auto* source = new QHBoxLayout;
  source->addWidget(new QLabel("Source File:", this));
  source->addWidget(lblSourceName, 1);
  auto* left = new QVBoxLayout;
  left->addWidget(imgPreview);
  left->addWidget(FPreview, 0, Qt::AlignTop);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(sizes);
  right->addStretch(1);
  right->addWidget(btnOk);
  right->addWidget(btnCancel);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(source);
  layout->addLayout(columns, 1);

  connect(spedUp, &QSpinBox::valueChanged, this, [this] { SpinChanged(spedUp, &TCropGeometry::SetUp); });
  connect(spedDown, &QSpinBox::valueChanged, this,
          [this] { SpinChanged(spedDown, &TCropGeometry::SetDown); });
  connect(spedLeft, &QSpinBox::valueChanged, this,
          [this] { SpinChanged(spedLeft, &TCropGeometry::SetLeft); });
  connect(spedRight, &QSpinBox::valueChanged, this,
          [this] { SpinChanged(spedRight, &TCropGeometry::SetRight); });
  connect(RectTracker, &TRectTracker::Dragging, this, &TfrmCrop::TrackerDragging);
  connect(btnReset, &QPushButton::clicked, this, &TfrmCrop::btnResetClick);
  connect(btnDefault, &QPushButton::clicked, this, &TfrmCrop::btnResetClick);
  connect(btnOk, &QPushButton::clicked, this, &TfrmCrop::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Pictures are drawn and shown only while the file plays.
  connect(FPreview, &TDialogPreview::PlayingChanged, this, [this](bool playing) { FPlaying = playing; });
}

void TfrmCrop::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous() || FOpened) return;
  FOpened = true;
  OpenPreview();
}

void TfrmCrop::OpenPreview() {
  cmbZoom->setCurrentIndex(CropZoomIndex(FRow.ZoomMode));
  const std::string& source = FRow.SourceFile;
  lblSourceName->setText(Text(ShortSourceLabel(source)));
  lblSourceName->setToolTip(Text(source));
  std::string error;
  if (!FPreview->Open(source, FLibraryFolder, error)) {
    lblSourceName->setText(Text(source + ": " + error));
    for (const char* name : {"imgbtnPlay", "imgbtnpause"})
      if (auto* control = FPreview->findChild<QWidget*>(name)) control->setEnabled(false);
  } else {
    FPlaying = true;
    if (auto* length = FPreview->findChild<QLabel*>("lblLength"))
      length->setText(Text(DurationText(FPreview->Duration())));
  }
  TAVProbe probe;
  TSourceFacts facts;
  if (probe.LoadFile(NarrowToWide(source))) facts = SourceFactsOf(probe);
  FHasVideo = facts.VideoStreamCount > 0 && facts.Width > 0 && facts.Height > 0;
  FSourceWidth = facts.Width;
  FSourceHeight = facts.Height;
  for (QSpinBox* spin : {spedUp, spedLeft, spedDown, spedRight})
    spin->setEnabled(FHasVideo);
  if (!FHasVideo) {
    FGeometry.Place({}, {});
    ShowGeometry();
    RectTracker->hide();
    Timer.start();
    return;
  }
  // The picture's place in the preview, less a pixel on every side, is where the rectangle moves.
  const TRectangle fitted = FitPicture(FSourceWidth, FSourceHeight, PreviewWidth, PreviewHeight);
  const TRectangle picture{fitted.Left + 1, fitted.Top + 1, fitted.Width - 2, fitted.Height - 2};
  FGeometry.Place(picture, {FRow.CropEditTop, FRow.CropEditLeft, FRow.CropEditBottom, FRow.CropEditRight});
  ShowGeometry();
  RectTracker->show();
  RectTracker->raise();
  Timer.start();
}

void TfrmCrop::ShowGeometry() {
  FUpdating = true;
  const TCropMargins& margins = FGeometry.Margins();
  spedUp->setValue(margins.Up);
  spedLeft->setValue(margins.Left);
  spedDown->setValue(margins.Down);
  spedRight->setValue(margins.Right);
  RectTracker->SetBounds(FGeometry.Tracker());
  FUpdating = false;
}

void TfrmCrop::SpinChanged(QSpinBox* spin, bool (TCropGeometry::*set)(int)) {
  if (FUpdating) return;
  (FGeometry.*set)(spin->value());
  // A refused value is put back; a negative one shows as 0.
  ShowGeometry();
}

void TfrmCrop::TrackerDragging() {
  FGeometry.Dragged(RectTracker->Bounds());
  ShowGeometry();
}

void TfrmCrop::CopyFrame(const TBitmap& frame) {
  // Decode thread: the copy keeps its memory while the size stays.
  const QImage wrapped(frame.ScanLine(0), frame.Width(), frame.Height(), frame.RowStride(),
                       QImage::Format_BGR888);
  std::lock_guard lock(FFrameLock); // the timer reads the copy on the GUI thread
  if (FFrameCopy.size() != wrapped.size()) FFrameCopy = QImage(wrapped.size(), QImage::Format_BGR888);
  for (int y = 0; y < frame.Height(); ++y)
    std::memcpy(FFrameCopy.scanLine(y), frame.ScanLine(y), static_cast<size_t>(frame.Width()) * 3);
  FFrameNew = true;
}

void TfrmCrop::TimerTick() {
  std::unique_lock lock(FFrameLock); // against the decode thread's copy
  // Paused or between pictures: the preview keeps what it shows.
  if (!FFrameNew) return;
  FFrameNew = false;
  QPixmap shown(PreviewWidth, PreviewHeight);
  shown.fill(PreviewBackground);
  {
    const TRectangle fitted =
        FitPicture(FFrameCopy.width(), FFrameCopy.height(), PreviewWidth, PreviewHeight);
    QPainter painter(&shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(fitted.Left, fitted.Top, fitted.Width, fitted.Height), FFrameCopy);
  }
  lock.unlock();
  imgPreview->setPixmap(shown);
}

QImage TfrmCrop::ShownPicture() const {
  return imgPreview->pixmap().toImage();
}

void TfrmCrop::btnResetClick() {
  FGeometry.Reset();
  ShowGeometry();
}

void TfrmCrop::btnOkClick() {
  StoreCrop(FGeometry.Margins(), FSourceWidth, FSourceHeight, FGeometry.Picture(), cmbZoom->currentIndex(),
            FRow);
  accept();
}

void TfrmCrop::done(int result) {
  Timer.stop();
  FPlaying = false;
  FPreview->Stop(true);
  QDialog::done(result);
}

} // namespace kavro
