// TfrmPreference: the preferences dialog: the snapshot folder (picked, opened), which snapshot sizes
// and file kinds are saved and the JPEG quality, the work priority of conversions and the processor
// cores they use. The stored values are loaded each time the dialog is shown; Ok stores them all,
// Cancel nothing; only a folder picked with Brows is stored at once. GUI thread only.
#pragma once

#include "AppDialogs.h"
#include "AppSettings.h"
#include "ConversionRun.h"
#include "Preferences.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace kavro {

class TfrmPreference : public QDialog {
  Q_OBJECT

public:
  TfrmPreference(TAppSettings& settings, TAppDialogs& dialogs, TDesktop& desktop, QWidget* parent = nullptr);

  // Shows the stored values; runs at every show.
  void Load();
  // What the controls say now.
  TPreferences Shown() const;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildLayout();
  void Show(const TPreferences& preferences);
  void SetPriority(int index);
  void EnableQuality(bool enabled);

  void btnBrowsClick();
  void btnOpenClick();
  void btnOkClick();
  void btnDefaultClick();

  TAppSettings& FSettings;
  TAppDialogs& FDialogs;
  TDesktop& FDesktop;

  QLineEdit* edtSnapDirectory = nullptr;
  QPushButton* btnBrows = nullptr;
  QPushButton* btnOpen = nullptr;
  QCheckBox* ckFullSize = nullptr;
  QCheckBox* ckSmallSize = nullptr;
  QCheckBox* ckBmp = nullptr;
  QCheckBox* ckJpg = nullptr;
  QLabel* lblCmp = nullptr;
  QSpinBox* spedCmp = nullptr;
  QSlider* trcCmp = nullptr;
  QLabel* lblCmpNote = nullptr;
  QGroupBox* rdGrpPriority = nullptr;
  QButtonGroup* FPriorityButtons = nullptr;
  QSpinBox* spedThreads = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnDefault = nullptr;
};

} // namespace kavro
