// Desktop notifications reach the freedesktop notification service of a private session bus as the
// service expects them, and with no bus nothing is sent and nothing fails.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include "DesktopNotifier.h"
#include "UiTestSupport.h"

extern char** environ;

namespace kavro::test {
namespace {

// A bus of the test's own, ended with the object.
class TPrivateBus {
public:
  TPrivateBus() {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* arguments[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    if (posix_spawnp(&FPid, "dbus-daemon", &actions, nullptr, const_cast<char**>(arguments), environ) != 0)
      FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char text[512];
    ssize_t length = 0;
    while (FPid > 0 && length < static_cast<ssize_t>(sizeof text)) {
      const ssize_t got = read(out[0], text + length, sizeof text - static_cast<size_t>(length));
      if (got <= 0) break;
      length += got;
      if (text[length - 1] == '\n') break;
    }
    close(out[0]);
    if (length > 1) Address = QString::fromUtf8(text, static_cast<int>(length - 1));
  }
  ~TPrivateBus() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
  }
  QString Address;

private:
  pid_t FPid = -1;
};

// The notification service: keeps every call and answers it with an id.
class TFakeService : public QDBusVirtualObject {
public:
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    Calls.push_back(message);
    connection.send(message.createReply(QVariantList{7u}));
    return true;
  }
  std::vector<QDBusMessage> Calls;
};

TEST(DesktopNotifierTest, TheServiceGetsTheProgramItsIconTheSummaryAndTheBody) {
  const TPrivateBus bus;
  if (bus.Address.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed: no bus to test on";
  QDBusConnection service = QDBusConnection::connectToBus(bus.Address, "kavro-test-service");
  ASSERT_TRUE(service.isConnected()) << service.lastError().message().toStdString();
  TFakeService fake;
  ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
  ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &fake));

  TDesktopNotifier notifier("Kavro FLV Video Converter", "kavro-flv-converter",
                            QDBusConnection::connectToBus(bus.Address, "kavro-test-client"));
  EXPECT_TRUE(notifier.Notify("Kavro FLV Video Converter", "3 files converted, 1 failed"));
  ASSERT_TRUE(WaitUntil([&] { return !fake.Calls.empty(); }));
  const QDBusMessage& call = fake.Calls.front();
  EXPECT_EQ(call.interface(), "org.freedesktop.Notifications");
  EXPECT_EQ(call.member(), "Notify");
  EXPECT_EQ(call.signature(), "susssasa{sv}i");
  const QVariantList arguments = call.arguments();
  ASSERT_EQ(arguments.size(), 8);
  EXPECT_EQ(arguments[0].toString(), "Kavro FLV Video Converter");
  EXPECT_EQ(arguments[2].toString(), "kavro-flv-converter");
  EXPECT_EQ(arguments[3].toString(), "Kavro FLV Video Converter");
  EXPECT_EQ(arguments[4].toString(), "3 files converted, 1 failed");
  EXPECT_EQ(arguments[7].toInt(), -1);

  service.unregisterObject("/org/freedesktop/Notifications");
  QDBusConnection::disconnectFromBus("kavro-test-service");
  QDBusConnection::disconnectFromBus("kavro-test-client");
}

TEST(DesktopNotifierTest, WithoutABusNothingIsSentAndNothingFails) {
  TDesktopNotifier notifier(
      "Kavro", "kavro-flv-converter",
      QDBusConnection::connectToBus("unix:path=/nonexistent/kavro-bus", "kavro-no-bus"));
  EXPECT_FALSE(notifier.Notify("Kavro", "1 file converted, 0 failed"));
  QDBusConnection::disconnectFromBus("kavro-no-bus");
  // Nor with a service that never answers: the call does not wait.
  const TPrivateBus bus;
  if (bus.Address.isEmpty()) return;
  TDesktopNotifier unanswered("Kavro", "kavro-flv-converter",
                              QDBusConnection::connectToBus(bus.Address, "kavro-alone"));
  EXPECT_TRUE(unanswered.Notify("Kavro", "1 file converted, 0 failed"));
  QDBusConnection::disconnectFromBus("kavro-alone");
}

} // namespace
} // namespace kavro::test
