#include "ArrowSpinBox.h"

#include <QLineEdit>

namespace kavro {

QSpinBox* MakeArrowSpinBox(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(minimum, maximum);
  spin->setFixedWidth(70);
  if (auto* edit = spin->findChild<QLineEdit*>()) edit->setReadOnly(true);
  return spin;
}

} // namespace kavro
