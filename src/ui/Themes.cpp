#include "Themes.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

#include <array>
#include <memory>

namespace kavro {
namespace {

constexpr const char* ThemeStyle = "Fusion";

// One theme; colours as 0xRRGGBB. Every text colour keeps a contrast of at least 4.5:1 on the
// colour it is drawn on, disabled text at least 3:1.
struct TTheme {
  const char* Caption;
  unsigned Window, WindowText;
  unsigned Base, AlternateBase, Text;
  unsigned Button, ButtonText;
  unsigned Highlight, HighlightedText;
  unsigned DisabledText;
};

constexpr std::array<TTheme, ThemeCount> Themes{{
    {"Default", 0xefefef, 0x1a1a1a, 0xffffff, 0xf5f5f5, 0x1a1a1a, 0xe4e4e4, 0x1a1a1a, 0x3065b5, 0xffffff,
     0x6e6e6e},
    {"Gray", 0xc9c9c9, 0x111111, 0xececec, 0xdedede, 0x111111, 0xb4b4b4, 0x111111, 0x4d4d4d, 0xffffff,
     0x555555},
    {"Orange", 0xfde3c6, 0x2b1400, 0xfff6ec, 0xfdebd6, 0x2b1400, 0xf8bf80, 0x2b1400, 0xb84c00, 0xffffff,
     0x7a4e26},
    {"Purple", 0xe7dcf3, 0x23103a, 0xf8f3fd, 0xefe6f8, 0x23103a, 0xc9b2e6, 0x23103a, 0x6a3d9a, 0xffffff,
     0x6c5882},
    {"Red", 0xf7dada, 0x3a0808, 0xfff3f3, 0xfbe4e4, 0x3a0808, 0xeba8a8, 0x3a0808, 0xb01c1c, 0xffffff,
     0x7a4646},
    {"Green", 0xdcefdc, 0x0f2e0f, 0xf3fbf3, 0xe5f4e5, 0x0f2e0f, 0xaddbad, 0x0f2e0f, 0x2a7a2e, 0xffffff,
     0x515f51},
    {"Light blue", 0xdaeafb, 0x0b2540, 0xf3f9ff, 0xe3f0fd, 0x0b2540, 0xa9cff4, 0x0b2540, 0x1c66b0, 0xffffff,
     0x4c6580},
}};

bool IsTheme(int index) {
  return index >= 0 && index < ThemeCount;
}

QColor Colour(unsigned rgb) {
  return QColor::fromRgb(static_cast<QRgb>(rgb));
}

QPalette PaletteOf(const TTheme& theme) {
  // The two-colour constructor derives the bevel shades (light, mid, dark, shadow) from the button.
  QPalette palette(Colour(theme.Button), Colour(theme.Window));
  palette.setColor(QPalette::WindowText, Colour(theme.WindowText));
  palette.setColor(QPalette::Base, Colour(theme.Base));
  palette.setColor(QPalette::AlternateBase, Colour(theme.AlternateBase));
  palette.setColor(QPalette::Text, Colour(theme.Text));
  palette.setColor(QPalette::ButtonText, Colour(theme.ButtonText));
  palette.setColor(QPalette::BrightText, Colour(theme.HighlightedText));
  palette.setColor(QPalette::Highlight, Colour(theme.Highlight));
  palette.setColor(QPalette::HighlightedText, Colour(theme.HighlightedText));
  palette.setColor(QPalette::ToolTipBase, Colour(theme.Base));
  palette.setColor(QPalette::ToolTipText, Colour(theme.Text));
  palette.setColor(QPalette::PlaceholderText, Colour(theme.DisabledText));
  palette.setColor(QPalette::Link, Colour(theme.Highlight));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, Colour(theme.DisabledText));
  // A disabled edit shows the window behind it, as Fusion's own palette does.
  palette.setColor(QPalette::Disabled, QPalette::Base, Colour(theme.Window));
  palette.setColor(QPalette::Disabled, QPalette::Highlight, Colour(theme.DisabledText));
  return palette;
}

} // namespace

const char* ThemeCaption(int index) {
  return IsTheme(index) ? Themes[static_cast<size_t>(index)].Caption : "";
}

QPalette ThemePalette(int index) {
  if (IsTheme(index)) return PaletteOf(Themes[static_cast<size_t>(index)]);
  const std::unique_ptr<QStyle> style(QStyleFactory::create(ThemeStyle));
  return style ? style->standardPalette() : QPalette();
}

void ApplyTheme(int index) {
  if (QApplication::style()->name().compare(ThemeStyle, Qt::CaseInsensitive) != 0)
    QApplication::setStyle(ThemeStyle);
  const QPalette palette = ThemePalette(index);
  QApplication::setPalette(palette);
  QToolTip::setPalette(palette);
}

} // namespace kavro
