// The toolkit's side of watermark drawing in one place: the text drawer and the image loader, and the
// Qt application they need, made off-screen when the program has none (the command line).
#pragma once

#include "QtImageLoader.h"
#include "QtTextDrawer.h"

namespace kavro {

class TQtDrawTools {
public:
  // Makes an off-screen Qt application when none exists yet; call on the main thread.
  TQtDrawTools();
  ~TQtDrawTools();
  TQtDrawTools(const TQtDrawTools&) = delete;
  TQtDrawTools& operator=(const TQtDrawTools&) = delete;
  const TWatermarkTools& Tools() const { return FTools; }

private:
  TQtTextDrawer FText;
  TQtImageLoader FImages;
  TWatermarkTools FTools{&FText, &FImages};
  struct TOwnApplication;
  std::unique_ptr<TOwnApplication> FApplication;
};

} // namespace kavro
