// TfrmMain: the main window. It owns the task component CCAVC, the preview panel with its player, the
// job list with its rows, the format drop-down and the parameter panel, and the conversion run with
// its progress window. Every rule lives in the app models; the window binds controls to them.
// GUI thread only; the component's and the player's events reach it through the main-thread queue.
#pragma once

#include <QGuiApplication>
#include <QMainWindow>

#include <memory>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "CatalogueList.h"
#include "ConversionRun.h"
#include "FFmpegVCL.h"
#include "GlobalUnit.h"
#include "JobList.h"
#include "JobListFile.h"
#include "JobListRows.h"
#include "ParameterPanel.h"
#include "QtDrawTools.h"
#include "platform/Bitmap.h"

class QAction;
class QActionGroup;
class QLineEdit;
class QMenu;
class QPushButton;
class QComboBox;

namespace kavro {

class TFormatDropDown;
class TJobListView;
class TParameterPanelView;
class TPreviewPanel;
class TfrmProgress;
class TfrmFileInfo;

class TfrmMain : public QMainWindow, private TRunView {
  Q_OBJECT

public:
  // dialogs and desktop replace the real message boxes and desktop actions (tests); null for the real ones.
  explicit TfrmMain(const TGlobalObject& global, TAppDialogs* dialogs = nullptr, TDesktop* desktop = nullptr,
                    QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Files given to the program, dropped or chosen: added by the Add command's rules, folders opened.
  void AddPaths(const std::vector<std::string>& paths);

  // The commands, as their buttons and menu items run them.
  void btnAddClick();
  void btnRemoveClick();
  void btnClearClick();
  void btnStartClick();
  void btnStopClick();
  void btnPauseClick();
  void btnResumeClick();
  void btnBrowsClick();
  void btnOpenClick();
  void ChooseSkin(int index);
  void InfomationClick();
  // The editing dialogs, on the selected row (row 0 when none is selected).
  void TrimClick();
  void CropClick();
  void WaterMarkClick();
  // The kavro-convert command that converts the selected row as Start would, onto the clipboard.
  void CopyCommandClick();
  // The commands of the checked rows, written as a shell script where the user chooses.
  void ExportCommandsClick();
  void PreferenceClick();
  void SettingsClick();
  // Snapshots of the preview (the folder opens afterwards) and of the run's latest picture.
  void SnapPreview();
  void SnapRun();

  TJobList& List() { return FList; }
  TFFmpegVCL& Component() { return CCAVC; }
  TAppSettings& Settings() { return FSettings; }
  TPreviewPanel& Preview() { return *FPreview; }
  TfrmProgress* ProgressWindow() const { return FProgress; }
  TJobListView& ListView() { return *lvFiles; }
  // The last picture of the run's preview, as the progress window draws it.
  const TBitmap& PreviewBitmap() const { return FPreviewBitmap; }
  // Whether the user is at one of the program's windows; a batch that ends while not tells the
  // desktop. Tests answer it.
  std::function<bool()> ApplicationActive = [] {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
  };
  // Called when the progress window has been shown for a run (tests answer it).
  std::function<void(TfrmProgress&)> OnProgressShown;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  // TRunView: the run's reports, on the main thread.
  void ShowProgress(const TRunProgress& progress, const TProgressInfo& info) override;
  void ShowRowError(int row, const std::string& message) override;
  void ShowButtons(const TRunButtons& buttons) override;
  void ShowFileDone(int row) override;
  void RunOver() override;
  void ShowPreview(const TBitmap& bitmap) override;
  bool OpenFolderWhenDone() const override;
  bool ShutDownWhenDone() const override;

  // Layout (WinMainLayout.cpp).
  void CreateControls();
  void CreateMenus();
  QPushButton* MakeButton(const char* name, const char* caption);
  QAction* MakeAction(QMenu* menu, const char* name, const char* caption, void (TfrmMain::*command)());

  void FormShow();
  void FormatChosen(int code);
  void ListChanged();
  // The kept list: read at start (rows of an interrupted run brought to what is on disk), written on
  // every change of the rows, their checks, edits and run states.
  void RestoreList();
  void SaveList();
  // The rows of a run that began: queued, with the output each is written to.
  void MarkRunRows();
  void SetRunState(int row, TRowRunState state);
  void UpdateListButtons();
  void EditMenuPopup();
  void ListMenuPopup(const QPoint& globalPos);
  void ShowErrorClick();
  void CheckCommand(void (TJobList::*command)());
  std::string ChooseFileToPlay();
  void PreviewRow(int row);
  void SkinMenuPopup();
  void AboutClick();
  void RestoreGeometry();
  void SaveGeometry();
  std::wstring LibraryFolder() const;
  // The row an editing dialog opens on, selected, with the preview stopped; -1 for an empty list.
  int RowToEdit();

  const TGlobalObject& FGlobal;
  std::unique_ptr<TAppDialogs> FOwnDialogs;
  TAppDialogs& FDialogs;
  std::unique_ptr<TDesktop> FOwnDesktop;
  TDesktop& FDesktop;
  TAppSettings FSettings;
  TIniFile FFormats;
  TFFmpegVCL CCAVC;
  TCatalogueList FCatalogue;
  TParameterPanel FPanel;
  TJobList FList;
  TJobListRows FRows;
  TJobListStore FListStore;
  // What the user is told of the kept list when the window first shows.
  std::string FListMessage;
  TQtDrawTools FDrawTools;
  std::unique_ptr<TConversionRun> FRun;
  TBitmap FPreviewBitmap;
  bool FShown = false;
  int FFilesDone = 0;
  int FFilesFailed = 0;
  bool FClosing = false;

  // Controls, named as their objectName.
  TFormatDropDown* FDropDown = nullptr;
  TParameterPanelView* FPanelView = nullptr;
  TJobListView* lvFiles = nullptr;
  TPreviewPanel* FPreview = nullptr;
  TfrmProgress* FProgress = nullptr;
  // Made once, at its first use.
  TfrmFileInfo* FFileInfo = nullptr;
  QLineEdit* edDirectory = nullptr;
  QComboBox* cbOutputFormat = nullptr;
  QPushButton *btnAdd = nullptr, *btnRemove = nullptr, *btnClear = nullptr, *BtnEdit = nullptr;
  QPushButton *btnStart = nullptr, *SpeedButton1 = nullptr, *btnExit = nullptr;
  QPushButton *btnStop = nullptr, *btnPause = nullptr, *btnResume = nullptr, *btnSettings = nullptr;
  QPushButton *btnBrows = nullptr, *btnOpen = nullptr;
  QMenu *Edit2 = nullptr, *Skin1 = nullptr, *suiPopupMenu1 = nullptr;
  QAction *Crop1 = nullptr, *Trim1 = nullptr, *WaterMark1 = nullptr, *CheckAll1 = nullptr;
  QAction *UncheckAll1 = nullptr, *ReserveCheck1 = nullptr, *Check1 = nullptr, *Uncheck1 = nullptr;
  QAction *Crop2 = nullptr, *Trim2 = nullptr, *WaterMark2 = nullptr, *Infomation1 = nullptr;
  QAction *Remove2 = nullptr, *Clear2 = nullptr, *Start2 = nullptr, *ShowError1 = nullptr;
  QAction* CopyCommand1 = nullptr;
  QAction *Start1 = nullptr, *Preference1 = nullptr;
  std::vector<QAction*> FSkinItems;
};

} // namespace kavro
