// A spin box whose value only its arrows (and the arrow keys) change: typing is off.
#pragma once

#include <QSpinBox>

namespace kavro {

QSpinBox* MakeArrowSpinBox(QWidget* parent, const char* name, int minimum, int maximum);

} // namespace kavro
