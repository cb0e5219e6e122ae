#include "QtDrawTools.h"

#include <QGuiApplication>

namespace kavro {

// Fonts and image readers need a Qt application; a program without windows gets one that never shows
// anything.
struct TQtDrawTools::TOwnApplication {
  int Count = 3;
  char Name[6] = "kavro";
  char Option[10] = "-platform";
  char Platform[10] = "offscreen";
  char* Arguments[4] = {Name, Option, Platform, nullptr};
  QGuiApplication Application{Count, Arguments};
};

TQtDrawTools::TQtDrawTools() {
  if (!QCoreApplication::instance()) FApplication = std::make_unique<TOwnApplication>();
}

TQtDrawTools::~TQtDrawTools() = default;

} // namespace kavro
