#include "DialogPreview.h"

#include "FFUtils.h"
#include "PreviewControls.h"
#include "PreviewTrackBar.h"
#include "VideoSurfaceWidget.h"
#include "platform/WideString.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kavro {
namespace {

constexpr int ButtonSize = 28;
constexpr int SeekAnyFrame = 4;

} // namespace

TDialogPreview::TDialogPreview(const char* playName, const char* pauseName, QWidget* parent)
    : QWidget(parent) {
  imgPreview = new TVideoSurfaceWidget(this);
  imgPreview->setObjectName("imgPreview");
  imgPreview->setMinimumSize(160, 120);
  imgPreview->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  const auto makeButton = [this](const char* name, QStyle::StandardPixmap icon, const char* hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(style()->standardIcon(icon));
    button->setToolTip(hint);
    button->setFixedSize(ButtonSize, ButtonSize);
    button->setAutoRaise(true);
    return button;
  };
  FPlayButton = makeButton(playName, QStyle::SP_MediaPlay, "play");
  FPauseButton = makeButton(pauseName, QStyle::SP_MediaPause, "pause");
  trcPreview = new TPreviewTrackBar(this);
  trcPreview->setObjectName("trcPreview");
  trcPreview->setRange(0, 1);
  trcPreview->setTickPosition(QSlider::NoTicks);
  trcPreview->setSingleStep(1);
  lblPTS = new QLabel("Play Time", this);
  lblPTS->setObjectName("lblPTS");
  lblLength = new QLabel("Length", this);
  lblLength->setObjectName("lblLength");

  auto* controls = new QHBoxLayout;
  controls->setSpacing(2);
  controls->addWidget(FPlayButton);
  controls->addWidget(FPauseButton);
  controls->addSpacing(8);
  controls->addWidget(lblPTS, 1);
  controls->addWidget(lblLength, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(imgPreview, 1);
  layout->addWidget(trcPreview);
  layout->addLayout(controls);

  connect(FPlayButton, &QToolButton::clicked, this, [this] { PlayClicked(); });
  connect(FPauseButton, &QToolButton::clicked, this, [this] { PauseClicked(); });
  connect(trcPreview, &TPreviewTrackBar::Released, this, [this] { TrackReleased(); });

  // The handlers touch widgets: they run on the GUI thread, with the player's thread waiting.
  FPlayer.TriggerEventInMainThread = true;
  FPlayer.OnFileOpen = [this](TObject*, int64_t duration, int, int, int& screenWidth, int& screenHeight) {
    FileOpened(duration, screenWidth, screenHeight);
  };
  FPlayer.OnPosition = [this](TObject*, int64_t position) { PositionReported(position); };
  FPlayer.OnState = [this](TObject*, TPlayState state) { StateReported(state); };
  FPlayer.OnHook = [this](TObject*, TBitmap* frame, int64_t pts) {
    if (OnFrame && frame) OnFrame(*frame, pts);
  };
  FPlayButton->setEnabled(false);
  FPauseButton->setEnabled(false);
  trcPreview->setEnabled(false);
}

TDialogPreview::~TDialogPreview() {
  FClosing = true;
  // Reports still on their way are served here and ignored; no player thread outlives the preview.
  Stop(true);
}

bool TDialogPreview::Open(const std::string& file, const std::wstring& libraryFolder, std::string& error) {
  if (!FPlayer.LibrariesLoaded() && !FPlayer.LoadLibraries(libraryFolder)) {
    error = FPlayer.LastErrMsg();
    return false;
  }
  if (!FPlayer.Open(NarrowToWide(file), imgPreview, false)) {
    error = FPlayer.LastErrMsg();
    imgPreview->Clear();
    return false;
  }
  ShowPlaying(true);
  return true;
}

void TDialogPreview::Stop(bool wait) {
  FPlayer.Hook = false;
  FPlayer.Stop(wait);
  FPlaying = false;
}

void TDialogPreview::PlayClicked() {
  if (!FPlayer.IsOpen()) return;
  FPlayer.Resume();
  ShowPlaying(true);
  trcPreview->setEnabled(true);
}

void TDialogPreview::PauseClicked() {
  if (!FPlayer.IsOpen()) return;
  FPlayer.Pause();
  ShowPlaying(false);
}

void TDialogPreview::ShowPlaying(bool playing) {
  if (FPlaying != playing) {
    FPlaying = playing;
    emit PlayingChanged(playing);
  }
  FPlayButton->setEnabled(!playing);
  FPauseButton->setEnabled(playing);
}

void TDialogPreview::FileOpened(int64_t duration, int& screenWidth, int& screenHeight) {
  if (FClosing) return;
  screenWidth = imgPreview->width();
  screenHeight = imgPreview->height();
  FPlayer.Hook = true;
  FDuration = duration;
  lblLength->setText(QString::fromStdString("Duration:    " + TimeText(std::max<int64_t>(0, duration))));
  lblPTS->setText("0.0");
  trcPreview->setMaximum(PreviewTrackMaximum(trcPreview->width()));
  trcPreview->setValue(0);
  trcPreview->SetThumbVisible(duration > 0);
  trcPreview->setEnabled(true);
}

void TDialogPreview::PositionReported(int64_t position) {
  if (FClosing) return;
  lblPTS->setText(QString::fromStdString("Time:    " + PreviewPositionText(position)));
  // The user's hand on the track wins over the player's report.
  if (!trcPreview->isSliderDown() && trcPreview->isEnabled())
    trcPreview->setValue(PreviewTrackPosition(position, FDuration, trcPreview->maximum()));
}

void TDialogPreview::StateReported(TPlayState state) {
  if (FClosing || state != psEnd) return;
  // Reports arrive inside a player call; the rewind waits until that call has returned.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!FClosing && FPlayer.IsOpen()) Rewind();
      },
      Qt::QueuedConnection);
}

void TDialogPreview::Rewind() {
  trcPreview->setValue(0);
  FPlayer.Seek(SeekAnyFrame, false, 0);
  FPlayer.Pause();
  ShowPlaying(false);
  trcPreview->setEnabled(false);
  emit Rewound();
}

void TDialogPreview::TrackReleased() {
  if (!FPlayer.IsOpen()) return;
  FPlayer.Seek(0, false, PreviewSeekTarget(trcPreview->value(), trcPreview->maximum(), FDuration));
}

} // namespace kavro
