// TParameterPanel: the model of the parameter panel's two frames (grpbxVideo, grpbxAudio) that the
// main window and the output settings editor bind their combos to. It fills the combos from the
// current format's profile in the format file and the user's choices in the settings file, and its
// handlers write every choice to section "formatInfo" + code of the settings file at once.
// Messages and beeps go through TAppDialogs. Owner's (the main) thread.
#pragma once

#include <string>
#include <vector>

#include "AppDialogs.h"
#include "IniFile.h"

namespace kavro {

enum class TPanelCombo {
  VideoSize,
  VideoBitRate,
  FrameRate,
  VideoEncoder,
  Zoom,
  AudioEncoder,
  AudioBitRate,
  SampleRate,
  Channel,
  Volume
};
inline constexpr int PanelComboCount = 10;

// One combo box as the window shows it. Setting an index outside the items selects nothing and
// clears the text, as a combo box does.
struct TComboModel {
  std::string Name;      // the control's name, "cmbVideoSize"
  bool FreeText = false; // the user may type a value of their own
  std::vector<std::string> Items;
  int ItemIndex = -1;
  std::string Text;
  bool Enabled = true;
  bool Greyed = false; // drawn in the grey-text colour
  int DropDownCount = 0;
  bool Applies = true; // false when the format file's list is "null"

  // New items; nothing selected, text cleared.
  void SetItems(std::vector<std::string> items);
  void SetItemIndex(int index);
  // Typed text: no item is selected.
  void SetText(const std::string& text);
  // The first item equal to the text without regard to case; -1 for none.
  int IndexOf(const std::string& text) const;
};

// What leaving a free-text field did.
struct TFieldExit {
  bool Valid = true;      // false: the text was no value (the message has been shown)
  bool KeepFocus = false; // the field takes the focus back
};

// The ten combos as a panel's widgets bind to them: the main window's panel, which stores every
// choice at once, and the settings editor, which stores on Ok.
class TPanelModel {
public:
  virtual ~TPanelModel() = default;

  // The combos of a format.
  virtual void Load(int formatCode) = 0;
  virtual const TComboModel& Combo(TPanelCombo combo) const = 0;
  // What the user does. A disabled combo takes nothing.
  // Choosing an item from the list.
  virtual void SelectItem(TPanelCombo combo, int index) = 0;
  // The text of a free-text combo changed by typing.
  virtual void TypeText(TPanelCombo combo, const std::string& text) = 0;
  // A key about to reach a free-text combo; false when the filter discards it (after the beep and,
  // for the numeric fields, the message).
  virtual bool KeyPress(TPanelCombo combo, char32_t key) = 0;
  // Leaving a free-text field.
  virtual TFieldExit LeaveField(TPanelCombo combo) = 0;
  virtual void btnDefaultClick() = 0;
};

// A fresh set of the ten combos, in TPanelCombo order, with their names and free-text flags.
std::vector<TComboModel> NewPanelCombos();
// The nine lists of a format from the format file, each combo enabled when its list applies.
void FillPanelLists(std::vector<TComboModel>& combos, const TIniFile& formats, int formatCode);
// Drop-down counts, and each side's combos disabled and greyed when it has no encoder.
void ApplyPanelSides(std::vector<TComboModel>& combos);
// The format file's default item index of a combo with a list; 0 for the zoom.
int PanelDefaultIndex(const TIniFile& formats, int formatCode, TPanelCombo combo);
// The settings key of a list combo's item index, "iVideoSize"; nullptr for the zoom.
const char* PanelIndexKey(TPanelCombo combo);
// The typing filters of the free-text combos, with their beep and message.
bool FilterPanelKey(const TComboModel& target, TPanelCombo combo, char32_t key, TAppDialogs& dialogs);

class TParameterPanel : public TPanelModel {
public:
  TParameterPanel(TIniFile& settings, const TIniFile& formats, TAppDialogs& dialogs);

  // The panel of a format (whenever edt1's text changes): EnsureFormatChoices first, then the
  // combos from both files.
  void Load(int formatCode) override;
  int FormatCode() const { return FCode; }
  const TComboModel& Combo(TPanelCombo combo) const override { return FCombos[static_cast<size_t>(combo)]; }

  // Choosing an item runs that combo's handler.
  void SelectItem(TPanelCombo combo, int index) override;
  // The rate fields store the text at once, the frame size when the field is left.
  void TypeText(TPanelCombo combo, const std::string& text) override;
  bool KeyPress(TPanelCombo combo, char32_t key) override;
  // The frame size is checked and stored; the rate fields were stored as they were typed. The
  // focus moves on.
  TFieldExit LeaveField(TPanelCombo combo) override;

  // The handlers, named after their controls' events; each reads the combo as it stands.
  void cmbVideoSizeSelect();
  // Leaving the frame size (and the check at the start of a run): false when the text is no size.
  bool cmbVideoSizeExit();
  void cmbVideoBitRateChange();
  void cmbFrameRateChange();
  void cmbVideoEncoderChange();
  void cmbZoomChange();
  void cmbAudioEncoderChange();
  void cmbAudioBitRateChange();
  void cmbSamplerateChange();
  void cmbChannelChange();
  void cmbVolumeChange();

  // The format file's defaults: four lists refilled, the nine default indices and zoom 0 set, then
  // every handler run so that each choice is stored, all in one replacement of the file. Combos that
  // are disabled or whose list is "null" are passed over: their parameter does not apply to this format.
  void btnDefaultClick() override;

private:
  friend bool EnsureFormatChoices(TIniFile&, const TIniFile&, int, TAppDialogs&);

  TComboModel& Edit(TPanelCombo combo) { return FCombos[static_cast<size_t>(combo)]; }
  // The Default button's sequence with the zoom of this index.
  void ApplyDefaults(int zoomIndex);
  void Fill(int formatCode);
  void Write(const std::string& key, const std::string& value);
  void WriteIndex(const std::string& key, int index);
  // The rate fields: store a valid text, else the message and item 1 of a longer list.
  void RateChange(TPanelCombo combo, const char* indexKey, const char* valueKey, bool valid,
                  const char* message);
  bool Active(TPanelCombo combo) const;

  TIniFile& FSettings;
  const TIniFile& FFormats;
  TAppDialogs& FDialogs;
  int FCode = 0;
  std::vector<TComboModel> FCombos;
};

// When the settings file's section of the format holds neither "paraVideoEncoder" nor
// "paraAudioEncoder", stores the format file's defaults through the Default button's sequence, with
// letterbox for the zoom, in one replacement of the file, and returns true; otherwise does nothing and
// returns false. When the file cannot take them they hold in memory, and the first such failure is
// said through the dialogs.
bool EnsureFormatChoices(TIniFile& settings, const TIniFile& formats, int formatCode, TAppDialogs& dialogs);

} // namespace kavro
