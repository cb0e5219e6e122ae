#include "PreviewPanel.h"

#include "AppSettings.h"
#include "PreviewTrackBar.h"
#include "VideoSurfaceWidget.h"
#include "platform/ProgramPaths.h"
#include "platform/WideString.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kavro {
namespace {

constexpr int EndCheckInterval = 100; // ms
constexpr int ButtonSize = 28;

// A camera drawn in the palette's text colour: no standard icon says "take a picture".
QIcon SnapIcon(const QPalette& palette) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette.color(QPalette::ButtonText), 1.2));
  painter.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
  painter.drawRect(QRectF(5.5, 2.5, 5, 2));
  painter.drawEllipse(QPointF(8, 9), 2.6, 2.6);
  return QIcon(pixmap);
}

} // namespace

// The player with its description of the open file, which the log shows when a file opens.
class TPreviewPanel::TPlayer : public TFFPlayer {
public:
  std::string Description() { return FProbe.GetInfoText(); }
};

TPreviewPanel::TPreviewPanel(TAppSettings& settings, QWidget* parent)
    : QGroupBox(parent), FSettings(settings), FPlayer(std::make_unique<TPlayer>()) {
  setObjectName("suiGroupBox1");
  setTitle("Preview");
  BuildControls();
  BindPlayer();
  ShowStopped();
}

TPreviewPanel::~TPreviewPanel() {
  FClosing = true;
  FEndTimer->stop();
  // Reports still on their way are served here and ignored; no player thread outlives the panel.
  FPlayer->Stop(true);
}

void TPreviewPanel::BuildControls() {
  pan1 = new TVideoSurfaceWidget(this);
  pan1->setObjectName("pan1");
  pan1->setMinimumSize(240, 180);
  pan1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  const auto makeButton = [this](const char* name, const QIcon& icon, const char* hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setToolTip(hint);
    button->setFixedSize(ButtonSize, ButtonSize);
    button->setAutoRaise(true);
    return button;
  };
  imgbtnPlay = makeButton("imgbtnPlay", style()->standardIcon(QStyle::SP_MediaPlay), "play");
  imgbtnPAuse = makeButton("imgbtnPAuse", style()->standardIcon(QStyle::SP_MediaPause), "pause");
  imgbtnStop = makeButton("imgbtnStop", style()->standardIcon(QStyle::SP_MediaStop), "stop");
  imgbtnSnap = makeButton("imgbtnSnap", SnapIcon(palette()), "capture image");

  trcPreview = new TPreviewTrackBar(this);
  trcPreview->setObjectName("trcPreview");
  trcPreview->setRange(0, 1);
  lblTime = new QLabel(PreviewIdleTime, this);
  lblTime->setObjectName("lblTime");
  lblPTS = new QLabel(PreviewIdleTime, this);
  lblPTS->setObjectName("lblPTS");

  trcVolume = new TPreviewTrackBar(this);
  trcVolume->setObjectName("trcVolume");
  trcVolume->setRange(0, 128);
  trcVolume->setValue(FSettings.PreviewVolume());
  trcVolume->setToolTip("volume");
  ckMute = new QCheckBox("Mute", this);
  ckMute->setObjectName("ckMute");
  ckMute->setChecked(FSettings.Mute());

  mmoLog = new QPlainTextEdit(this);
  mmoLog->setObjectName("mmoLog");
  mmoLog->setReadOnly(true);
  mmoLog->hide();

  FEndTimer = new QTimer(this);
  FEndTimer->setInterval(EndCheckInterval);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(2);
  for (QToolButton* button : {imgbtnPlay, imgbtnPAuse, imgbtnStop, imgbtnSnap})
    buttons->addWidget(button);
  buttons->addSpacing(8);
  buttons->addWidget(lblTime);
  buttons->addWidget(new QLabel("/", this));
  buttons->addWidget(lblPTS);
  buttons->addStretch(1);

  auto* sound = new QHBoxLayout;
  auto* volumeIcon = new QLabel(this);
  volumeIcon->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
  sound->addWidget(volumeIcon);
  sound->addWidget(trcVolume, 1);
  sound->addWidget(ckMute);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pan1, 1);
  layout->addWidget(trcPreview);
  layout->addLayout(buttons);
  layout->addLayout(sound);
  layout->addWidget(mmoLog);

  connect(imgbtnPlay, &QToolButton::clicked, this, [this] { PlayClicked(); });
  connect(imgbtnPAuse, &QToolButton::clicked, this, [this] { PauseClicked(); });
  connect(imgbtnStop, &QToolButton::clicked, this, [this] { StopPreview(); });
  connect(imgbtnSnap, &QToolButton::clicked, this, [this] { emit SnapRequested(); });
  connect(trcPreview, &TPreviewTrackBar::Released, this, [this] { TrackReleased(); });
  connect(FEndTimer, &QTimer::timeout, this, [this] { CheckTrackEnd(); });
  connect(trcVolume, &QSlider::valueChanged, this, [this](int volume) { VolumeChanged(volume); });
  connect(trcVolume, &TPreviewTrackBar::Released, this, [this] { StoreVolume(); });
  connect(ckMute, &QCheckBox::clicked, this, [this](bool mute) { MuteClicked(mute); });
}

void TPreviewPanel::BindPlayer() {
  TFFPlayer& player = *FPlayer;
  // The handlers touch widgets: they must run on the GUI thread, with the player's thread waiting.
  player.TriggerEventInMainThread = true;
  player.AudioVolume = trcVolume->value();
  player.Mute = ckMute->isChecked();
  player.OnFileOpen = [this](TObject*, int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                             int& screenHeight) {
    FileOpened(duration, frameWidth, frameHeight, screenWidth, screenHeight);
  };
  player.OnPosition = [this](TObject*, int64_t position) { PositionReported(position); };
  player.OnState = [this](TObject*, TPlayState state) { StateReported(state); };
}

TFFPlayer& TPreviewPanel::Player() {
  return *FPlayer;
}

TVideoSurfaceWidget& TPreviewPanel::Surface() {
  return *pan1;
}

QPlainTextEdit* TPreviewPanel::Log() const {
  return mmoLog;
}

bool TPreviewPanel::IsOpen() const {
  return FPlayer->IsOpen();
}

bool TPreviewPanel::LoadLibraries() {
  if (FPlayer->LibrariesLoaded()) return true;
  if (FPlayer->LoadLibraries(NarrowToWide(ProgramFolder() + "LibAV"))) return true;
  AddLog(FPlayer->LastErrMsg());
  return false;
}

void TPreviewPanel::Play(const std::string& file) {
  if (file.empty() || !LoadLibraries()) return;
  // The last file is closed first; what it still reports meanwhile belongs to an older generation.
  FPlayer->Stop(true);
  ShowStopped();
  FPlayer->AudioVolume = trcVolume->value();
  FPlayer->Mute = ckMute->isChecked();
  const bool opened = FPlayer->Open(NarrowToWide(file), pan1, false);
  if (!opened) {
    AddLog(FPlayer->LastErrMsg());
    pan1->Clear();
    return;
  }
  // Only now: a stop the last file asked for while it closed must find itself outdated.
  ++FGeneration;
  ShowMode(pmPlaying);
}

void TPreviewPanel::PlayClicked() {
  if (FMode == pmPaused && FPlayer->IsOpen()) {
    FPlayer->Resume();
    ShowMode(pmPlaying);
    return;
  }
  const std::string file = ChooseFileToPlay ? ChooseFileToPlay() : std::string();
  if (!file.empty()) Play(file);
}

void TPreviewPanel::PauseClicked() {
  if (FMode != pmPlaying) return;
  FPlayer->Pause();
  ShowMode(pmPaused);
}

void TPreviewPanel::StopPreview() {
  ++FGeneration;
  FPlayer->Stop(true);
  // The last picture goes with its file.
  if (!FPlayer->IsOpen()) pan1->Clear();
  ShowStopped();
}

void TPreviewPanel::StopLater() {
  const unsigned generation = FGeneration;
  QMetaObject::invokeMethod(
      this,
      [this, generation] {
        if (generation == FGeneration && FMode != pmStopped) StopPreview();
      },
      Qt::QueuedConnection);
}

void TPreviewPanel::ShowMode(TPreviewMode mode) {
  FMode = mode;
  const TPreviewEnabling enabling = PreviewEnabling(mode);
  imgbtnPlay->setEnabled(enabling.Play);
  imgbtnPAuse->setEnabled(enabling.Pause);
  imgbtnStop->setEnabled(enabling.Stop);
  imgbtnSnap->setEnabled(enabling.Snap);
  trcPreview->setEnabled(enabling.Track);
  if (mode == pmStopped)
    FEndTimer->stop();
  else if (!FEndTimer->isActive())
    FEndTimer->start();
  emit StateChanged();
}

void TPreviewPanel::ShowStopped() {
  FDuration = 0;
  trcPreview->setValue(0);
  lblTime->setText(PreviewIdleTime);
  lblPTS->setText(PreviewIdleTime);
  ShowMode(pmStopped);
}

void TPreviewPanel::AddLog(const std::string& text) {
  mmoLog->appendPlainText(QString::fromStdString(text));
}

void TPreviewPanel::FileOpened(int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                               int& screenHeight) {
  if (FClosing) return;
  AddLog(FPlayer->Description());
  AddLog(PreviewOpenText(duration, frameWidth, frameHeight));
  screenWidth = pan1->width();
  screenHeight = pan1->height();
  FDuration = duration;
  lblPTS->setText(QString::fromStdString(PreviewDurationText(duration)));
  trcPreview->setMaximum(PreviewTrackMaximum(trcPreview->width()));
  trcPreview->setValue(0);
  trcPreview->SetThumbVisible(duration != 0);
}

void TPreviewPanel::PositionReported(int64_t position) {
  if (FClosing || FMode == pmStopped) return;
  lblTime->setText(QString::fromStdString(PreviewPositionText(position)));
  // The user's hand on the track wins over the player's report.
  if (!trcPreview->isSliderDown())
    trcPreview->setValue(PreviewTrackPosition(position, FDuration, trcPreview->maximum()));
}

void TPreviewPanel::StateReported(TPlayState state) {
  if (FClosing || FMode == pmStopped) return;
  // At the end, or when the player gave up the file by itself, the preview goes back to the start.
  if (state == psEnd || state == psStop) StopLater();
}

void TPreviewPanel::TrackReleased() {
  if (FMode == pmStopped || !FPlayer->IsOpen()) return;
  FPlayer->Seek(0, false, PreviewSeekTarget(trcPreview->value(), trcPreview->maximum(), FDuration));
}

void TPreviewPanel::CheckTrackEnd() {
  if (FMode == pmStopped || FDuration <= 0 || trcPreview->isSliderDown()) return;
  if (trcPreview->value() >= trcPreview->maximum()) StopPreview();
}

void TPreviewPanel::VolumeChanged(int volume) {
  FPlayer->AudioVolume = volume;
  // A drag is stored when it ends; keys and the wheel move the track without a release.
  if (!trcVolume->isSliderDown()) StoreVolume();
}

void TPreviewPanel::StoreVolume() {
  FSettings.SetPreviewVolume(trcVolume->value());
}

void TPreviewPanel::MuteClicked(bool mute) {
  FPlayer->Mute = mute;
  FSettings.SetMute(mute);
}

} // namespace kavro
