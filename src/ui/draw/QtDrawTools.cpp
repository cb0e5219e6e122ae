#include "QtDrawTools.h"

#include <QGuiApplication>

#include <cstdio>

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
  if (QCoreApplication::instance()) return;
  // The toolkit's own notes (a missing runtime folder and the like) mean nothing to a user of a program
  // without windows.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
  });
  FApplication = std::make_unique<TOwnApplication>();
}

TQtDrawTools::~TQtDrawTools() = default;

} // namespace kavro
