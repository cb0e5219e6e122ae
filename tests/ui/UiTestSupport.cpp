#include "UiTestSupport.h"

#include <QCoreApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

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

std::string WritePicture(const std::string& path, int width, int height, const QColor& colour) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(colour);
  EXPECT_TRUE(picture.save(QString::fromStdString(path))) << path;
  return path;
}

} // namespace kavro::test
