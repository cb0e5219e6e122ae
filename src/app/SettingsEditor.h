// TSettingsEditor: the model of the output settings editor. It edits the parameters of one format in
// its own combos, with its own catalogue list and its own current format, and stores nothing until
// Ok, which writes the format's choices, the catalogue's fold state and the current format in one
// replacement of the settings file. Messages go through TAppDialogs. Owner's (the main) thread.
#pragma once

#include <string>
#include <vector>

#include "AppDialogs.h"
#include "AppSettings.h"
#include "CatalogueList.h"
#include "GlobalUnit.h"
#include "IniFile.h"
#include "ParameterPanel.h"

namespace kavro {

class TSettingsEditor : public TPanelModel {
public:
  TSettingsEditor(TEdition edition, TAppSettings& settings, const TIniFile& formats, TAppDialogs& dialogs);

  // Builds the editor's catalogue, takes the stored current format and loads its panel.
  void Show();
  // A format chosen in the editor's drop-down: the panel of that format, nothing stored.
  void ChooseFormat(int code, const std::string& name);

  int FormatCode() const { return FCode; }
  const std::string& FormatName() const { return FName; }
  // The editor's own list: its choices are not stored.
  TCatalogueList& Catalogue() { return FCatalogue; }

  // The panel of a format as when it is shown.
  void Load(int formatCode) override;
  const TComboModel& Combo(TPanelCombo combo) const override { return FCombos[static_cast<size_t>(combo)]; }
  void SelectItem(TPanelCombo combo, int index) override;
  // Typed text is only checked when the field is left.
  void TypeText(TPanelCombo combo, const std::string& text) override;
  bool KeyPress(TPanelCombo combo, char32_t key) override;
  // The check of a free-text field: a text that is no value gets its message and item 1 of a longer
  // list, an odd frame size its correction; either way the field keeps the focus.
  TFieldExit LeaveField(TPanelCombo combo) override;
  // The format file's default indices and zoom 0; nothing stored.
  void btnDefaultClick() override;

  // Checks the free-text fields as when they are left, then stores everything. False, with the
  // message said and nothing lost, when a field holds no value or the file cannot take the choices:
  // the editor stays open.
  bool Ok();

private:
  TComboModel& Edit(TPanelCombo combo) { return FCombos[static_cast<size_t>(combo)]; }
  // freeTextFromIndex: a negative stored index shows the stored value (when shown), else every
  // stored index is simply selected (when a format is chosen).
  void Fill(bool freeTextFromIndex);
  void WriteChoices();

  TEdition FEdition;
  TAppSettings& FSettings;
  const TIniFile& FFormats;
  TAppDialogs& FDialogs;
  TCatalogueList FCatalogue;
  int FCode = 1;
  std::string FName;
  std::vector<TComboModel> FCombos;
};

} // namespace kavro
