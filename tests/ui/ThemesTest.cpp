// The colour themes: every text readable on what it is drawn on, each theme the colour of its name,
// open windows switched, and any other index giving the standard look back.
#include <gtest/gtest.h>

#include "Themes.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace kavro::test {
namespace {

double Luminance(const QColor& colour) {
  auto linear = [](double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Puts back the look the program's other tests run with.
class ThemesTest : public ::testing::Test {
protected:
  ~ThemesTest() override {
    QApplication::setStyle(FStyle);
    QApplication::setPalette(FPalette);
  }

private:
  QString FStyle = QApplication::style()->name();
  QPalette FPalette = QApplication::palette();
};

TEST_F(ThemesTest, EveryTextIsReadableOnItsBackground) {
  using P = QPalette;
  const struct {
    P::ColorGroup Group;
    P::ColorRole Text, Background;
    double Least;
  } pairs[] = {{P::Active, P::WindowText, P::Window, 4.5},
               {P::Active, P::Text, P::Base, 4.5},
               {P::Active, P::Text, P::AlternateBase, 4.5},
               {P::Active, P::ButtonText, P::Button, 4.5},
               {P::Active, P::HighlightedText, P::Highlight, 4.5},
               {P::Active, P::ToolTipText, P::ToolTipBase, 4.5},
               {P::Disabled, P::WindowText, P::Window, 3.0},
               {P::Disabled, P::ButtonText, P::Button, 3.0},
               {P::Disabled, P::Text, P::Base, 3.0}};
  for (int index = 0; index < ThemeCount; ++index)
    for (const auto& pair : pairs) {
      const QPalette palette = ThemePalette(index);
      EXPECT_GE(Contrast(palette.color(pair.Group, pair.Text), palette.color(pair.Group, pair.Background)),
                pair.Least)
          << ThemeCaption(index) << ": group " << pair.Group << ", role " << pair.Text << " on "
          << pair.Background;
    }
}

TEST_F(ThemesTest, EachThemeIsTheColourOfItsName) {
  const char* captions[] = {"Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"};
  for (int index = 0; index < ThemeCount; ++index)
    EXPECT_STREQ(ThemeCaption(index), captions[index]);
  EXPECT_STREQ(ThemeCaption(7), "");
  // Hue ranges of the buttons, the window and the selection; Default and Gray have next to no colour.
  const int hues[ThemeCount][2] = {{-1, -1},  {-1, -1},  {20, 45},  {255, 300},
                                   {-15, 15}, {90, 150}, {195, 225}};
  for (int index = 0; index < ThemeCount; ++index)
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Window, QPalette::Highlight}) {
      const QColor colour = ThemePalette(index).color(role);
      if (hues[index][0] < 0 && hues[index][1] < 0) {
        if (role != QPalette::Highlight) {
          EXPECT_LE(colour.hslSaturation(), 20) << captions[index] << " " << role;
        }
        continue;
      }
      const int hue = hues[index][0] < 0 && colour.hslHue() > 180 ? colour.hslHue() - 360 : colour.hslHue();
      EXPECT_TRUE(hue >= hues[index][0] && hue <= hues[index][1])
          << captions[index] << " " << role << " " << hue;
      EXPECT_GE(colour.hslSaturation(), 60) << captions[index] << " " << role;
    }
}

TEST_F(ThemesTest, ThemesReachOpenWindowsAndAnyOtherIndexGivesTheStandardLook) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
  ASSERT_NE(fusion, nullptr);
  QPushButton button("Start");
  button.show();
  for (int index : {7, 9, -1}) {
    ApplyTheme(4);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    const QColor red = ThemePalette(4).color(QPalette::Button);
    EXPECT_TRUE(WaitUntil([&] { return button.palette().color(QPalette::Button) == red; }));
    ApplyTheme(index);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    EXPECT_TRUE(QApplication::palette() == fusion->standardPalette()) << "index " << index;
    EXPECT_TRUE(ThemePalette(index) == fusion->standardPalette()) << "index " << index;
  }
}

// One strip of common controls per theme, side by side, for the eye.
TEST_F(ThemesTest, ScreenshotOfTheSevenThemes) {
  QImage sheet(220 * ThemeCount, 200, QImage::Format_RGB32);
  QPainter painter(&sheet);
  for (int index = 0; index < ThemeCount; ++index) {
    ApplyTheme(index);
    QWidget sample;
    auto* layout = new QVBoxLayout(&sample);
    auto* edit = new QLineEdit(ThemeCaption(index));
    edit->selectAll();
    auto* check = new QCheckBox("Open the output folder");
    check->setChecked(true);
    auto* bar = new QProgressBar;
    bar->setValue(40);
    auto* disabled = new QPushButton("Resume");
    disabled->setEnabled(false);
    for (QWidget* widget :
         {static_cast<QWidget*>(edit), static_cast<QWidget*>(check), static_cast<QWidget*>(bar),
          static_cast<QWidget*>(new QPushButton("Pause")), static_cast<QWidget*>(disabled)})
      layout->addWidget(widget);
    sample.resize(220, 200);
    sample.show();
    Pump(50);
    painter.drawPixmap(index * 220, 0, sample.grab());
  }
  painter.end();
  EXPECT_TRUE(sheet.save(KAVRO_SCREENSHOT_DIR "Themes.png", "PNG"));
}

} // namespace
} // namespace kavro::test
