// The main window as a user drives it, headless: files added through the open dialog (answered by a
// script), a batch converted with its progress window, a row that fails saying why, the keyboard,
// the close question, the skins, and screenshots of every theme and of the progress window.
#include <gtest/gtest.h>

#include "AVProbe.h"
#include "app/AppTestSupport.h"
#include "FFmpegLoader.h"
#include "FormatDropDown.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "PreviewPanel.h"
#include "RowCommand.h"
#include "UiTestSupport.h"
#include "WinFileInfo.h"
#include "VideoSurfaceWidget.h"
#include "WinMain.h"
#include "WinPreference.h"
#include "WinSettings.h"
#include "DialogPreview.h"
#include "WinTrim.h"
#include "WinProgress.h"
#include "fixtures/FrameCounter.h"
#include "media/FixtureMedia.h"
#include "platform/WideString.h"

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <dirent.h>

#include <filesystem>

namespace kavro::test {
namespace {

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(tasks);
  }
  return count;
}

class MainWindowTest : public ::testing::Test {
protected:
  MainWindowTest() : Folder("main-window") {}

  // A window of the edition over a settings file of the test's own, converting into out/.
  std::unique_ptr<TfrmMain> MakeWindow(TEdition edition = TEdition::Flv, const std::string& settings = "") {
    const std::string formatFile = std::string(KAVRO_DATA_SOURCE) + "/" + EditionInfo(edition).FormatFileName;
    SettingsFile = Folder.File("settings.ini");
    if (!std::filesystem::exists(SettingsFile))
      Folder.Write("settings.ini",
                   "[settings]\nOutPutDir=" + Folder.File("out") + "\nFormatCode=0\n" + settings);
    Global = std::make_unique<TGlobalObject>(edition, SettingsFile, formatFile);
    auto window = std::make_unique<TfrmMain>(*Global, &Dialogs, &Desktop);
    window->show();
    return window;
  }

  // Copies of a generated clip under names of their own, so a test may delete one.
  std::vector<std::string> Sources(const std::vector<std::string>& names,
                                   const std::string& clip = "av.mp4") {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
      paths.push_back(Folder.File(name));
      std::filesystem::copy_file(Fixture(clip), paths.back(),
                                 std::filesystem::copy_options::overwrite_existing);
    }
    return paths;
  }

  void AddThroughTheDialog(TfrmMain& window, const std::vector<std::string>& paths) {
    Dialogs.OpenAnswers.push_back(paths);
    QTest::mouseClick(window.findChild<QPushButton*>("btnAdd"), Qt::LeftButton);
  }

  // Start, with a watchdog that cancels a run that never ends.
  void StartAndWait(TfrmMain& window) {
    window.OnProgressShown = [](TfrmProgress& progress) {
      QTimer::singleShot(120000, &progress, [&progress] { progress.reject(); });
    };
    window.btnStartClick();
  }

  static std::string ContainerOf(const std::string& file) {
    TAVProbe probe;
    if (!probe.LoadFile(NarrowToWide(file))) return "";
    return probe.FormatName();
  }

  TScratchFolder Folder;
  std::string SettingsFile;
  std::unique_ptr<TGlobalObject> Global;
  TScriptedDialogs Dialogs;
  TRecordingDesktop Desktop;
};

TEST_F(MainWindowTest, StartConvertsTheCheckedRowsAndARowThatFailsSaysWhyWhileTheNextConverts) {
  auto window = MakeWindow();
  const std::vector<std::string> sources = Sources({"first.mp4", "second.mp4", "third.mp4"});
  AddThroughTheDialog(*window, sources);
  TJobList& list = window->List();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_FALSE(Dialogs.LastFilters.empty());
  EXPECT_EQ(Dialogs.LastFilters.front().Description, "All Supported Video Formats");

  TJobListModel& model = window->ListView().Model();
  ASSERT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_FALSE(list.Row(1).Checked);
  window->ApplicationActive = [] { return true; };
  StartAndWait(*window);
  EXPECT_TRUE(Desktop.Notifications.empty()) << "the user saw it end";

  EXPECT_EQ(list.Row(0).Progress, "100%");
  EXPECT_EQ(list.Row(1).Progress, "");
  EXPECT_EQ(list.Row(2).Progress, "100%");
  EXPECT_EQ(model.data(model.index(2, 4)).toString(), "100%");
  const std::string out = Folder.File("out") + "/";
  EXPECT_EQ(ContainerOf(out + "first_(new).flv"), "flv");
  EXPECT_EQ(ContainerOf(out + "third_(new).flv"), "flv");
  EXPECT_FALSE(std::filesystem::exists(out + "second_(new).flv"));
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_FALSE(window->ProgressWindow()->isVisible());
  EXPECT_TRUE(window->findChild<QPushButton*>("btnStart")->isEnabled());

  // The first source goes away after it was added: its row fails with the reason, the others convert.
  std::filesystem::remove(sources[0]);
  list.CheckAll();
  window->ApplicationActive = [] { return false; };
  StartAndWait(*window);
  EXPECT_EQ(Desktop.Notifications,
            std::vector<std::string>{"Kavro FLV Video Converter: 2 files converted, 1 failed"});
  EXPECT_EQ(list.Row(0).Progress, "Error");
  EXPECT_FALSE(list.Row(0).Error.empty());
  EXPECT_EQ(model.data(model.index(0, 4), Qt::ToolTipRole).toString().toStdString(), list.Row(0).Error);
  EXPECT_EQ(list.Row(1).Progress, "100%");
  EXPECT_EQ(list.Row(2).Progress, "100%");
  EXPECT_EQ(ContainerOf(out + "second_(new).flv"), "flv");
  EXPECT_EQ(ContainerOf(out + "third_(new_1).flv"), "flv");
}

TEST_F(MainWindowTest, TheProgressWindowPausesResumesAndCancelsTheRun) {
  auto window = MakeWindow();
  AddThroughTheDialog(*window, Sources({"long.mp4"}, "steps.mp4"));
  bool pausedInStep = false;
  window->OnProgressShown = [&](TfrmProgress& progress) {
    auto* pause = progress.findChild<QPushButton*>("btnPause");
    auto* resume = progress.findChild<QPushButton*>("btnResume");
    QTest::mouseClick(pause, Qt::LeftButton);
    pausedInStep = !pause->isEnabled() && resume->isEnabled() &&
                   window->findChild<QPushButton*>("btnResume")->isEnabled() &&
                   !window->findChild<QPushButton*>("btnPause")->isEnabled();
    QTest::mouseClick(resume, Qt::LeftButton);
    QTest::mouseClick(progress.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
  };
  window->btnStartClick();
  EXPECT_TRUE(pausedInStep);
  EXPECT_FALSE(window->ProgressWindow()->isVisible());
  EXPECT_TRUE(window->findChild<QPushButton*>("btnAdd")->isEnabled());
}

TEST_F(MainWindowTest, AltSPressesStartWhereverTheFocusIs) {
  auto window = MakeWindow();
  AddThroughTheDialog(*window, Sources({"only.mp4"}));
  window->List().UncheckAll();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  for (const char* focus : {"edDirectory", "lvFiles"}) {
    auto* widget = window->findChild<QWidget*>(focus);
    ASSERT_NE(widget, nullptr) << focus;
    widget->setFocus();
    Dialogs.Messages.clear();
    QTest::keyClick(widget, Qt::Key_S, Qt::AltModifier);
    // A mnemonic presses the button the way a click does, a moment later.
    WaitUntil([&] { return !Dialogs.Messages.empty(); }, 2000);
    ASSERT_EQ(Dialogs.Messages.size(), 1u) << focus;
    EXPECT_EQ(Dialogs.Messages[0].Text, "Please select a file by clicking the check box!");
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Warning");
  }
}

TEST_F(MainWindowTest, ClosingAsksAndYesStoresTheFoldStateAndLeavesNoPlayerOrTaskThread) {
  const int before = ThreadCount();
  auto window = MakeWindow();
  AddThroughTheDialog(*window, Sources({"clip.mp4"}));
  window->Preview().Play(window->List().Row(0).Record.SourceFile);
  ASSERT_TRUE(WaitUntil([&] { return window->Preview().IsOpen(); }));
  window->findChild<TFormatDropDown*>()->Build();

  Dialogs.Answers = {false, true};
  window->close();
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(Dialogs.Questions.size(), 1u);
  EXPECT_EQ(Dialogs.Questions[0].Text, "Do you really want to exit?");
  EXPECT_EQ(Dialogs.Questions[0].Caption, "Warning");
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->Preview().IsOpen());
  const std::string stored = ReadText(SettingsFile);
  EXPECT_NE(stored.find("[lstformat]"), std::string::npos);
  EXPECT_NE(stored.find("WindowGeometry="), std::string::npos);
  window.reset();
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= before; }, 5000))
      << ThreadCount() << " threads, " << before << " before";
}

TEST_F(MainWindowTest, FoldersAndFilesFromOutsideAreAddedByTheAddRulesAndTheSizeIsRemembered) {
  auto window = MakeWindow();
  std::filesystem::create_directories(Folder.File("batch"));
  for (const char* name : {"b.mp4", "a.avi", "notes.txt"})
    std::filesystem::copy_file(Fixture("av.mp4"), Folder.File(std::string("batch/") + name));
  window->AddPaths({Folder.File("batch"), Fixture("audio.wav"), Fixture("audio.wav")});
  TJobList& list = window->List();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Row(0).Record.SourceFile, Folder.File("batch/a.avi"));
  EXPECT_EQ(list.Row(1).Record.SourceFile, Folder.File("batch/b.mp4"));
  EXPECT_EQ(list.Row(2).Record.SourceFile, Fixture("audio.wav"));

  window->resize(900, 700);
  Dialogs.Answers = {true};
  window->close();
  auto again = MakeWindow();
  EXPECT_EQ(again->size(), QSize(900, 700));
}

TEST_F(MainWindowTest, TheSkinMenuSwitchesOnlyToAnotherThemeAndStoresIt) {
  auto window = MakeWindow(TEdition::Flv, "skinIndex=3\n");
  const std::string before = ReadText(SettingsFile);
  window->ChooseSkin(3);
  EXPECT_EQ(ReadText(SettingsFile), before);
  window->ChooseSkin(5);
  EXPECT_NE(ReadText(SettingsFile).find("skinIndex=5"), std::string::npos);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, TheOutputFolderComesFromThePickerAndOpensInTheFileManager) {
  auto window = MakeWindow();
  auto* field = window->findChild<QLineEdit*>("edDirectory");
  EXPECT_EQ(field->text().toStdString(), Folder.File("out"));
  Dialogs.FolderAnswers.push_back(Folder.Path());
  QTest::mouseClick(window->findChild<QPushButton*>("btnBrows"), Qt::LeftButton);
  ASSERT_EQ(Dialogs.FolderStarts.size(), 1u);
  EXPECT_EQ(Dialogs.FolderStarts[0], Folder.File("out"));
  EXPECT_EQ(field->text().toStdString(), Folder.Path());
  EXPECT_NE(ReadText(SettingsFile).find("OutPutDir=" + Folder.Path() + "\n"), std::string::npos);
  QTest::mouseClick(window->findChild<QPushButton*>("btnOpen"), Qt::LeftButton);
  ASSERT_EQ(Desktop.Opened.size(), 1u);
  EXPECT_EQ(Desktop.Opened[0], Folder.Path());
}

TEST_F(MainWindowTest, PlayOnAnEmptyListAddsFirstAndADoubleClickPreviewsTheRow) {
  auto window = MakeWindow();
  Dialogs.OpenAnswers.push_back(Sources({"one.mp4", "two.mp4"}));
  QTest::mouseClick(window->findChild<QWidget*>("imgbtnPlay"), Qt::LeftButton);
  ASSERT_EQ(window->List().Count(), 2);
  EXPECT_EQ(window->List().FocusedIndex(), 0);
  ASSERT_TRUE(WaitUntil([&] { return window->Preview().IsOpen(); }));
  emit window->ListView().PreviewRequested(1);
  EXPECT_EQ(window->List().FocusedIndex(), 1);
  EXPECT_TRUE(WaitUntil([&] { return window->Preview().IsOpen(); }));
  window->Preview().StopPreview();
}

TEST_F(MainWindowTest, TheContextMenuShowsTheSelectedRowsFileInformation) {
  auto window = MakeWindow();
  AddThroughTheDialog(*window, {Fixture("audio.wav"), Fixture("av.mp4")});
  auto* information = window->findChild<QAction*>("Infomation1");
  window->List().Select(1);
  window->ListView().SyncFromList();
  emit window->ListView().ContextMenuRequested(window->mapToGlobal(QPoint(40, 80)));
  auto* menu = window->findChild<QMenu*>("suiPopupMenu1");
  ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
  EXPECT_TRUE(information->isEnabled());
  menu->hide();
  std::string shown;
  QTimer::singleShot(0, window.get(), [&] {
    auto* dialog = window->findChild<TfrmFileInfo*>();
    ASSERT_NE(dialog, nullptr);
    shown = dialog->findChild<QLineEdit*>("edtResloution")->text().toStdString();
    QTest::mouseClick(dialog->findChild<QPushButton*>("btn1"), Qt::LeftButton);
  });
  information->trigger();
  EXPECT_EQ(shown, "320x240");
}

TEST_F(MainWindowTest, TheEditingDialogsOpenOnTheSelectedRowAndTheirOkReachesTheList) {
  auto window = MakeWindow();
  AddThroughTheDialog(*window, {Fixture("audio.wav"), Fixture("av.mp4")});
  window->List().Select(1);
  window->ListView().SyncFromList();
  // The menus enable them only with a row selected.
  emit window->findChild<QMenu*>("Edit2")->aboutToShow();
  for (const char* name : {"Trim1", "Crop1", "WaterMark1"})
    EXPECT_TRUE(window->findChild<QAction*>(name)->isEnabled()) << name;

  std::string opened;
  QTimer::singleShot(0, window.get(), [&] {
    auto* dialog = window->findChild<TfrmTrim*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return dialog->Preview().Player().CurrentPTS() > 1000000; }, 10000));
    QTest::mouseClick(dialog->findChild<QPushButton*>("btnOk1"), Qt::LeftButton);
    opened = dialog->findChild<QLabel*>("lblSourceName")->text().toStdString();
    QTest::mouseClick(dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  });
  window->findChild<QAction*>("Trim1")->trigger();
  EXPECT_EQ(opened, Fixture("av.mp4"));
  EXPECT_GT(window->List().Row(1).Record.TrimStart, 1000000);
  EXPECT_EQ(window->List().Row(1).TrimmedLength, "1");
  EXPECT_EQ(window->ListView().Model().index(1, 2).data().toString(), "1");

  for (const char* name : {"Crop2", "WaterMark2"}) {
    bool shown = false;
    QTimer::singleShot(0, window.get(), [&] {
      QDialog* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      shown = true;
      dialog->reject();
    });
    window->findChild<QAction*>(name)->trigger();
    EXPECT_TRUE(shown) << name;
  }
}

TEST_F(MainWindowTest, CopyCommandPutsTheSelectedRowsCommandOnTheClipboard) {
  auto window = MakeWindow(TEdition::General);
  AddThroughTheDialog(*window, {Fixture("audio.wav"), Fixture("av.mp4")});
  window->List().Select(1);
  window->List().Row(1).Record.TrimStart = 500000;
  window->ListView().SyncFromList();
  emit window->ListView().ContextMenuRequested(window->mapToGlobal(QPoint(40, 80)));
  auto* menu = window->findChild<QMenu*>("suiPopupMenu1");
  ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
  menu->hide();
  auto* copy = window->findChild<QAction*>("CopyCommand1");
  ASSERT_TRUE(copy->isEnabled());
  copy->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            RowCommandLine(TEdition::General, window->Settings().FormatCode(), window->Settings().OutputDir(),
                           window->List().Row(1).Record));
  EXPECT_NE(QGuiApplication::clipboard()->text().indexOf("--trim 0.500000,0.000000"), -1);
}

TEST_F(MainWindowTest, ExportCommandsWritesTheCheckedRowsAsAScriptThatConvertsThem) {
  auto window = MakeWindow();
  AddThroughTheDialog(*window, Sources({"one.mp4", "skipped.mp4", "it's.mp4"}));
  window->List().SetChecked(1, false);
  auto* exportItem = window->findChild<QAction*>("ExportCommands1");
  ASSERT_NE(exportItem, nullptr);
  exportItem->trigger(); // cancelled
  const std::string script = Folder.File("jobs.sh");
  Dialogs.SaveAnswers.push_back(script);
  exportItem->trigger();
  ASSERT_EQ(Dialogs.SaveSuggestions, (std::vector<std::string>{"kavro-convert.sh", "kavro-convert.sh"}));
  ASSERT_TRUE(std::filesystem::exists(script));
  EXPECT_NE(std::filesystem::status(script).permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::none);
  const std::string text = ReadText(script);
  EXPECT_TRUE(text.starts_with("#!/bin/sh\n"));
  EXPECT_EQ(text.find("skipped.mp4"), std::string::npos);

  // Run with a kavro-convert that reads the test's settings, the script converts both checked rows.
  const std::string convert =
      Folder.Write("convert.sh", std::string("#!/bin/sh\nexec ") + KAVRO_CONVERT + " --settings " +
                                     ShellQuoted(SettingsFile) + " \"$@\" >/dev/null 2>&1\n");
  std::filesystem::permissions(convert, std::filesystem::perms::owner_all);
  EXPECT_EQ(std::system(("KAVRO_CONVERT=" + ShellQuoted(convert) + " sh " + ShellQuoted(script)).c_str()), 0);
  const std::string out = Folder.File("out") + "/";
  EXPECT_EQ(ContainerOf(out + "one_(new).flv"), "flv");
  EXPECT_EQ(ContainerOf(out + "it's_(new).flv"), "flv");
  EXPECT_FALSE(std::filesystem::exists(out + "skipped_(new).flv"));

  window->List().UncheckAll();
  exportItem->trigger();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Please select a file by clicking the check box!");
}

TEST_F(MainWindowTest, ToolsPreferencesOpensThePreferencesOverTheSettings) {
  auto window = MakeWindow(TEdition::Flv, "snapJpg=0\n");
  bool jpgShown = true;
  QTimer::singleShot(0, window.get(), [&] {
    auto* dialog = window->findChild<TfrmPreference*>();
    ASSERT_NE(dialog, nullptr);
    jpgShown = dialog->findChild<QCheckBox*>("ckJpg")->isChecked();
    QTest::mouseClick(dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  });
  window->findChild<QAction*>("Preference1")->trigger();
  EXPECT_FALSE(jpgShown);
  EXPECT_NE(ReadText(SettingsFile).find("priority=1"), std::string::npos);
}

TEST_F(MainWindowTest, TheSettingsEditorsFormatBecomesTheWindowsFormatOnOk) {
  auto window = MakeWindow();
  int chosen = -1;
  QTimer::singleShot(0, window.get(), [&] {
    auto* editor = window->findChild<TfrmSettings*>();
    ASSERT_NE(editor, nullptr);
    editor->Editor().ChooseFormat(206, "AC-3 Audio Codec (*.ac3)");
    QTest::mouseClick(editor->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    chosen = editor->ChosenCode();
  });
  window->findChild<QAction*>("Settings1")->trigger();
  EXPECT_EQ(chosen, 206);
  EXPECT_EQ(window->Settings().FormatCode(), 206);
  EXPECT_EQ(window->findChild<QLineEdit*>("edt1")->text(), "AC-3 Audio Codec (*.ac3)");
  EXPECT_FALSE(window->findChild<QComboBox*>("cmbVideoEncoder")->isEnabled());
  EXPECT_EQ(window->findChild<QComboBox*>("cmbAudioEncoder")->currentText(), "ac-3");
}

TEST_F(MainWindowTest, SnapshotsOfThePreviewOpenTheirFolderAndThoseOfARunDoNot) {
  auto window = MakeWindow(TEdition::Flv, "SnapOutPutDir=" + Folder.File("snaps") + "\n");
  // Nothing playing: nothing written, nothing opened.
  window->SnapPreview();
  EXPECT_FALSE(std::filesystem::exists(Folder.File("snaps")));
  EXPECT_TRUE(Desktop.Opened.empty());

  window->Preview().Play(Fixture("steps.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return window->findChild<QLabel*>("lblTime")->text() >= "00:00:01"; }, 10000));
  window->Preview().PauseClicked();
  Pump(200);
  const int64_t shownAt = window->Preview().Player().CurrentPTS();
  QTest::mouseClick(window->findChild<QWidget*>("imgbtnSnap"), Qt::LeftButton);
  const QImage full = QImage(QString::fromStdString(Folder.File("snaps/Snapshot_full.bmp")))
                          .convertToFormat(QImage::Format_BGR888);
  QImage small(QString::fromStdString(Folder.File("snaps/Snapshot_small.bmp")));
  EXPECT_EQ(full.size(), QSize(320, 240));
  // The picture of the paused time: the clip's frame counter at 25 pictures a second.
  const int counter = fixtures::ReadFrameCounterBGR(full.constBits(), static_cast<int>(full.bytesPerLine()),
                                                    full.width(), full.height());
  EXPECT_NEAR(counter, static_cast<double>(shownAt) * 25 / 1000000, 1.0) << shownAt;
  EXPECT_EQ(small.size(), window->Preview().Surface().size());
  EXPECT_EQ(QImage(QString::fromStdString(Folder.File("snaps/Snapshot_full.jpg"))).size(), QSize(320, 240));
  EXPECT_EQ(QImage(QString::fromStdString(Folder.File("snaps/Snapshot_small.jpg"))).size(), small.size());
  ASSERT_EQ(Desktop.Opened.size(), 1u);
  EXPECT_EQ(Desktop.Opened[0], Folder.File("snaps") + "/");
  window->Preview().StopPreview();

  // During a run: the run's latest picture, and no folder opens.
  std::filesystem::remove_all(Folder.File("snaps"));
  AddThroughTheDialog(*window, Sources({"run.mp4"}, "steps.mp4"));
  window->OnProgressShown = [&](TfrmProgress& progress) {
    progress.findChild<QCheckBox*>("ckOpen")->setChecked(false);
    ASSERT_TRUE(WaitUntil([&] { return window->PreviewBitmap().Width() > 0; }, 20000));
    QTest::mouseClick(progress.findChild<QPushButton*>("btnPause"), Qt::LeftButton);
    emit progress.SnapRequested();
    QTest::mouseClick(progress.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
  };
  window->btnStartClick();
  EXPECT_EQ(QImage(QString::fromStdString(Folder.File("snaps/Snapshot_full.bmp"))).size(), QSize(320, 240));
  EXPECT_TRUE(std::filesystem::exists(Folder.File("snaps/Snapshot_small.bmp")));
  EXPECT_EQ(Desktop.Opened.size(), 1u);
}

// A picture of the main window in each theme with three rows and a picture in the preview, and of the
// progress window during a run, into screenshots/ of the build tree.
TEST_F(MainWindowTest, ScreenshotsOfEveryThemeAndOfTheProgressWindow) {
  auto window = MakeWindow();
  window->resize(980, 700);
  AddThroughTheDialog(*window, Sources({"holiday.mp4", "birthday.mp4", "garden.mp4"}, "steps.mp4"));
  window->List().SetChecked(1, false);
  window->ListView().Model().Reset();
  window->Preview().Play(Fixture("steps.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return window->findChild<QLabel*>("lblTime")->text() >= "00:00:01"; }, 10000));
  window->Preview().PauseClicked();
  Pump(300);

  std::vector<QByteArray> pictures;
  for (int theme = 0; theme < 7; ++theme) {
    window->ChooseSkin(theme);
    Pump(100);
    const std::string file = SaveScreenshot(*window, "TfrmMain-" + std::to_string(theme));
    QFile png(QString::fromStdString(file));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly)) << file;
    pictures.push_back(png.readAll());
  }
  for (size_t a = 0; a < pictures.size(); ++a)
    for (size_t b = a + 1; b < pictures.size(); ++b)
      EXPECT_NE(pictures[a], pictures[b]) << "themes " << a << " and " << b;

  window->Preview().StopPreview();
  window->List().SetChecked(1, true);
  bool captured = false;
  window->OnProgressShown = [&](TfrmProgress& progress) {
    ASSERT_TRUE(WaitUntil(
        [&] {
          return window->PreviewBitmap().Width() > 0 &&
                 !progress.findChild<QLabel*>("lblTime")->text().isEmpty();
        },
        20000));
    // Held still for the picture.
    QTest::mouseClick(progress.findChild<QPushButton*>("btnPause"), Qt::LeftButton);
    Pump(250);
    SaveScreenshot(progress, "TfrmProgress");
    captured = true;
    QTest::mouseClick(progress.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
  };
  window->btnStartClick();
  EXPECT_TRUE(captured);
}

} // namespace
} // namespace kavro::test
