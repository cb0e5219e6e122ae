// The format drop-down driven like a user: real widgets offscreen over a settings file in a scratch
// folder. Headers fold by where they are pressed, a choice is stored and announced, the list closes
// on any press elsewhere and on leaving the application, and it sits where the catalogue places it.
#include <gtest/gtest.h>

#include "CategoryIcons.h"
#include "FormatCatalogue.h"
#include "app/AppTestSupport.h"
#include "FormatDropDown.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <memory>
#include <vector>

namespace kavro::test {
namespace {

constexpr const char* PspVideo480 = "PSP Video (480P) (*.mp4)";

struct TDropDownFixture : ::testing::Test {
  TScratchFolder Folder{"format-drop-down"};
  TAppSettings Settings{Folder.File("settings.ini")};
  std::unique_ptr<TCatalogueList> Catalogue;
  QWidget Host;
  TFormatDropDown* DropDown = nullptr;
  QPushButton* Other = nullptr;

  void SetUp() override { Make(TEdition::General); }

  // A host as large as the main window's central widget, the drop-down near its bottom and another
  // control beside it.
  void Make(TEdition edition) {
    delete DropDown;
    Catalogue = std::make_unique<TCatalogueList>(edition);
    Host.resize(640, 520);
    DropDown = new TFormatDropDown(*Catalogue, Settings, &Host, &Host);
    DropDown->setGeometry(30, 440, 360, 24);
    DropDown->show();
    if (!Other) {
      Other = new QPushButton(QStringLiteral("Other"), &Host);
      Other->setGeometry(450, 10, 80, 24);
    }
    Host.show();
    DropDown->Build();
  }

  QListView& List() const { return *DropDown->List(); }
  int RowOf(const std::string& text) const {
    for (int row = 0; row < Catalogue->RowCount(); ++row)
      if (Catalogue->Row(row).Text == text) return row;
    return -1;
  }
  QPoint RowPoint(int row, int x) const {
    const QRect rect = List().visualRect(List().model()->index(row, 0));
    return {x, rect.center().y()};
  }
  void Press(int row, int x) const {
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, RowPoint(row, x));
  }
  // As a real double-click arrives: a press and a release, then the double-click and its release.
  static void DoubleClick(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
  }
  void Open() const {
    QTest::mouseClick(DropDown->Button(), Qt::LeftButton);
    ASSERT_TRUE(DropDown->ListVisible());
  }
  // edt1's top in the host's coordinates, where the catalogue's placements start from.
  int FieldTop() const { return DropDown->Field()->mapTo(&Host, QPoint(0, 0)).y(); }
};

// ---- Folding ---------------------------------------------------------------------------------------

TEST_F(TDropDownFixture, AHeaderFoldsByAPressLeftOfTwentyPixelsOrByADoubleClickAnywhere) {
  // A fresh settings file: every category collapsed.
  ASSERT_EQ(Catalogue->RowCount(), 28);
  Open();
  const int psp = RowOf("Sony PSP");
  ASSERT_EQ(psp, 4);

  Press(psp, 20);
  EXPECT_EQ(Catalogue->RowCount(), 28);
  EXPECT_TRUE(DropDown->ListVisible());

  Press(psp, 19);
  ASSERT_EQ(Catalogue->RowCount(), 33);
  EXPECT_FALSE(Catalogue->Row(psp).Info.Collapsed);
  EXPECT_EQ(List().model()->rowCount(), 33);
  EXPECT_EQ(Catalogue->Row(psp + 5).Text, PspVideo480);
  EXPECT_TRUE(DropDown->ListVisible());

  // A double-click far right of the sign, and one on the sign itself, each fold once.
  DoubleClick(List().viewport(), RowPoint(psp, 200));
  EXPECT_EQ(Catalogue->RowCount(), 28);
  EXPECT_TRUE(Catalogue->Row(psp).Info.Collapsed);
  DoubleClick(List().viewport(), RowPoint(psp, 5));
  EXPECT_EQ(Catalogue->RowCount(), 33);
  EXPECT_TRUE(DropDown->ListVisible());
  // Pressing on a header chooses nothing.
  EXPECT_FALSE(Settings.Ini().ValueExists(SettingsSection, "FormatCode"));
}

TEST_F(TDropDownFixture, EveryClickPlacesTheListByItsRowsAboveAFixedBottom) {
  Make(TEdition::Flv);
  // Built: (3 + 1) × 20 high, its bottom 36 pixels above where it is when open.
  EXPECT_EQ(List().geometry(), QRect(30, FieldTop() - 36 - 80, 360, 80));
  // Open, it stands on the field's top edge, rows × 20 + 20 high.
  Open();
  EXPECT_EQ(List().geometry(), QRect(30, FieldTop() - 80, 360, 80));
  Press(0, 3);
  ASSERT_EQ(Catalogue->RowCount(), 5);
  EXPECT_EQ(List().geometry(), QRect(30, FieldTop() - 120, 360, 120));
  // The general catalogue's twenty-eight rows pass 386 pixels: the list stops there and scrolls.
  Make(TEdition::General);
  Open();
  EXPECT_EQ(List().geometry(), QRect(30, FieldTop() - 386, 360, 386));
  EXPECT_GT(List().verticalScrollBar()->maximum(), 0);
}

TEST_F(TDropDownFixture, TheFoldStateIsSavedAndANewBuildOpensTheSameCategories) {
  Open();
  Press(RowOf("General Audio formates"), 10);
  Press(RowOf("Sony PSP"), 10);
  DropDown->SaveFoldState();
  EXPECT_EQ(Settings.Ini().ReadString(FoldStateSection, "4", ""), "0");
  EXPECT_EQ(Settings.Ini().ReadString(FoldStateSection, "27", ""), "0");
  EXPECT_EQ(Settings.Ini().ReadString(FoldStateSection, "0", ""), "1");

  Make(TEdition::General);
  EXPECT_EQ(Catalogue->RowCount(), 28 + 5 + 7);
  EXPECT_FALSE(Catalogue->Row(RowOf("Sony PSP")).Info.Collapsed);
  EXPECT_NE(RowOf(PspVideo480), -1);
  EXPECT_NE(RowOf("AC-3 Audio Codec (*.ac3)"), -1);
  EXPECT_TRUE(Catalogue->Row(RowOf("Apple iPod")).Info.Collapsed);
}

// ---- Choosing ----------------------------------------------------------------------------------------

TEST_F(TDropDownFixture, PressingAFormatStoresItShowsItClosesAndAnnouncesIt) {
  QSignalSpy chosen(DropDown, &TFormatDropDown::FormatChosen);
  Open();
  Press(RowOf("Sony PSP"), 10);
  // Hovering selects the row under the pointer.
  const int row = RowOf(PspVideo480);
  QMouseEvent move(QEvent::MouseMove, RowPoint(row, 80), List().viewport()->mapToGlobal(RowPoint(row, 80)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(List().viewport(), &move);
  EXPECT_EQ(Catalogue->ItemIndex(), row);

  Press(row, 80);
  EXPECT_EQ(Settings.FormatCode(), 404);
  EXPECT_EQ(Settings.Ini().ReadString(SettingsSection, "FormatName", ""), PspVideo480);
  EXPECT_EQ(DropDown->FormatCode(), 404);
  EXPECT_EQ(DropDown->FormatName().toStdString(), PspVideo480);
  EXPECT_EQ(DropDown->Field()->text().toStdString(), PspVideo480);
  EXPECT_FALSE(DropDown->ListVisible());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.front().at(0).toInt(), 404);
  EXPECT_EQ(chosen.front().at(1).toString().toStdString(), PspVideo480);

  // Reopened, the stored format is the selected row.
  Open();
  EXPECT_EQ(Catalogue->ItemIndex(), RowOf(PspVideo480));
}

TEST_F(TDropDownFixture, AClickOnTheFieldOpensAtTheStoredNameWithThePointerOnItAndClosesAgain) {
  Settings.Ini().WriteBool(FoldStateSection, "4", false);
  Settings.SetFormat(404, PspVideo480);
  Make(TEdition::General);
  EXPECT_EQ(DropDown->FormatName().toStdString(), PspVideo480);
  EXPECT_EQ(DropDown->FormatCode(), 404);

  QTest::mouseClick(DropDown->Field(), Qt::LeftButton);
  ASSERT_TRUE(DropDown->ListVisible());
  const int row = RowOf(PspVideo480);
  EXPECT_EQ(Catalogue->ItemIndex(), row);
  const QRect rect = List().visualRect(List().model()->index(row, 0));
  EXPECT_EQ(QCursor::pos(), List().viewport()->mapToGlobal(rect.center()));

  QTest::mouseClick(DropDown->Field(), Qt::LeftButton);
  EXPECT_FALSE(DropDown->ListVisible());
  QTest::mouseDClick(DropDown->Field(), Qt::LeftButton);
  EXPECT_TRUE(DropDown->ListVisible());
  QTest::mouseClick(DropDown->Button(), Qt::LeftButton);
  EXPECT_FALSE(DropDown->ListVisible());
}

TEST_F(TDropDownFixture, APressOutsideEscapeOrLeavingTheApplicationCloseTheListWithoutAChoice) {
  Open();
  // Presses on the list itself and its scroll bar keep it open.
  QTest::mouseClick(List().verticalScrollBar(), Qt::LeftButton);
  EXPECT_TRUE(DropDown->ListVisible());
  QTest::mouseClick(Other, Qt::RightButton);
  EXPECT_TRUE(DropDown->ListVisible());
  QTest::mouseClick(Other, Qt::LeftButton);
  EXPECT_FALSE(DropDown->ListVisible());
  QTest::mouseClick(&Host, Qt::LeftButton, {}, QPoint(600, 500));
  EXPECT_FALSE(DropDown->ListVisible());

  Open();
  QTest::mouseClick(&Host, Qt::LeftButton, {}, QPoint(600, 500));
  EXPECT_FALSE(DropDown->ListVisible());

  // Through the window, as the platform delivers them: the window sees the press before the widget.
  Open();
  QWindow* window = Host.windowHandle();
  ASSERT_NE(window, nullptr);
  QTest::mouseClick(window, Qt::LeftButton, {}, List().viewport()->mapTo(&Host, RowPoint(3, 100)));
  EXPECT_TRUE(DropDown->ListVisible());
  QTest::mouseClick(window, Qt::LeftButton, {}, Other->geometry().center());
  EXPECT_FALSE(DropDown->ListVisible());

  Open();
  QTest::keyClick(&List(), Qt::Key_Escape);
  EXPECT_FALSE(DropDown->ListVisible());

  Open();
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QApplication::sendEvent(qApp, &deactivate);
  EXPECT_FALSE(DropDown->ListVisible());
  EXPECT_FALSE(Settings.Ini().ValueExists(SettingsSection, "FormatCode"));
}

TEST_F(TDropDownFixture, WithoutAHostTheListOpensOverTheWindowNotAsAWindowOfItsOwn) {
  // Made on its own and put into a window afterwards, as a layout does.
  TCatalogueList catalogue(TEdition::Flv);
  TFormatDropDown hostless(catalogue, Settings, nullptr);
  hostless.setParent(&Host);
  hostless.setGeometry(30, 100, 300, 24);
  hostless.show();
  hostless.Build();
  hostless.ShowList();
  ASSERT_TRUE(hostless.ListVisible());
  EXPECT_FALSE(hostless.List()->isWindow());
  EXPECT_EQ(hostless.List()->parentWidget(), &Host);
  // It stands on its field, in the window's coordinates.
  EXPECT_EQ(hostless.List()->geometry(), QRect(30, 100 - 80, 300, 80));
  // A field too near the window's top: the list starts at the top and stays whole.
  hostless.setGeometry(30, 30, 300, 24);
  hostless.HideList();
  hostless.ShowList();
  EXPECT_EQ(hostless.List()->geometry(), QRect(30, 0, 300, 80));
}

// ---- Look ----------------------------------------------------------------------------------------------

TEST_F(TDropDownFixture, TheFieldIsLightGreyOnlyWhereTheThemesTextStaysReadable) {
  const QColor grey(0xF6, 0xF8, 0xF8);
  EXPECT_EQ(DropDown->Field()->palette().color(QPalette::Base), grey);
  EXPECT_EQ(List().palette().color(QPalette::Base), grey);

  QPalette dark = Host.palette();
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
  Host.setPalette(dark);
  EXPECT_EQ(DropDown->Field()->palette().color(QPalette::Base), QColor(0x20, 0x20, 0x20));
  EXPECT_EQ(List().palette().color(QPalette::Base), QColor(0x20, 0x20, 0x20));
}

TEST(CategoryIconsTest, EveryCategoryOfBothEditionsHasAPictureOfItsOwnDrawnOnce) {
  std::vector<QImage> seen;
  for (int category = 0; category < CategoryCount(TEdition::General); ++category) {
    const QPixmap icon = CategoryIcon(TEdition::General, category);
    ASSERT_FALSE(icon.isNull()) << category;
    EXPECT_EQ(icon.size(), QSize(CategoryIconSize, CategoryIconSize));
    EXPECT_EQ(CategoryIcon(TEdition::General, category).cacheKey(), icon.cacheKey());
    const QImage image = icon.toImage();
    for (size_t other = 0; other < seen.size(); ++other)
      EXPECT_NE(image, seen[other]) << "categories " << other << " and " << category;
    seen.push_back(image);
  }
  // The FLV edition's categories look as the same categories of the general edition.
  EXPECT_EQ(CategoryIcon(TEdition::Flv, 0).toImage(), seen[19]);
  EXPECT_EQ(CategoryIcon(TEdition::Flv, 2).toImage(), seen[27]);
  EXPECT_TRUE(CategoryIcon(TEdition::Flv, 3).isNull());
}

TEST_F(TDropDownFixture, ScreenshotOfTheOpenList) {
  Settings.Ini().WriteBool(FoldStateSection, "4", false);
  Settings.SetFormat(404, PspVideo480);
  Make(TEdition::General);
  Open();
  Press(RowOf("General Audio formates"), 10);
  List().scrollTo(List().model()->index(RowOf(PspVideo480), 0));
  Pump(50);
  const std::string path = SaveScreenshot(Host, "FormatDropDown");
  EXPECT_FALSE(QPixmap(QString::fromStdString(path)).isNull());
}

} // namespace
} // namespace kavro::test
