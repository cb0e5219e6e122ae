// The job list view offscreen: its columns and texts, the drawn rows' colours under two themes,
// the check box, failed rows, elision, and what clicks, keys and drops on it ask for.
#include <gtest/gtest.h>

#include "JobListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <filesystem>
#include <map>

#include "app/AppTestSupport.h"
#include "ui/UiTestSupport.h"

namespace kavro::test {
namespace {

// A list over scratch files with a stand-in probe, shown in the view.
class JobListViewTest : public ::testing::Test {
protected:
  JobListViewTest()
      : Settings(
            Folder.Write("settings.ini", "[settings]\nOutPutDir=" + Folder.File("out") + "\nFormatCode=7\n")),
        Formats(Folder.Write("formats.ini", "[formatInfo7]\nFileExt=flv\n")),
        List(Settings, Formats, Dialogs,
             [this](const std::string& path, int64_t& duration) {
               const auto known = Durations.find(path);
               if (known == Durations.end()) return false;
               duration = known->second;
               return true;
             }),
        View(List) {
    View.resize(520, 200);
  }

  // Adds sources with these names (and durations in µs) and shows them.
  void Add(const std::vector<std::pair<std::string, int64_t>>& sources) {
    std::vector<std::string> paths;
    for (const auto& [name, duration] : sources) {
      paths.push_back(Folder.Write(name, "media"));
      Durations[paths.back()] = duration;
    }
    List.AddFiles(paths);
    View.Reload();
  }

  void Show() {
    View.show();
    ASSERT_TRUE(WaitUntil([this] { return View.isVisible(); }));
  }

  QModelIndex Index(int row, int column) { return View.Model().index(row, column); }
  // A point inside the cell, clear of its text.
  QPoint CellPoint(int row, int column) {
    const QRect cell = View.visualRect(Index(row, column));
    return QPoint(cell.right() - 4, cell.center().y());
  }
  QColor PixelAt(const QImage& image, const QPoint& at) { return image.pixelColor(at); }
  QImage Picture() { return View.viewport()->grab().toImage(); }

  void SendMouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(View.viewport()->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &event);
  }
  void Click(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(QEvent::MouseButtonPress, at, button);
    SendMouse(QEvent::MouseButtonRelease, at, button);
  }
  void DoubleClick(const QPoint& at) {
    Click(at);
    SendMouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&View, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(&View, &release);
  }

  TScratchFolder Folder{"job-list-view"};
  TScriptedDialogs Dialogs;
  TAppSettings Settings;
  TIniFile Formats;
  std::map<std::string, int64_t> Durations;
  TJobList List;
  TJobListView View;
};

TEST_F(JobListViewTest, FiveFixedColumnsOverAReadOnlyListOfWholeRows) {
  EXPECT_EQ(View.objectName(), "lvFiles");
  const std::vector<std::pair<QString, int>> columns = {
      {"Source", 140}, {"Length", 65}, {"Trimmed Length", 90}, {"Destination File", 120}, {"Progress", 60}};
  ASSERT_EQ(View.Model().columnCount(), 5);
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(View.Model().headerData(column, Qt::Horizontal).toString(), columns[column].first);
    EXPECT_EQ(View.columnWidth(column), columns[column].second);
  }
  EXPECT_FALSE(View.header()->sectionsClickable());
  EXPECT_FALSE(View.isSortingEnabled());
  EXPECT_EQ(View.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(View.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(View.editTriggers(), QAbstractItemView::NoEditTriggers);
  // The last column keeps its width in a wide view.
  View.resize(900, 200);
  Show();
  EXPECT_EQ(View.columnWidth(4), 60);
}

TEST_F(JobListViewTest, ARowShowsItsTextsAndFollowsTheList) {
  Add({{"holiday.avi", 59900000}, {"talk.mp3", 3000000}});
  ASSERT_EQ(View.Model().rowCount(), 2);
  EXPECT_EQ(Index(0, 0).data().toString().toStdString(), Folder.File("holiday.avi"));
  EXPECT_EQ(Index(0, 1).data().toString(), "59");
  EXPECT_EQ(Index(0, 2).data().toString(), "59");
  EXPECT_EQ(Index(0, 3).data().toString(), "holiday_(new).flv");
  EXPECT_EQ(Index(0, 4).data().toString(), "");
  EXPECT_EQ(Index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
  EXPECT_FALSE(Index(0, 1).data(Qt::CheckStateRole).isValid());
  EXPECT_FALSE(Index(0, 0).flags() & Qt::ItemIsEditable);

  // Progress and check changes of one row reach the view.
  std::vector<int> changedRows;
  QObject::connect(&View.Model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex&) { changedRows.push_back(first.row()); });
  List.Row(1).Progress = "25%";
  List.Row(1).TrimmedLength = "2";
  View.Model().RowChanged(1);
  EXPECT_EQ(changedRows, std::vector<int>{1});
  EXPECT_EQ(Index(1, 4).data().toString(), "25%");
  EXPECT_EQ(Index(1, 2).data().toString(), "2");

  // A wholesale change shows the new rows; a row the list lost shows nothing, and nothing breaks.
  const QModelIndex stale = Index(1, 0);
  List.Select(1);
  List.RemoveSelected();
  EXPECT_EQ(View.Model().rowCount(), 2); // the view has not heard yet
  EXPECT_FALSE(View.Model().data(stale).isValid());
  View.Reload();
  EXPECT_EQ(View.Model().rowCount(), 1);

  // A check command changes every row's check but keeps the selection.
  List.Select(0);
  View.SyncFromList();
  changedRows.clear();
  List.UncheckAll();
  View.Model().RowsChanged();
  EXPECT_EQ(changedRows, std::vector<int>{0});
  EXPECT_EQ(Index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
  EXPECT_EQ(View.selectionModel()->selectedRows().size(), 1);
}

TEST_F(JobListViewTest, ClickingTheDrawnCheckBoxTogglesTheRow) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}});
  Show();
  const QPoint box = TJobListDelegate::CheckBoxRect(View.visualRect(Index(1, 0))).center();
  Click(box);
  EXPECT_FALSE(List.Row(1).Checked);
  EXPECT_TRUE(List.Row(0).Checked);
  EXPECT_EQ(Index(1, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
  Click(box);
  EXPECT_TRUE(List.Row(1).Checked);
  // The caption beside the box selects the row and leaves the check alone.
  Click(CellPoint(1, 0));
  EXPECT_TRUE(List.Row(1).Checked);
  EXPECT_EQ(List.SelectedIndex(), 1);
  // A double click on the box toggles twice, like any check box.
  DoubleClick(box);
  EXPECT_TRUE(List.Row(1).Checked);
}

TEST_F(JobListViewTest, AFailedRowShowsErrorAndItsReasonOnEveryColumn) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}});
  List.MarkFailed(1, "Could not write the output file");
  View.Model().RowChanged(1);
  EXPECT_EQ(Index(1, 4).data().toString(), "Error");
  for (int column = 0; column < 5; ++column)
    EXPECT_EQ(Index(1, column).data(Qt::ToolTipRole).toString(), "Could not write the output file");
  EXPECT_FALSE(Index(0, 4).data(Qt::ToolTipRole).isValid());
  List.ClearProgress();
  View.Model().RowChanged(1);
  EXPECT_EQ(Index(1, 4).data().toString(), "");
  EXPECT_FALSE(Index(1, 0).data(Qt::ToolTipRole).isValid());
}

TEST_F(JobListViewTest, RowsArePaintedWhiteAndInTheThemesTint) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}, {"c.avi", 1000000}});
  Show();
  // Each theme's tint, as red, green, blue.
  const std::map<int, QColor> tints = {{0, QColor(226, 230, 246)},
                                       {2, QColor(248, 242, 224)},
                                       {4, QColor(247, 225, 225)},
                                       {9, QColor(235, 235, 235)}};
  for (const auto& [skin, tint] : tints) {
    View.SetSkinIndex(skin);
    const QImage picture = Picture();
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(PixelAt(picture, CellPoint(0, column)), QColor(Qt::white)) << skin << " " << column;
      EXPECT_EQ(PixelAt(picture, CellPoint(1, column)), tint) << skin << " " << column;
      EXPECT_EQ(PixelAt(picture, CellPoint(2, column)), QColor(Qt::white)) << skin << " " << column;
    }
  }
  // The text is black whatever the theme's palette says.
  const QImage picture = Picture();
  const QRect text = View.visualRect(Index(1, 1));
  bool black = false;
  for (int x = text.left(); x < text.left() + 20; ++x)
    for (int y = text.top(); y <= text.bottom(); ++y)
      black = black || PixelAt(picture, QPoint(x, y)) == QColor(Qt::black);
  EXPECT_TRUE(black);
}

TEST_F(JobListViewTest, TheFocusedRowIsFilledAndFramedByWhetherTheListHasTheFocus) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}, {"c.avi", 1000000}});
  Show();
  View.clearFocus();
  List.SetSelection({1, 2});
  List.Focus(1);
  View.SyncFromList();
  QImage picture = Picture();
  const QRect cell = View.visualRect(Index(1, 2));
  EXPECT_EQ(PixelAt(picture, CellPoint(1, 2)), QColor(229, 236, 248));
  EXPECT_EQ(PixelAt(picture, QPoint(cell.center().x(), cell.top())), QColor(152, 181, 226));
  EXPECT_EQ(PixelAt(picture, QPoint(cell.center().x(), cell.bottom())), QColor(152, 181, 226));
  EXPECT_EQ(PixelAt(picture, QPoint(View.visualRect(Index(1, 0)).left(), cell.center().y())),
            QColor(152, 181, 226));
  // Another selected row has the fill without the frame; an unselected one stays white.
  EXPECT_EQ(PixelAt(picture, CellPoint(2, 2)), QColor(229, 236, 248));
  const QRect below = View.visualRect(Index(2, 2));
  EXPECT_EQ(PixelAt(picture, QPoint(below.center().x(), below.bottom())), QColor(229, 236, 248));
  EXPECT_EQ(PixelAt(picture, CellPoint(0, 2)), QColor(Qt::white));

  View.activateWindow();
  View.setFocus();
  ASSERT_TRUE(WaitUntil([this] { return View.hasFocus(); }));
  picture = Picture();
  EXPECT_EQ(PixelAt(picture, CellPoint(1, 2)), QColor(185, 204, 236));
  EXPECT_EQ(PixelAt(picture, QPoint(cell.center().x(), cell.top())), QColor(122, 160, 218));
  EXPECT_EQ(PixelAt(picture, CellPoint(2, 2)), QColor(185, 204, 236));
}

TEST_F(JobListViewTest, ALongDestinationIsCutWithAnEllipsis) {
  Add({{std::string(60, 'n') + ".avi", 1000000}, {"s.avi", 1000000}});
  Show();
  const QString shown = View.ShownText(0, 3);
  EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(shown.startsWith("nnn"));
  EXPECT_LT(View.fontMetrics().horizontalAdvance(shown), 120);
  EXPECT_EQ(View.ShownText(1, 3), "s_(new).flv");
  // The source caption leaves room for the check box.
  EXPECT_TRUE(View.ShownText(0, 0).endsWith(QChar(0x2026)));
}

TEST_F(JobListViewTest, ADroppedFolderArrivesAsItsMediaFilesSorted) {
  Show();
  const std::string clips = Folder.File("clips");
  std::filesystem::create_directory(clips);
  for (const char* name : {"b.mp4", "a.MKV", "readme.txt", "c.mp3"})
    Folder.Write(std::string("clips/") + name, "x");
  const std::string loose = Folder.Write("loose.avi", "x");
  std::vector<std::vector<std::string>> dropped;
  QObject::connect(&View, &TJobListView::FilesDropped,
                   [&](const std::vector<std::string>& paths) { dropped.push_back(paths); });

  EXPECT_TRUE(View.viewport()->acceptDrops());
  auto drop = [this](const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = View.viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(View.viewport(), &dropped);
    return enter.isAccepted() && dropped.isAccepted();
  };
  EXPECT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(loose)),
                    QUrl::fromLocalFile(QString::fromStdString(clips))}));
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0],
            (std::vector<std::string>{loose, clips + "/a.MKV", clips + "/b.mp4", clips + "/c.mp3"}));

  // Nothing local, or a folder without media, brings nothing.
  EXPECT_FALSE(drop({QUrl("https://example.com/a.avi")}));
  std::filesystem::create_directory(Folder.File("empty"));
  EXPECT_FALSE(drop({QUrl::fromLocalFile(QString::fromStdString(Folder.File("empty")))}));
  EXPECT_EQ(dropped.size(), 1u);
}

TEST_F(JobListViewTest, KeysAndClicksAskForTheirCommands) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}, {"c.avi", 1000000}});
  Show();
  int deletes = 0;
  std::vector<int> previews;
  std::vector<QPoint> menus;
  QObject::connect(&View, &TJobListView::DeleteRequested, [&] { ++deletes; });
  QObject::connect(&View, &TJobListView::PreviewRequested, [&](int row) { previews.push_back(row); });
  QObject::connect(&View, &TJobListView::ContextMenuRequested,
                   [&](const QPoint& at) { menus.push_back(at); });

  Key(Qt::Key_Delete);
  EXPECT_EQ(deletes, 1);

  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(List.SelectedIndices(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(View.selectionModel()->selectedRows().size(), 3);

  DoubleClick(CellPoint(2, 1));
  EXPECT_EQ(previews, std::vector<int>{2});
  EXPECT_EQ(List.SelectedIndices(), std::vector<int>{2});
  EXPECT_EQ(List.FocusedIndex(), 2);

  // The right button selects the row under it and asks for the menu where it was pressed.
  const QPoint at = CellPoint(0, 3);
  SendMouse(QEvent::MouseButtonPress, at, Qt::RightButton);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0], View.viewport()->mapToGlobal(at));
  EXPECT_EQ(List.SelectedIndex(), 0);
  SendMouse(QEvent::MouseButtonRelease, at, Qt::RightButton);
  EXPECT_EQ(menus.size(), 1u);
}

TEST_F(JobListViewTest, TheViewFollowsTheListAndTheListTheView) {
  Add({{"a.avi", 1000000}, {"b.avi", 1000000}, {"c.avi", 1000000}});
  Show();
  List.SetSelection({0, 2});
  List.Focus(2);
  View.SyncFromList();
  QModelIndexList rows = View.selectionModel()->selectedRows();
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(View.currentIndex().row(), 2);
  // The sync itself leaves the list's selection as it was.
  EXPECT_EQ(List.SelectedIndices(), (std::vector<int>{0, 2}));
  EXPECT_EQ(List.FocusedIndex(), 2);

  // Removing the selected rows: the list picks the next row and the view shows it, rows and all.
  List.RemoveSelected();
  View.SyncFromList();
  ASSERT_EQ(View.Model().rowCount(), 1);
  rows = View.selectionModel()->selectedRows();
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0].row(), 0);
  EXPECT_EQ(View.currentIndex().row(), 0);

  // A click selects in the list; Ctrl with a click adds to it.
  Add({{"d.avi", 1000000}, {"e.avi", 1000000}});
  Click(CellPoint(2, 1));
  EXPECT_EQ(List.SelectedIndices(), std::vector<int>{2});
  SendMouse(QEvent::MouseButtonPress, CellPoint(0, 1), Qt::LeftButton);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(CellPoint(1, 1)),
                    QPointF(View.viewport()->mapToGlobal(CellPoint(1, 1))), Qt::LeftButton, Qt::LeftButton,
                    Qt::ControlModifier);
  QApplication::sendEvent(View.viewport(), &press);
  EXPECT_EQ(List.SelectedIndices(), (std::vector<int>{0, 1}));
  EXPECT_EQ(List.FocusedIndex(), 1);
}

TEST_F(JobListViewTest, Screenshot) {
  Add({{"holiday at the sea.avi", 95400000}, {"concert.mkv", 3725000000}, {"interview.mp4", 612000000}});
  List.SetChecked(1, false);
  List.Row(0).Progress = "100%";
  List.MarkFailed(2, "Could not write the output file");
  List.Select(0);
  List.Focus(0);
  View.resize(520, 140);
  View.Reload();
  Show();
  const std::string path = SaveScreenshot(View, "JobList");
  EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
} // namespace kavro::test
