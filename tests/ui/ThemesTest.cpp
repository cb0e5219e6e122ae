// The colour themes: every text readable on what it is drawn on, each theme its own colour, the
// whole application and its open windows switched, and any other index giving the standard look.
#include <gtest/gtest.h>

#include "Themes.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

#include <cmath>
#include <memory>

namespace kavro::test {
namespace {

double Luminance(const QColor& colour) {
  auto channel = [](double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
         0.0722 * channel(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Puts back the look the other tests of the program run with.
class ThemesTest : public ::testing::Test {
protected:
  ThemesTest() : FStyle(QApplication::style()->name()), FPalette(QApplication::palette()) {}
  ~ThemesTest() override {
    QApplication::setStyle(FStyle);
    QApplication::setPalette(FPalette);
  }

private:
  QString FStyle;
  QPalette FPalette;
};

TEST_F(ThemesTest, EveryTextIsReadableOnItsBackground) {
  struct TPair {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Text, Background;
    double Least;
  };
  const TPair pairs[] = {
      {QPalette::Active, QPalette::WindowText, QPalette::Window, 4.5},
      {QPalette::Active, QPalette::Text, QPalette::Base, 4.5},
      {QPalette::Active, QPalette::Text, QPalette::AlternateBase, 4.5},
      {QPalette::Active, QPalette::ButtonText, QPalette::Button, 4.5},
      {QPalette::Active, QPalette::HighlightedText, QPalette::Highlight, 4.5},
      {QPalette::Inactive, QPalette::HighlightedText, QPalette::Highlight, 4.5},
      {QPalette::Active, QPalette::ToolTipText, QPalette::ToolTipBase, 4.5},
      {QPalette::Disabled, QPalette::WindowText, QPalette::Window, 3.0},
      {QPalette::Disabled, QPalette::ButtonText, QPalette::Button, 3.0},
      {QPalette::Disabled, QPalette::Text, QPalette::Base, 3.0},
  };
  for (int index = 0; index < ThemeCount; ++index) {
    const QPalette palette = ThemePalette(index);
    for (const TPair& pair : pairs)
      EXPECT_GE(Contrast(palette.color(pair.Group, pair.Text), palette.color(pair.Group, pair.Background)),
                pair.Least)
          << ThemeCaption(index) << " group " << pair.Group << " text role " << pair.Text << " on "
          << pair.Background;
  }
}

TEST_F(ThemesTest, EachThemeIsItsOwnColour) {
  const char* captions[] = {"Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"};
  for (int index = 0; index < ThemeCount; ++index)
    EXPECT_STREQ(ThemeCaption(index), captions[index]);
  EXPECT_STREQ(ThemeCaption(7), "");
  EXPECT_STREQ(ThemeCaption(-1), "");

  for (int a = 0; a < ThemeCount; ++a)
    for (int b = a + 1; b < ThemeCount; ++b) {
      const QPalette first = ThemePalette(a), second = ThemePalette(b);
      EXPECT_NE(first.color(QPalette::Window), second.color(QPalette::Window)) << a << " " << b;
      EXPECT_NE(first.color(QPalette::Button), second.color(QPalette::Button)) << a << " " << b;
    }

  // The hue of the buttons says the theme's name; Default and Gray have next to none.
  struct THue {
    int Index, Least, Most;
  };
  for (THue hue :
       {THue{2, 20, 45}, THue{3, 255, 300}, THue{4, -15, 15}, THue{5, 90, 150}, THue{6, 195, 225}}) {
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Window, QPalette::Highlight}) {
      const QColor colour = ThemePalette(hue.Index).color(role);
      int degrees = colour.hslHue();
      if (hue.Least < 0 && degrees > 180) degrees -= 360;
      EXPECT_GE(degrees, hue.Least) << ThemeCaption(hue.Index) << " role " << role;
      EXPECT_LE(degrees, hue.Most) << ThemeCaption(hue.Index) << " role " << role;
      EXPECT_GE(colour.hslSaturation(), 60) << ThemeCaption(hue.Index) << " role " << role;
    }
  }
  for (int index : {0, 1})
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Window, QPalette::Base})
      EXPECT_LE(ThemePalette(index).color(role).hslSaturation(), 20) << ThemeCaption(index) << " " << role;
}

TEST_F(ThemesTest, ApplyingAThemeReachesTheOpenWindows) {
  QPushButton button("Start");
  button.show();
  ApplyTheme(4);
  EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
  EXPECT_EQ(QApplication::palette().color(QPalette::Button), ThemePalette(4).color(QPalette::Button));
  EXPECT_TRUE(WaitUntil(
      [&] { return button.palette().color(QPalette::Button) == ThemePalette(4).color(QPalette::Button); }));
  ApplyTheme(5);
  EXPECT_TRUE(WaitUntil(
      [&] { return button.palette().color(QPalette::Window) == ThemePalette(5).color(QPalette::Window); }));
}

TEST_F(ThemesTest, AnyOtherIndexGivesTheStandardLookBack) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
  ASSERT_NE(fusion, nullptr);
  const QPalette standard = fusion->standardPalette();
  for (int index : {7, 9, -1}) {
    ApplyTheme(3);
    ASSERT_NE(QApplication::palette().color(QPalette::Window), standard.color(QPalette::Window));
    ApplyTheme(index);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    EXPECT_TRUE(QApplication::palette().isCopyOf(standard) || QApplication::palette() == standard)
        << "index " << index;
    EXPECT_TRUE(ThemePalette(index) == standard) << "index " << index;
  }
}

// One strip of common controls per theme, side by side, for the eye.
TEST_F(ThemesTest, ScreenshotOfTheSevenThemes) {
  QImage sheet;
  QPainter painter;
  for (int index = 0; index < ThemeCount; ++index) {
    ApplyTheme(index);
    QWidget sample;
    auto* layout = new QVBoxLayout(&sample);
    layout->addWidget(new QLabel(ThemeCaption(index)));
    auto* edit = new QLineEdit("/home/user/videoconverter");
    edit->setSelection(11, 14);
    layout->addWidget(edit);
    auto* check = new QCheckBox("Open the output folder");
    check->setChecked(true);
    layout->addWidget(check);
    auto* bar = new QProgressBar;
    bar->setValue(40);
    layout->addWidget(bar);
    layout->addWidget(new QPushButton("Pause"));
    auto* disabled = new QPushButton("Resume");
    disabled->setEnabled(false);
    layout->addWidget(disabled);
    sample.resize(220, 230);
    sample.show();
    Pump(50);
    const QPixmap strip = sample.grab();
    if (sheet.isNull()) {
      sheet = QImage(strip.width() * ThemeCount, strip.height(), QImage::Format_RGB32);
      painter.begin(&sheet);
    }
    painter.drawPixmap(index * strip.width(), 0, strip);
  }
  painter.end();
  EXPECT_TRUE(sheet.save(KAVRO_SCREENSHOT_DIR "Themes.png", "PNG"));
}

} // namespace
} // namespace kavro::test
