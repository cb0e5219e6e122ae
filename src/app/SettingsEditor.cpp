#include "SettingsEditor.h"

#include "EncoderNames.h"
#include "FormatKeys.h"
#include "FormatProfile.h"
#include "PanelInput.h"

#include <optional>

namespace kavro {
namespace {

// The fields that may hold a typed value, with what they show when the stored index is negative.
struct TTypedField {
  TPanelCombo Combo;
  const char* ValueKey;
  const char* Default;
};

constexpr TTypedField TypedFields[] = {
    {TPanelCombo::VideoSize, "paraVideoSize", "320x240"},
    {TPanelCombo::VideoBitRate, "paraVideoBitRate", "800"},
    {TPanelCombo::FrameRate, "paraFrameRate", "25"},
    {TPanelCombo::SampleRate, "paraSampleRate", "44100"},
    {TPanelCombo::AudioBitRate, "paraAudioBitRate", "96"},
};

const char* ValueKeyOf(TPanelCombo combo) {
  for (const auto& field : TypedFields)
    if (field.Combo == combo) return field.ValueKey;
  return "";
}

constexpr TPanelCombo IndexedCombos[] = {TPanelCombo::VideoEncoder, TPanelCombo::Channel, TPanelCombo::Volume,
                                         TPanelCombo::AudioEncoder};

// The form's own zoom items; "center" has none, so its index selects nothing.
constexpr const char* ZoomItems[] = {"Full screen", "Letterbox", "Pan and Scan"};
constexpr const char* ZoomWords[] = {"full", "lbox", "pan", "center"};

// The order Ok stores the item indices in.
constexpr TPanelCombo StoredIndices[] = {
    TPanelCombo::VideoSize, TPanelCombo::VideoBitRate, TPanelCombo::VideoEncoder,
    TPanelCombo::FrameRate, TPanelCombo::SampleRate,   TPanelCombo::AudioBitRate,
    TPanelCombo::Channel,   TPanelCombo::Volume,       TPanelCombo::AudioEncoder};

// The free-text fields in the order Ok checks them.
constexpr TPanelCombo CheckedFields[] = {TPanelCombo::VideoSize, TPanelCombo::VideoBitRate,
                                         TPanelCombo::AudioBitRate, TPanelCombo::SampleRate};

} // namespace

TSettingsEditor::TSettingsEditor(TEdition edition, TAppSettings& settings, const TIniFile& formats,
                                 TAppDialogs& dialogs)
    : FEdition(edition), FSettings(settings), FFormats(formats), FDialogs(dialogs), FCatalogue(edition),
      FCombos(NewPanelCombos()) {
  FCatalogue.SetStoresChoice(false);
}

void TSettingsEditor::Show() {
  FCode = FSettings.FormatCode();
  // The name the catalogue shows for the stored format: a stored name this edition does not have
  // would be written back as the format's description and name.
  FName = FCatalogue.Build(FSettings);
  Fill(true);
}

void TSettingsEditor::ChooseFormat(int code, const std::string& name) {
  FCode = code;
  FName = name;
  Fill(false);
}

void TSettingsEditor::Load(int formatCode) {
  FCode = formatCode;
  Fill(true);
}

void TSettingsEditor::Fill(bool freeTextFromIndex) {
  const std::string section = FormatSection(FCode);
  const TIniFile& stored = FSettings.Ini();
  FillPanelLists(FCombos, FFormats, FCode);
  for (const auto& field : TypedFields) {
    TComboModel& combo = Edit(field.Combo);
    const int index = stored.ReadInteger(section, PanelIndexKey(field.Combo), 0);
    if (freeTextFromIndex && index < 0)
      combo.SetText(stored.ReadString(section, field.ValueKey, field.Default));
    else
      combo.SetItemIndex(index);
  }
  for (const TPanelCombo combo : IndexedCombos)
    Edit(combo).SetItemIndex(stored.ReadInteger(section, PanelIndexKey(combo), 0));

  TComboModel& zoom = Edit(TPanelCombo::Zoom);
  zoom.SetItems({std::begin(ZoomItems), std::end(ZoomItems)});
  zoom.Applies = zoom.Enabled = true;
  const std::string zoomWord = stored.ReadString(section, "paraZoom", "full");
  for (int i = 0; i < static_cast<int>(std::size(ZoomWords)); ++i)
    if (zoomWord == ZoomWords[i]) zoom.SetItemIndex(i);
  ApplyPanelSides(FCombos);
}

void TSettingsEditor::SelectItem(TPanelCombo combo, int index) {
  if (Combo(combo).Enabled) Edit(combo).SetItemIndex(index);
}

void TSettingsEditor::TypeText(TPanelCombo combo, const std::string& text) {
  if (Combo(combo).Enabled && Combo(combo).FreeText) Edit(combo).SetText(text);
}

bool TSettingsEditor::KeyPress(TPanelCombo combo, char32_t key) {
  return FilterPanelKey(Combo(combo), combo, key, FDialogs);
}

TFieldExit TSettingsEditor::LeaveField(TPanelCombo combo) {
  TComboModel& field = Edit(combo);
  if (!field.Enabled || !field.FreeText) return {};
  const char* invalid = nullptr;
  switch (combo) {
  case TPanelCombo::VideoSize: {
    const TFrameSizeCheck check = CheckFrameSize(field.Text);
    if (check.Verdict == TFrameSizeVerdict::Corrected) {
      FDialogs.ShowMessage(FrameSizeCorrectionText(check.Size), CaptionInputError);
      field.SetText(check.Size);
      return {true, true};
    }
    if (check.Verdict == TFrameSizeVerdict::Invalid) invalid = MsgFrameSizeInvalid;
    break;
  }
  case TPanelCombo::VideoBitRate:
    if (!IsVideoBitRateText(field.Text)) invalid = MsgVideoBitRateInvalid;
    break;
  case TPanelCombo::AudioBitRate:
    if (!IsAudioBitRateText(field.Text)) invalid = MsgAudioBitRateInvalid;
    break;
  case TPanelCombo::SampleRate:
    if (!IsSampleRateText(field.Text)) invalid = MsgSampleRateInvalid;
    break;
  default:
    break;
  }
  if (!invalid) return {};
  FDialogs.ShowMessage(invalid, CaptionInputError);
  if (field.Items.size() > 1) field.SetItemIndex(1);
  return {false, true};
}

void TSettingsEditor::btnDefaultClick() {
  for (int i = 0; i < PanelComboCount; ++i) {
    const auto combo = static_cast<TPanelCombo>(i);
    Edit(combo).SetItemIndex(PanelDefaultIndex(FFormats, FCode, combo));
  }
}

bool TSettingsEditor::Ok() {
  for (const TPanelCombo field : CheckedFields)
    if (!LeaveField(field).Valid) return false;
  TIniFile& ini = FSettings.Ini();
  TIniBatch batch(ini);
  WriteChoices();
  FCatalogue.SaveFoldState(ini);
  FSettings.SetFormat(FCode, FName);
  if (batch.End()) return true;
  // Held in memory, not on disk: the user hears why, and the editor stays open with the choices.
  if (const auto failure = ini.NewStoreFailure())
    FDialogs.ShowMessage(SettingsNotStoredText(*failure), CaptionWarning);
  return false;
}

void TSettingsEditor::WriteChoices() {
  TIniFile& ini = FSettings.Ini();
  const std::string section = FormatSection(FCode);
  // A parameter the format does not have (a disabled combo) keeps what is stored: an empty value
  // would read as a choice.
  auto applies = [this](TPanelCombo combo) { return Combo(combo).Enabled; };
  auto text = [this](TPanelCombo combo) -> const std::string& { return Combo(combo).Text; };
  auto write = [&](const char* key, const std::string& value) { ini.WriteString(section, key, value); };

  // A volume list the format file got wrong is said, and the volume stays as stored.
  std::optional<std::string> volume;
  bool volumeValid = applies(TPanelCombo::Volume);
  if (volumeValid) {
    try {
      volume = VolumeValue(text(TPanelCombo::Volume));
    } catch (const TConvertError& error) {
      FDialogs.ShowMessage(error.what(), CaptionWarning);
      volumeValid = false;
    }
  }

  write("Description", FName);
  for (const TPanelCombo combo : StoredIndices)
    if (applies(combo) && (combo != TPanelCombo::Volume || volumeValid))
      ini.WriteInteger(section, PanelIndexKey(combo), Combo(combo).ItemIndex);
  for (const TPanelCombo combo : {TPanelCombo::VideoSize, TPanelCombo::VideoBitRate, TPanelCombo::FrameRate})
    if (applies(combo)) write(ValueKeyOf(combo), text(combo));
  const int zoom = Combo(TPanelCombo::Zoom).ItemIndex;
  if (applies(TPanelCombo::Zoom) && zoom >= 0 && zoom < static_cast<int>(std::size(ZoomWords)))
    write("paraZoom", ZoomWords[zoom]);
  if (applies(TPanelCombo::VideoEncoder))
    if (const auto word = VideoEncoderWord(text(TPanelCombo::VideoEncoder))) {
      write("paraVideoEncoder", *word);
      if (IsH264DisplayName(text(TPanelCombo::VideoEncoder)))
        for (const auto& extra : H264ExtrasToCopy(FFormats, FCode))
          write(extra.Key.c_str(), extra.Value);
    }
  if (applies(TPanelCombo::SampleRate)) write("paraSampleRate", text(TPanelCombo::SampleRate));
  if (applies(TPanelCombo::AudioBitRate)) write("paraAudioBitRate", text(TPanelCombo::AudioBitRate));
  if (applies(TPanelCombo::Channel))
    if (const auto value = ChannelValue(text(TPanelCombo::Channel))) write("paraChannel", *value);
  if (volume) write("paraVolume", *volume);
  if (applies(TPanelCombo::AudioEncoder))
    if (const auto word = AudioEncoderWord(text(TPanelCombo::AudioEncoder))) write("paraAudioEncoder", *word);
}

} // namespace kavro
