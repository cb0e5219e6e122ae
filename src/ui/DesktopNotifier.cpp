#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace kavro {

TDesktopNotifier::TDesktopNotifier(std::string appName, std::string iconName,
                                   std::optional<QDBusConnection> connection)
    : FAppName(std::move(appName)), FIconName(std::move(iconName)), FConnection(std::move(connection)) {}

bool TDesktopNotifier::Notify(const std::string& summary, const std::string& body) {
  if (!FConnection) FConnection = QDBusConnection::sessionBus();
  if (!FConnection->isConnected()) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                     "org.freedesktop.Notifications", "Notify");
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's).
  call << QString::fromStdString(FAppName) << 0u << QString::fromStdString(FIconName)
       << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList() << QVariantMap()
       << -1;
  call.setAutoStartService(true);
  return FConnection->send(call);
}

} // namespace kavro
