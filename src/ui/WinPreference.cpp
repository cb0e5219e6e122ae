#include "WinPreference.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace kavro {
namespace {

constexpr const char* PriorityCaptions[PriorityCount] = {"Idle", "Normal", "Lower", "Lowest"};

constexpr const char* QualityHint =
    "The quality of the JPEG snapshots, from 1 to 100.\n"
    "A higher value keeps more of the picture's detail and makes a larger file;\n"
    "a lower value makes a smaller file with visible blocks.";

template <typename TWidget> TWidget* Named(TWidget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

} // namespace

TfrmPreference::TfrmPreference(TAppSettings& settings, TAppDialogs& dialogs, TDesktop& desktop,
                               QWidget* parent)
    : QDialog(parent), FSettings(settings), FDialogs(dialogs), FDesktop(desktop) {
  setObjectName("frmPreference");
  setWindowTitle("Preferences");
  setModal(true);
  BuildLayout();
  resize(480, 390);

  // Only the user's click is answered; the values loaded are shown as they are stored.
  const auto keepPair = [](QCheckBox* clicked, QCheckBox* other) {
    connect(clicked, &QCheckBox::clicked, clicked, [clicked, other](bool checked) {
      clicked->setChecked(KeepOneOfPair(checked, other->isChecked()));
    });
  };
  keepPair(ckFullSize, ckSmallSize);
  keepPair(ckSmallSize, ckFullSize);
  keepPair(ckBmp, ckJpg);
  keepPair(ckJpg, ckBmp);
  connect(ckJpg, &QCheckBox::toggled, this, &TfrmPreference::EnableQuality);
  connect(spedCmp, &QSpinBox::valueChanged, trcCmp, &QSlider::setValue);
  connect(trcCmp, &QSlider::valueChanged, spedCmp, &QSpinBox::setValue);

  connect(btnBrows, &QPushButton::clicked, this, &TfrmPreference::btnBrowsClick);
  connect(btnOpen, &QPushButton::clicked, this, &TfrmPreference::btnOpenClick);
  connect(btnOk, &QPushButton::clicked, this, &TfrmPreference::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmPreference::reject);
  connect(btnDefault, &QPushButton::clicked, this, &TfrmPreference::btnDefaultClick);
}

void TfrmPreference::BuildLayout() {
  edtSnapDirectory = Named(new QLineEdit(this), "edtSnapDirectory");
  edtSnapDirectory->setReadOnly(true);
  btnBrows = Named(new QPushButton("&Brows", this), "btnBrows");
  btnOpen = Named(new QPushButton("&Open", this), "btnOpen");
  ckFullSize = Named(new QCheckBox("Full Size", this), "ckFullSize");
  ckSmallSize = Named(new QCheckBox("Small Size", this), "ckSmallSize");
  ckBmp = Named(new QCheckBox("BMP", this), "ckBmp");
  ckJpg = Named(new QCheckBox("JPG", this), "ckJpg");

  lblCmp = new QLabel("Jpg Compression Quality:", this);
  spedCmp = Named(new QSpinBox(this), "spedCmp");
  spedCmp->setRange(MinJpgQuality, MaxJpgQuality);
  spedCmp->setToolTip(QualityHint);
  // Arrows only: a typed value could leave the range half-typed.
  if (auto* text = spedCmp->findChild<QLineEdit*>()) text->setReadOnly(true);
  trcCmp = Named(new QSlider(Qt::Horizontal, this), "trcCmp");
  trcCmp->setRange(MinJpgQuality, MaxJpgQuality);
  trcCmp->setPageStep(10);
  lblCmpNote = new QLabel("(The higher the value, the better the image quality.)", this);

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(edtSnapDirectory, 1);
  folderRow->addWidget(btnBrows);
  folderRow->addWidget(btnOpen);

  auto* kinds = new QGridLayout;
  kinds->addWidget(ckFullSize, 0, 0);
  kinds->addWidget(ckSmallSize, 0, 1);
  kinds->addWidget(ckBmp, 1, 0);
  kinds->addWidget(ckJpg, 1, 1);

  auto* qualityRow = new QHBoxLayout;
  qualityRow->addWidget(lblCmp);
  qualityRow->addWidget(spedCmp);
  qualityRow->addWidget(trcCmp, 1);

  auto* snapshot = new QGroupBox("Snapshot", this);
  auto* snapshotLayout = new QVBoxLayout(snapshot);
  snapshotLayout->addWidget(new QLabel("Snapshot folder:", snapshot));
  snapshotLayout->addLayout(folderRow);
  snapshotLayout->addLayout(kinds);
  snapshotLayout->addLayout(qualityRow);
  snapshotLayout->addWidget(lblCmpNote);

  rdGrpPriority = Named(new QGroupBox("Work priority", this), "rdGrpPriority");
  FPriorityButtons = new QButtonGroup(rdGrpPriority);
  auto* priorityLayout = new QHBoxLayout(rdGrpPriority);
  for (int index = 0; index < PriorityCount; ++index) {
    auto* button = new QRadioButton(PriorityCaptions[index], rdGrpPriority);
    FPriorityButtons->addButton(button, index);
    priorityLayout->addWidget(button);
  }

  spedThreads = Named(new QSpinBox(this), "spedThreads");
  spedThreads->setSpecialValueText("Automatic");
  spedThreads->setToolTip("The processor cores each conversion may use; Automatic uses all of them.");
  auto* threadsRow = new QHBoxLayout;
  threadsRow->addWidget(new QLabel("Processor cores:", this));
  threadsRow->addWidget(spedThreads);
  threadsRow->addStretch(1);

  btnOk = Named(new QPushButton("&Ok", this), "btnOk");
  btnOk->setDefault(true);
  btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel");
  btnDefault = Named(new QPushButton("&Default", this), "btnDefault");
  for (QPushButton* button : {btnBrows, btnOpen, btnCancel, btnDefault})
    button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnDefault);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(snapshot);
  layout->addWidget(rdGrpPriority);
  layout->addLayout(threadsRow);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

void TfrmPreference::showEvent(QShowEvent* event) {
  // A window restored from the task bar keeps what the user has changed.
  if (!event->spontaneous()) Load();
  QDialog::showEvent(event);
}

void TfrmPreference::Load() {
  Show(LoadPreferences(FSettings));
}

void TfrmPreference::Show(const TPreferences& preferences) {
  edtSnapDirectory->setText(QString::fromStdString(preferences.SnapFolder));
  ckFullSize->setChecked(preferences.FullSize);
  ckSmallSize->setChecked(preferences.SmallSize);
  ckBmp->setChecked(preferences.Bmp);
  ckJpg->setChecked(preferences.Jpg);
  EnableQuality(preferences.Jpg);
  spedCmp->setValue(preferences.JpgQuality);
  trcCmp->setValue(spedCmp->value());
  SetPriority(preferences.Priority);
  // A count set for a larger machine is shown, and kept by Ok, as it is.
  spedThreads->setRange(0, std::max({QThread::idealThreadCount(), preferences.Threads, 1}));
  spedThreads->setValue(preferences.Threads);
}

TPreferences TfrmPreference::Shown() const {
  TPreferences preferences;
  preferences.SnapFolder = edtSnapDirectory->text().toStdString();
  preferences.FullSize = ckFullSize->isChecked();
  preferences.SmallSize = ckSmallSize->isChecked();
  preferences.Bmp = ckBmp->isChecked();
  preferences.Jpg = ckJpg->isChecked();
  preferences.JpgQuality = spedCmp->value();
  preferences.Priority = FPriorityButtons->checkedId();
  preferences.Threads = spedThreads->value();
  return preferences;
}

void TfrmPreference::SetPriority(int index) {
  if (QAbstractButton* button = FPriorityButtons->button(index)) {
    button->setChecked(true);
    return;
  }
  // A stored value outside the list ticks none; an exclusive group would keep one ticked.
  FPriorityButtons->setExclusive(false);
  for (QAbstractButton* button : FPriorityButtons->buttons())
    button->setChecked(false);
  FPriorityButtons->setExclusive(true);
}

void TfrmPreference::EnableQuality(bool enabled) {
  spedCmp->setEnabled(enabled);
  trcCmp->setEnabled(enabled);
}

void TfrmPreference::btnBrowsClick() {
  if (const auto folder = BrowseSnapFolder(FSettings, FDialogs, edtSnapDirectory->text().toStdString()))
    edtSnapDirectory->setText(QString::fromStdString(*folder));
}

void TfrmPreference::btnOpenClick() {
  if (edtSnapDirectory->text().size() > 2) FDesktop.OpenFolder(FSettings.SnapOutputDir());
}

void TfrmPreference::btnOkClick() {
  StorePreferences(FSettings, Shown(), FDialogs);
  accept();
}

void TfrmPreference::btnDefaultClick() {
  Show(DefaultPreferences());
}

} // namespace kavro
