#include "UiTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>
#include <QWidget>

#include "platform/MainThread.h"

namespace kavro::test {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    TMainThread::ProcessPendingCalls();
    QThread::msleep(2);
  }
  return true;
}

void Pump(int milliseconds) {
  WaitUntil([] { return false; }, milliseconds);
}

std::string SaveScreenshot(QWidget& widget, const std::string& formName) {
  const std::string path = std::string(KAVRO_SCREENSHOT_DIR) + formName + ".png";
  widget.grab().save(QString::fromStdString(path), "PNG");
  return path;
}

} // namespace kavro::test
