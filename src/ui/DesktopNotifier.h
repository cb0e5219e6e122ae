// Notifications of the desktop through the freedesktop notification service on the session bus
// (Qt's D-Bus module). The message is sent without waiting for the service's answer, so a slow or
// missing service never holds the window; without a bus nothing is sent and nothing fails.
// GUI thread.
#pragma once

#include <QDBusConnection>

#include <optional>
#include <string>

#include "DesktopActions.h"

namespace kavro {

class TDesktopNotifier {
public:
  // The program's name and its icon's name (the desktop entry's Icon) go with every notification.
  // Without a connection the session bus is used, reached at the first notification: a start never
  // waits for it.
  TDesktopNotifier(std::string appName, std::string iconName,
                   std::optional<QDBusConnection> connection = std::nullopt);
  // False when there was no bus to send it on.
  bool Notify(const std::string& summary, const std::string& body);

private:
  std::string FAppName;
  std::string FIconName;
  std::optional<QDBusConnection> FConnection;
};

// The desktop of the real windows: the folder and power actions, and notifications.
class TQtDesktop : public TDesktopActions {
public:
  TQtDesktop(std::string appName, std::string iconName)
      : FNotifier(std::move(appName), std::move(iconName)) {}
  void Notify(const std::string& summary, const std::string& body) override {
    FNotifier.Notify(summary, body);
  }

private:
  TDesktopNotifier FNotifier;
};

} // namespace kavro
