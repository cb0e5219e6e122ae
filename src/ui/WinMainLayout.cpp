// The main window's controls and menus: where each sits and what it runs. Behaviour is in WinMain.cpp.
#include "FormatDropDown.h"
#include "JobListView.h"
#include "ParameterPanelView.h"
#include "PreviewPanel.h"
#include "Themes.h"
#include "WinMain.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavro {

QPushButton* TfrmMain::MakeButton(const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption));
  button->setObjectName(name);
  return button;
}

QAction* TfrmMain::MakeAction(QMenu* menu, const char* name, const char* caption,
                              void (TfrmMain::*command)()) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(name);
  if (command) connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
  return action;
}

void TfrmMain::CreateControls() {
  auto* central = new QWidget(this);
  central->setObjectName("pnlMain");
  setCentralWidget(central);
  auto* layout = new QVBoxLayout(central);

  // The list's buttons.
  btnAdd = MakeButton("btnAdd", "&Add");
  btnRemove = MakeButton("btnRemove", "&Remove");
  btnClear = MakeButton("btnClear", "&Clear");
  BtnEdit = MakeButton("BtnEdit", "&Edit");
  btnExit = MakeButton("btnExit", "&Exit");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {btnAdd, btnRemove, btnClear, BtnEdit})
    buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(btnExit);
  // Kept in step with the progress window; out of sight as they always were.
  btnStop = MakeButton("btnStop", "Stop");
  btnPause = MakeButton("btnPause", "Pause");
  btnResume = MakeButton("btnResume", "Resume");
  btnSettings = MakeButton("btnSettings", "&Settings");
  SpeedButton1 = MakeButton("SpeedButton1", "&Start");
  cbOutputFormat = new QComboBox;
  cbOutputFormat->setObjectName("cbOutputFormat");
  for (QWidget* hidden : std::initializer_list<QWidget*>{btnStop, btnPause, btnResume, btnSettings,
                                                         SpeedButton1, cbOutputFormat}) {
    hidden->setParent(central);
    hidden->hide();
  }

  // The list on the left, the preview on the right.
  lvFiles = new TJobListView(FList);
  FPreview = new TPreviewPanel(FSettings);
  auto* listColumn = new QVBoxLayout;
  listColumn->addLayout(buttons);
  listColumn->addWidget(lvFiles, 1);
  auto* middle = new QHBoxLayout;
  middle->addLayout(listColumn, 3);
  middle->addWidget(FPreview, 2);

  // The output format, its parameters, the output folder and Start.
  auto* formatLabel = new QLabel("Output Format:");
  formatLabel->setObjectName("lblFormat");
  FDropDown = new TFormatDropDown(FCatalogue, FSettings, central);
  FPanelView = new TParameterPanelView(FPanel);
  auto* folderLabel = new QLabel("Output Folder:");
  folderLabel->setObjectName("lblDirectory");
  edDirectory = new QLineEdit;
  edDirectory->setObjectName("edDirectory");
  edDirectory->setReadOnly(true);
  btnBrows = MakeButton("btnBrows", "Brows");
  btnOpen = MakeButton("btnOpen", "Open");
  btnStart = MakeButton("btnStart", "&Start");
  btnStart->setMinimumSize(96, 56);
  QFont startFont = btnStart->font();
  startFont.setBold(true);
  startFont.setPointSizeF(startFont.pointSizeF() * 1.3);
  btnStart->setFont(startFont);

  auto* format = new QGridLayout;
  format->addWidget(formatLabel, 0, 0);
  format->addWidget(FDropDown, 0, 1);
  format->addWidget(folderLabel, 1, 0);
  auto* folder = new QHBoxLayout;
  folder->addWidget(edDirectory, 1);
  folder->addWidget(btnBrows);
  folder->addWidget(btnOpen);
  format->addLayout(folder, 1, 1);
  format->setColumnStretch(1, 1);
  auto* bottom = new QHBoxLayout;
  auto* settingsColumn = new QVBoxLayout;
  settingsColumn->addLayout(format);
  settingsColumn->addWidget(FPanelView);
  bottom->addLayout(settingsColumn, 1);
  bottom->addWidget(btnStart, 0, Qt::AlignBottom);

  layout->addLayout(middle, 1);
  layout->addLayout(bottom);

  connect(btnAdd, &QPushButton::clicked, this, &TfrmMain::btnAddClick);
  connect(btnRemove, &QPushButton::clicked, this, &TfrmMain::btnRemoveClick);
  connect(btnClear, &QPushButton::clicked, this, &TfrmMain::btnClearClick);
  connect(btnStart, &QPushButton::clicked, this, &TfrmMain::btnStartClick);
  connect(SpeedButton1, &QPushButton::clicked, this, &TfrmMain::btnStartClick);
  connect(btnSettings, &QPushButton::clicked, this, &TfrmMain::SettingsClick);
  connect(btnStop, &QPushButton::clicked, this, &TfrmMain::btnStopClick);
  connect(btnPause, &QPushButton::clicked, this, &TfrmMain::btnPauseClick);
  connect(btnResume, &QPushButton::clicked, this, &TfrmMain::btnResumeClick);
  connect(btnExit, &QPushButton::clicked, this, &QWidget::close);
  connect(btnBrows, &QPushButton::clicked, this, &TfrmMain::btnBrowsClick);
  connect(btnOpen, &QPushButton::clicked, this, &TfrmMain::btnOpenClick);
  connect(BtnEdit, &QPushButton::clicked, this,
          [this] { ListMenuPopup(BtnEdit->mapToGlobal(QPoint(0, BtnEdit->height()))); });
  connect(edDirectory, &QLineEdit::textChanged, this,
          [this](const QString& text) { FSettings.SetOutputDir(text.toStdString()); });
  connect(cbOutputFormat, &QComboBox::currentIndexChanged, this,
          [this](int index) { FSettings.SetOutputFormat(index); });
  connect(FDropDown, &TFormatDropDown::FormatChosen, this,
          [this](int code, const QString&) { FormatChosen(code); });
  connect(lvFiles, &TJobListView::FilesDropped, this, &TfrmMain::AddPaths);
  connect(lvFiles, &TJobListView::PreviewRequested, this, &TfrmMain::PreviewRow);
  connect(lvFiles, &TJobListView::ContextMenuRequested, this, &TfrmMain::ListMenuPopup);
  connect(lvFiles, &TJobListView::DeleteRequested, this, &TfrmMain::btnRemoveClick);
  FPreview->ChooseFileToPlay = [this] { return ChooseFileToPlay(); };
  connect(FPreview, &TPreviewPanel::SnapRequested, this, &TfrmMain::SnapPreview);
}

void TfrmMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("File1");
  MakeAction(file, "Edit1", "&Add", &TfrmMain::btnAddClick);
  Start1 = MakeAction(file, "Start1", "&Start", &TfrmMain::btnStartClick);
  // The output settings editor: its button stays out of sight, the menu entry is how it is reached.
  MakeAction(file, "Settings1", "Se&ttings", &TfrmMain::SettingsClick);
  MakeAction(file, "ExportCommands1", "E&xport Commands\u2026", &TfrmMain::ExportCommandsClick);
  file->addSeparator();
  MakeAction(file, "Exit2", "&Exit", nullptr);
  connect(file->findChild<QAction*>("Exit2"), &QAction::triggered, this, &QWidget::close);

  Edit2 = menuBar()->addMenu("E&dit");
  Edit2->setObjectName("Edit2");
  MakeAction(Edit2, "Remove1", "&Remove", &TfrmMain::btnRemoveClick);
  MakeAction(Edit2, "Clear1", "&Clear", &TfrmMain::btnClearClick);
  Edit2->addSeparator();
  CheckAll1 = MakeAction(Edit2, "CheckAll1", "&Check All", nullptr);
  UncheckAll1 = MakeAction(Edit2, "UncheckAll1", "&Uncheck All", nullptr);
  ReserveCheck1 = MakeAction(Edit2, "ReserveCheck1", "&Reverse Check", nullptr);
  Check1 = MakeAction(Edit2, "Check1", "C&heck", nullptr);
  Uncheck1 = MakeAction(Edit2, "Uncheck1", "U&ncheck", nullptr);
  connect(CheckAll1, &QAction::triggered, this, [this] { CheckCommand(&TJobList::CheckAll); });
  connect(UncheckAll1, &QAction::triggered, this, [this] { CheckCommand(&TJobList::UncheckAll); });
  connect(ReserveCheck1, &QAction::triggered, this, [this] { CheckCommand(&TJobList::ReverseCheck); });
  connect(Check1, &QAction::triggered, this, [this] { CheckCommand(&TJobList::CheckFocused); });
  connect(Uncheck1, &QAction::triggered, this, [this] { CheckCommand(&TJobList::UncheckFocused); });
  Edit2->addSeparator();
  // The editing dialogs come with their own windows; until then their entries stay disabled.
  Trim1 = MakeAction(Edit2, "Trim1", "&Trim", &TfrmMain::TrimClick);
  Crop1 = MakeAction(Edit2, "Crop1", "&Crop", &TfrmMain::CropClick);
  WaterMark1 = MakeAction(Edit2, "WaterMark1", "&Video Effect && Water Mark", &TfrmMain::WaterMarkClick);
  connect(Edit2, &QMenu::aboutToShow, this, &TfrmMain::EditMenuPopup);

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("ools1");
  Skin1 = tools->addMenu("&Skin");
  Skin1->setObjectName("Skin1");
  for (int index = 0; index < ThemeCount; ++index) {
    const std::string name = "Skin" + std::to_string(index + 1) + "1";
    QAction* item = MakeAction(Skin1, name.c_str(), ThemeCaption(index), nullptr);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, index] { ChooseSkin(index); });
    FSkinItems.push_back(item);
  }
  connect(Skin1, &QMenu::aboutToShow, this, &TfrmMain::SkinMenuPopup);
  Preference1 = MakeAction(tools, "Preference1", "&Preferences...", &TfrmMain::PreferenceClick);

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("Help1");
  MakeAction(help, "About1", "&About", &TfrmMain::AboutClick);

  suiPopupMenu1 = new QMenu(this);
  suiPopupMenu1->setObjectName("suiPopupMenu1");
  MakeAction(suiPopupMenu1, "AddFiles1", "Add", &TfrmMain::btnAddClick);
  Remove2 = MakeAction(suiPopupMenu1, "Remove2", "&Remove", &TfrmMain::btnRemoveClick);
  Clear2 = MakeAction(suiPopupMenu1, "Clear2", "&Clear", &TfrmMain::btnClearClick);
  suiPopupMenu1->addSeparator();
  Trim2 = MakeAction(suiPopupMenu1, "Trim2", "&Trim", &TfrmMain::TrimClick);
  Crop2 = MakeAction(suiPopupMenu1, "Crop2", "&Crop", &TfrmMain::CropClick);
  WaterMark2 =
      MakeAction(suiPopupMenu1, "WaterMark2", "&Video Effect && Water Mark", &TfrmMain::WaterMarkClick);
  Infomation1 = MakeAction(suiPopupMenu1, "Infomation1", "Video Infomation", &TfrmMain::InfomationClick);
  ShowError1 = MakeAction(suiPopupMenu1, "ShowError1", "Show Error", &TfrmMain::ShowErrorClick);
  CopyCommand1 = MakeAction(suiPopupMenu1, "CopyCommand1", "Copy Command", &TfrmMain::CopyCommandClick);
  suiPopupMenu1->addSeparator();
  Start2 = MakeAction(suiPopupMenu1, "Start2", "&Start", &TfrmMain::btnStartClick);
}

} // namespace kavro
