// Widgets need an application object before the first test, and the component's events a main
// thread served by Qt's event loop, as in the program.
#include <gtest/gtest.h>

#include "QtMainThread.h"

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  kavro::InstallQtMainThread();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
