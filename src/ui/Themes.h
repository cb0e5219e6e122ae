// The seven colour themes of the windows: the Fusion style with one whole-application palette per
// theme, taken from a table. Any other index gives the style's own standard look. GUI thread.
#pragma once

#include <QPalette>

namespace kavro {

inline constexpr int ThemeCount = 7;

// "Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"; empty outside 0 to 6.
const char* ThemeCaption(int index);
// The palette of a theme; the Fusion style's standard palette outside 0 to 6.
QPalette ThemePalette(int index);
// Fusion for the whole application, with the theme's palette.
void ApplyTheme(int index);

} // namespace kavro
