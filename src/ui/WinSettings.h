// TfrmSettings: the output settings editor. It edits the parameters of one format in a modal dialog
// with its own format drop-down and its own panel over a TSettingsEditor, and stores them only on Ok.
// GUI thread only; the settings, the format file and the dialogs outlive the window.
#pragma once

#include "AppDialogs.h"
#include "AppSettings.h"
#include "GlobalUnit.h"
#include "IniFile.h"
#include "SettingsEditor.h"

#include <QDialog>

#include <string>

class QComboBox;
class QPushButton;

namespace kavro {

class TFormatDropDown;
class TParameterPanelView;

class TfrmSettings : public QDialog {
  Q_OBJECT

public:
  // Shows the stored current format at once.
  TfrmSettings(TEdition edition, TAppSettings& settings, const TIniFile& formats, TAppDialogs& dialogs,
               QWidget* parent = nullptr);
  ~TfrmSettings() override;

  // After Ok (accepted): the format the editor stored as current, for the main window to rebuild its
  // catalogue and reload its panel.
  int ChosenCode() const;
  std::string ChosenName() const;
  // The hidden cbOutputFormat's index, for the main window's own hidden combo.
  int OutputFormatIndex() const;

  TSettingsEditor& Editor() { return FEditor; }

private:
  void FormatChosen(int code, const QString& name);
  void btnOkClick();

  TSettingsEditor FEditor;
  TFormatDropDown* FDropDown = nullptr;
  TParameterPanelView* FPanel = nullptr;
  QComboBox* cbOutputFormat = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
};

} // namespace kavro
