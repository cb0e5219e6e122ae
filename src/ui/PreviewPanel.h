// TPreviewPanel: the main window's preview, the group "suiGroupBox1". It owns the preview player and
// its picture area, the play, pause, stop and snapshot buttons, the position track with its two time
// labels, the volume track and the mute box, and the hidden log memo. The player's reports reach it
// on the GUI thread; every member is the GUI thread's.
#pragma once

#include <QGroupBox>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "PreviewControls.h"
#include "player/FFPlayer.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTimer;
class QToolButton;

namespace kavro {

class TAppSettings;
class TPreviewTrackBar;
class TVideoSurfaceWidget;

class TPreviewPanel : public QGroupBox {
  Q_OBJECT

public:
  TPreviewPanel(TAppSettings& settings, QWidget* parent = nullptr);
  // Stops the player and waits for its threads, serving the reports they still hand over.
  ~TPreviewPanel() override;

  // What Play plays when it does not resume: the source path, or "" to play nothing.
  std::function<std::string()> ChooseFileToPlay;

  // Opens the file and plays it from the start; a file that does not open leaves its error in the log.
  void Play(const std::string& file);
  // imgbtnPlay: resumes when paused, else plays what ChooseFileToPlay names.
  void PlayClicked();
  void PauseClicked();
  // imgbtnStop, and whoever needs the preview to let go of its file: closes it, back to the start.
  void StopPreview();

  bool IsOpen() const;
  TPreviewMode Mode() const { return FMode; }
  // The length of the open file in microseconds; 0 when stopped or not known.
  int64_t Duration() const { return FDuration; }
  // OnFileOpen, OnPosition and OnState are the panel's; OnHook and Hook are free for others.
  TFFPlayer& Player();
  TVideoSurfaceWidget& Surface(); // pan1
  QPlainTextEdit* Log() const;    // mmoLog, hidden

signals:
  void SnapRequested();
  // After every change of what the controls enable.
  void StateChanged();

private:
  class TPlayer;

  void BuildControls();
  void BindPlayer();
  bool LoadLibraries();
  void ShowMode(TPreviewMode mode);
  void ShowStopped();
  // The stop for reports: they arrive inside a player call, which must return before the player stops.
  void StopLater();
  void AddLog(const std::string& text);

  void FileOpened(int64_t duration, int frameWidth, int frameHeight, int& screenWidth, int& screenHeight);
  void PositionReported(int64_t position);
  void StateReported(TPlayState state);
  void TrackReleased();
  void CheckTrackEnd();
  void VolumeChanged(int volume);
  void StoreVolume();
  void MuteClicked(bool mute);

  TAppSettings& FSettings;
  std::unique_ptr<TPlayer> FPlayer;
  TVideoSurfaceWidget* pan1 = nullptr;
  QToolButton* imgbtnPlay = nullptr;
  QToolButton* imgbtnPAuse = nullptr;
  QToolButton* imgbtnStop = nullptr;
  QToolButton* imgbtnSnap = nullptr;
  TPreviewTrackBar* trcPreview = nullptr;
  QLabel* lblTime = nullptr;
  QLabel* lblPTS = nullptr;
  TPreviewTrackBar* trcVolume = nullptr;
  QCheckBox* ckMute = nullptr;
  QPlainTextEdit* mmoLog = nullptr;
  QTimer* FEndTimer = nullptr;

  TPreviewMode FMode = pmStopped;
  int64_t FDuration = 0;
  // Counts the files opened and closed, so a stop asked for by a report of one file spares the next.
  unsigned FGeneration = 0;
  bool FClosing = false;
};

} // namespace kavro
