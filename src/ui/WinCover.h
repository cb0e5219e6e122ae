// The splash window shown while the program starts: the edition's cover picture from the skin folder
// beside the program when it is there, else a cover drawn with the edition's title. It closes itself
// on a timer. GUI thread.
#pragma once

#include <QSplashScreen>

#include "GlobalUnit.h"

namespace kavro {

class TfrmCover : public QSplashScreen {
  Q_OBJECT

public:
  static constexpr int ShowMilliseconds = 1500;

  explicit TfrmCover(TEdition edition);
  // Shows the window and starts the timer that closes it.
  void ShowForAWhile();

  // The cover file of an edition: "skin/videocover.jpg" or "skin/flvvideocover.jpg" in folder.
  static QString CoverFile(TEdition edition, const QString& folder);
  // The cover drawn when the file is missing or unreadable.
  static QPixmap DrawnCover(const QString& title);
};

} // namespace kavro
