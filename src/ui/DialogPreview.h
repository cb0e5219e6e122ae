// TDialogPreview: the "Source Preview" of an editing dialog. It owns a preview player of its own and
// its picture area imgPreview, the play and pause buttons, the track bar trcPreview and the two time
// labels lblPTS and lblLength. The player opens the row's file not paused, hands every picture to
// OnFrame, rewinds and pauses at the end, and seeks where the track bar is released. The player's
// reports reach it on the GUI thread; every member but OnFrame is the GUI thread's.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "player/FFPlayer.h"

class QLabel;
class QToolButton;

namespace kavro {

class TPreviewTrackBar;
class TVideoSurfaceWidget;

class TDialogPreview : public QWidget {
  Q_OBJECT

public:
  // The dialogs name their buttons differently (spdBtnPlay, imgbtnPlay, ...).
  TDialogPreview(const char* playName, const char* pauseName, QWidget* parent = nullptr);
  // Stops the player and waits for its threads: OnFrame is never called after this.
  ~TDialogPreview() override;

  // Called on the player's decode thread with every picture, its canvas locked. Set it before Open
  // and leave it while the file is open.
  std::function<void(TBitmap& frame, int64_t pts)> OnFrame;

  // Loads the player's libraries from the folder when needed and plays the file from the start.
  // False with the reason when it cannot.
  bool Open(const std::string& file, const std::wstring& libraryFolder, std::string& error);
  // No more pictures reach OnFrame, then the file closes; with wait, its threads are gone on return.
  void Stop(bool wait);

  void PlayClicked();
  void PauseClicked();
  bool Playing() const { return FPlaying; }
  // The open file's length in microseconds; 0 before it opens.
  int64_t Duration() const { return FDuration; }
  TFFPlayer& Player() { return FPlayer; }
  TVideoSurfaceWidget& Surface() { return *imgPreview; }
  TPreviewTrackBar& TrackBar() { return *trcPreview; }

signals:
  // The file played to its end and went back to its start, paused.
  void Rewound();
  // Play or pause was pressed, the file opened, or it ended.
  void PlayingChanged(bool playing);

private:
  void FileOpened(int64_t duration, int& screenWidth, int& screenHeight);
  void PositionReported(int64_t position);
  void StateReported(TPlayState state);
  void Rewind();
  void TrackReleased();
  void ShowPlaying(bool playing);

  TFFPlayer FPlayer;
  TVideoSurfaceWidget* imgPreview = nullptr;
  QToolButton* FPlayButton = nullptr;
  QToolButton* FPauseButton = nullptr;
  TPreviewTrackBar* trcPreview = nullptr;
  QLabel* lblPTS = nullptr;
  QLabel* lblLength = nullptr;

  int64_t FDuration = 0;
  bool FPlaying = false;
  bool FClosing = false;
};

} // namespace kavro
