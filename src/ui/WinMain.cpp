#include "WinMain.h"

#include "AddFilter.h"
#include "DesktopNotifier.h"
#include "FormatDropDown.h"
#include "InterruptedRows.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "ParameterPanelView.h"
#include "PreviewPanel.h"
#include "QtDialogs.h"
#include "RowCommand.h"
#include "Snapshot.h"
#include "TemporaryFile.h"
#include "SnapshotPictures.h"
#include "VideoSurfaceWidget.h"
#include "Themes.h"
#include "WinFileInfo.h"
#include "WinPreference.h"
#include "WinProgress.h"
#include "WinSettings.h"
#include "WinCrop.h"
#include "WinTrim.h"
#include "WinWaterMark.h"
#include "platform/ProgramPaths.h"
#include "platform/WideString.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <sys/stat.h>

#include <cstring>
#include <utility>

namespace kavro {

TfrmMain::TfrmMain(const TGlobalObject& global, TAppDialogs* dialogs, TDesktop* desktop, QWidget* parent)
    : QMainWindow(parent), FGlobal(global),
      FOwnDialogs(dialogs ? nullptr : std::make_unique<TQtDialogs>(this, global.Title())),
      FDialogs(dialogs ? *dialogs : *FOwnDialogs),
      FOwnDesktop(
          desktop ? nullptr
                  : std::make_unique<TQtDesktop>(global.Title(), EditionInfo(global.Edition()).ProgramName)),
      FDesktop(desktop ? *desktop : *FOwnDesktop), FSettings(global.SettingsFile()),
      FFormats(global.FormatFile()), FCatalogue(global.Edition()),
      FPanel(FSettings.Ini(), FFormats, FDialogs),
      FList(FSettings, FFormats, FDialogs, ComponentDurationProbe(CCAVC)), FRows(FList),
      FListStore(global.JobListFile()) {
  setObjectName("frmMain");
  setWindowTitle(QString::fromStdString(global.Title()));
  const int skin = FSettings.SkinIndexAtStart();
  ApplyTheme(skin);
  CreateControls();
  CreateMenus();
  lvFiles->SetSkinIndex(skin);
  resize(860, 640);
  RestoreGeometry();

  FList.OnStopPreview = [this] { FPreview->StopPreview(); };
  // A check box ticked in the list is a change of the list like any other.
  connect(&lvFiles->Model(), &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            if (roles.contains(Qt::CheckStateRole)) SaveList();
          });
  TRunView& view = *this;
  FRun = std::make_unique<TConversionRun>(CCAVC, FSettings, FFormats, FRows, view, FDesktop, FDialogs);
  FRun->BeforeStart = [this] { FPanelView->ValidateFrameSize(); };
  FRun->StopPreview = [this] { FPreview->StopPreview(); };
  FRun->Drawing = &FDrawTools.Tools();
  if (!FPreview->Player().LoadLibraries(LibraryFolder()))
    FPreview->Log()->appendPlainText(QString::fromStdString(FPreview->Player().LastErrMsg()));
  ShowButtons({});
  RestoreList();
  UpdateListButtons();
}

TfrmMain::~TfrmMain() {
  // The run and the controls use the models below; they go first.
  FRun.reset();
  delete FProgress;
  delete FFileInfo;
  delete centralWidget();
}

std::wstring TfrmMain::LibraryFolder() const {
  return NarrowToWide(ProgramFolder() + "LibAV");
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  FormShow();
}

void TfrmMain::FormShow() {
  setWindowTitle(QString::fromStdString(FGlobal.Caption()));
  FDropDown->Build();
  FPanelView->Load(FSettings.FormatCode());
  const QSignalBlocker quiet(edDirectory);
  edDirectory->setText(QString::fromStdString(FSettings.OutputDir()));
  if (!FListMessage.empty()) {
    const std::string message = std::exchange(FListMessage, {});
    QTimer::singleShot(0, this, [this, message] { FDialogs.ShowMessage(message, CaptionWarning); });
  }
}

void TfrmMain::FormatChosen(int code) {
  FPanelView->Load(code);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!FClosing && !FDialogs.AskYesNo("Do you really want to exit?", CaptionWarning)) {
    event->ignore();
    return;
  }
  FClosing = true;
  FDropDown->SaveFoldState();
  SaveGeometry();
  // The run detaches its handlers from the component and stops it, waiting for the stop.
  FRun.reset();
  FPreview->StopPreview();
  FPreview->Player().Stop(true);
  FPreviewBitmap.SetSize(0, 0);
  event->accept();
}

// ---- the job list ----

void TfrmMain::btnAddClick() {
  if (!CCAVC.LoadAVLib(LibraryFolder())) return;
  AddPaths(FDialogs.AskOpenFiles(AddFileFilters()));
}

void TfrmMain::AddPaths(const std::vector<std::string>& paths) {
  if (FRun && FRun->Running()) return;
  const std::vector<std::string> files = ExpandDroppedPaths(paths);
  if (files.empty() || !CCAVC.LoadAVLib(LibraryFolder())) return;
  FList.AddFiles(files);
  ListChanged();
}

void TfrmMain::btnRemoveClick() {
  if (FRun->Running()) return;
  FList.RemoveSelected();
  ListChanged();
}

void TfrmMain::btnClearClick() {
  if (FRun->Running() || FList.Empty()) return;
  CCAVC.ClearTasks();
  FList.Clear();
  ListChanged();
}

void TfrmMain::CheckCommand(void (TJobList::*command)()) {
  (FList.*command)();
  ListChanged();
}

void TfrmMain::ListChanged() {
  lvFiles->Model().Reset();
  lvFiles->SyncFromList();
  UpdateListButtons();
  SaveList();
}

void TfrmMain::RestoreList() {
  TLoadedJobList loaded = FListStore.Load();
  FListMessage = loaded.Message;
  if (loaded.Rows.empty()) return;
  RecoverInterruptedRows(loaded.Rows);
  FList.Restore(std::move(loaded.Rows));
  ListChanged();
}

void TfrmMain::SaveList() {
  if (const std::optional<std::string> failure = FListStore.Save(FList.Rows()))
    FDialogs.ShowMessage(*failure, CaptionWarning);
}

void TfrmMain::UpdateListButtons() {
  if (FRun && FRun->Running()) return;
  const bool rows = !FList.Empty();
  for (QPushButton* button : {btnRemove, btnClear, btnStart, SpeedButton1})
    button->setEnabled(rows);
  Start1->setEnabled(rows);
}

void TfrmMain::EditMenuPopup() {
  const bool selected = !FList.Empty() && FList.SelectedIndex() >= 0;
  WaterMark1->setVisible(true);
  for (QAction* item : {CheckAll1, UncheckAll1, ReserveCheck1, Check1, Uncheck1, Crop1, Trim1, WaterMark1})
    item->setEnabled(selected);
}

void TfrmMain::ListMenuPopup(const QPoint& globalPos) {
  const int row = FList.SelectedIndex();
  const bool selected = !FList.Empty() && row >= 0;
  WaterMark2->setVisible(true);
  for (QAction* item : {Remove2, Clear2, Start2, Infomation1})
    item->setEnabled(selected && !FRun->Running());
  // A running task draws the copy of the row it took at start, so editing meanwhile is safe.
  for (QAction* item : {Crop2, Trim2, WaterMark2})
    item->setEnabled(selected);
  ShowError1->setVisible(selected && !FList.Row(row).Error.empty());
  CopyCommand1->setEnabled(selected);
  suiPopupMenu1->popup(globalPos);
}

void TfrmMain::ShowErrorClick() {
  const int row = FList.SelectedIndex();
  if (row < 0 || FList.Row(row).Error.empty()) return;
  FDialogs.ShowMessage(FList.Row(row).Record.SourceFile + "\n\n" + FList.Row(row).Error, CaptionWarning);
}

void TfrmMain::InfomationClick() {
  const int row = FList.SelectedIndex();
  if (row < 0) return;
  if (!FFileInfo) FFileInfo = new TfrmFileInfo(this);
  FFileInfo->ShowFor(FList.Row(row).Record.SourceFile);
}

int TfrmMain::RowToEdit() {
  if (FList.Empty()) return -1;
  if (FList.SelectedIndex() < 0) {
    FList.Select(0);
    lvFiles->SyncFromList();
  }
  FPreview->StopPreview();
  return FList.SelectedIndex();
}

void TfrmMain::TrimClick() {
  const int row = RowToEdit();
  if (row >= 0 && TfrmTrim::Edit(this, FList.Row(row), FDrawTools.Tools(), LibraryFolder())) ListChanged();
}

void TfrmMain::CropClick() {
  const int row = RowToEdit();
  if (row >= 0 && TfrmCrop::Edit(this, FList.Row(row).Record, FDrawTools.Tools(), LibraryFolder()))
    ListChanged();
}

void TfrmMain::WaterMarkClick() {
  const int row = RowToEdit();
  if (row >= 0 &&
      TfrmWaterMark::Edit(this, FList.Row(row).Record, FDialogs, FDrawTools.Tools(), LibraryFolder()))
    ListChanged();
}

void TfrmMain::CopyCommandClick() {
  const int row = FList.SelectedIndex();
  if (row < 0) return;
  const std::string command =
      RowCommandLine(FGlobal.Edition(), FSettings.FormatCode(), FSettings.OutputDir(), FList.Row(row).Record);
  QGuiApplication::clipboard()->setText(QString::fromStdString(command));
}

void TfrmMain::ExportCommandsClick() {
  std::vector<TlvFilesRecord> rows;
  for (const int row : FList.CheckedIndices())
    rows.push_back(FList.Row(row).Record);
  if (rows.empty()) {
    FDialogs.ShowMessage("Please select a file by clicking the check box!", CaptionWarning);
    return;
  }
  const std::optional<std::string> path =
      FDialogs.AskSaveFile({{"Shell scripts", "*.sh"}, {"All files", "*"}}, "kavro-convert.sh");
  if (!path || path->empty()) return;
  const std::string script =
      RowsScript(FGlobal.Edition(), FSettings.FormatCode(), FSettings.OutputDir(), rows);
  const std::string failure = WriteTextThroughTemporary(*path, script);
  if (!failure.empty()) {
    FDialogs.ShowMessage(failure, CaptionWarning);
    return;
  }
  // A script is run: its reader may run it, as they may read it.
  struct stat info {};
  if (stat(path->c_str(), &info) == 0)
    chmod(path->c_str(), (info.st_mode & 07777) | ((info.st_mode & 0444) >> 2));
}

void TfrmMain::PreferenceClick() {
  TfrmPreference preferences(FSettings, FDialogs, FDesktop, this);
  preferences.exec();
}

void TfrmMain::SettingsClick() {
  FDropDown->SaveFoldState();
  TfrmSettings editor(FGlobal.Edition(), FSettings, FFormats, FDialogs, this);
  if (editor.exec() != QDialog::Accepted) return;
  if (editor.OutputFormatIndex() != FSettings.OutputFormat())
    FSettings.SetOutputFormat(editor.OutputFormatIndex());
  // The editor stored its format as the current one: the catalogue and the panel follow it.
  FDropDown->Build();
  FPanelView->Load(FSettings.FormatCode());
}

// ---- the preview ----

std::string TfrmMain::ChooseFileToPlay() {
  if (FList.Empty()) {
    btnAddClick();
    if (FList.Empty()) return "";
  }
  int row = FList.FocusedIndex();
  if (row < 0) {
    row = 0;
    FList.Select(row);
    FList.Focus(row);
    lvFiles->SyncFromList();
  }
  return FList.Row(row).Record.SourceFile;
}

void TfrmMain::PreviewRow(int row) {
  if (row < 0 || row >= FList.Count()) return;
  FList.Focus(row);
  FPreview->StopPreview();
  FPreview->Play(FList.Row(row).Record.SourceFile);
}

// ---- snapshots ----

void TfrmMain::SnapPreview() {
  const TBitmap* full = FPreview->Player().CurrentFrame();
  if (!full || full->Width() <= 0) return;
  // The small picture is the one shown: stretched to the picture area.
  TBitmap small;
  StretchBitmap(*full, FPreview->Surface().width(), FPreview->Surface().height(), small);
  const TSnapshotResult result = TakeSnapshot(FSettings, FDialogs, *full, small);
  if (result.Taken && result.Error.empty()) FDesktop.OpenFolder(result.Folder);
}

void TfrmMain::SnapRun() {
  if (FPreviewBitmap.Width() <= 0 || !FProgress) return;
  TBitmap small;
  BitmapFromImage(FProgress->PreviewImage(), small);
  TakeSnapshot(FSettings, FDialogs, FPreviewBitmap, small);
}

// ---- output folder, skin, about ----

void TfrmMain::btnBrowsClick() {
  const std::optional<std::string> folder = FDialogs.AskFolder(FSettings.OutputDir());
  if (folder && !folder->empty() && QString::fromStdString(*folder) != edDirectory->text())
    edDirectory->setText(QString::fromStdString(*folder));
}

void TfrmMain::btnOpenClick() {
  if (edDirectory->text().size() > 2) FDesktop.OpenFolder(FSettings.OutputDir());
}

void TfrmMain::SkinMenuPopup() {
  const int ticked = FSettings.SkinIndexForMenu();
  for (int index = 0; index < static_cast<int>(FSkinItems.size()); ++index)
    FSkinItems[static_cast<size_t>(index)]->setChecked(index == ticked);
}

void TfrmMain::ChooseSkin(int index) {
  if (!FSettings.ChooseSkin(index)) {
    SkinMenuPopup();
    return;
  }
  const bool visible = isVisible();
  hide();
  ApplyTheme(index);
  lvFiles->SetSkinIndex(index);
  SkinMenuPopup();
  if (visible) show();
}

void TfrmMain::AboutClick() {
  FDialogs.ShowInformation(FGlobal.Title() + FGlobal.Version() +
                               "\n\nConverts video and audio files for players, phones, consoles, discs "
                               "and the web.\nBuilt on the FFmpeg libraries, SDL and Qt.",
                           "About " + FGlobal.Title());
}

// ---- window size and place ----

// Qt's own record of the place: it knows the frame the window manager adds and the screens, and
// brings a window whose screen has gone back onto one that is there.
void TfrmMain::RestoreGeometry() {
  const std::string stored = FSettings.Ini().ReadString(SettingsSection, "WindowGeometry", "");
  if (!stored.empty()) restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(stored)));
}

void TfrmMain::SaveGeometry() {
  FSettings.Ini().WriteString(SettingsSection, "WindowGeometry", saveGeometry().toBase64().toStdString());
}

} // namespace kavro
