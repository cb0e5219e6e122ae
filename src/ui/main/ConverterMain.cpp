// The windowed converter; built once per edition.
#include "GlobalUnit.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  (void)kavro::BuildEdition;
  return 0;
}
