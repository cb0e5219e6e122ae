#include "ParameterPanel.h"

#include "AppSettings.h"
#include "EncoderNames.h"
#include "FormatKeys.h"
#include "FormatProfile.h"
#include "PanelInput.h"

namespace kavro {
namespace {

constexpr int NoList = -1;

struct TComboInfo {
  TPanelCombo Combo;
  const char* Name;
  int List; // a TFormatList, or NoList for the zoom
  bool FreeText;
  bool Video; // greyed with the video encoder's list, else with the audio encoder's
};

constexpr TComboInfo ComboTable[] = {
    {TPanelCombo::VideoSize, "cmbVideoSize", static_cast<int>(TFormatList::VideoSize), true, true},
    {TPanelCombo::VideoBitRate, "cmbVideoBitRate", static_cast<int>(TFormatList::VideoBitRate), true, true},
    {TPanelCombo::FrameRate, "cmbFrameRate", static_cast<int>(TFormatList::FrameRate), false, true},
    {TPanelCombo::VideoEncoder, "cmbVideoEncoder", static_cast<int>(TFormatList::VideoEncoder), false, true},
    {TPanelCombo::Zoom, "cmbZoom", NoList, false, true},
    {TPanelCombo::AudioEncoder, "cmbAudioEncoder", static_cast<int>(TFormatList::AudioEncoder), false, false},
    {TPanelCombo::AudioBitRate, "cmbAudioBitRate", static_cast<int>(TFormatList::AudioBitRate), true, false},
    {TPanelCombo::SampleRate, "cmbSamplerate", static_cast<int>(TFormatList::SampleRate), true, false},
    {TPanelCombo::Channel, "cmbChannel", static_cast<int>(TFormatList::Channel), false, false},
    {TPanelCombo::Volume, "cmbVolume", static_cast<int>(TFormatList::Volume), false, false},
};
static_assert(std::size(ComboTable) == PanelComboCount);

// The free-text combos show the stored value; the panel's own defaults differ from the option
// builder's.
struct TStoredText {
  TPanelCombo Combo;
  const char* Key;
  const char* Default;
};

constexpr TStoredText StoredTexts[] = {
    {TPanelCombo::VideoSize, "paraVideoSize", "320x240"},
    {TPanelCombo::VideoBitRate, "paraVideoBitRate", "768"},
    {TPanelCombo::SampleRate, "paraSampleRate", "44100"},
    {TPanelCombo::AudioBitRate, "paraAudioBitRate", "96"},
};

// The list combos show the stored item index.
constexpr TPanelCombo StoredIndices[] = {TPanelCombo::FrameRate, TPanelCombo::VideoEncoder,
                                         TPanelCombo::Channel, TPanelCombo::Volume,
                                         TPanelCombo::AudioEncoder};

// The lists the Default button reads again: the ones the user may have typed into.
constexpr TPanelCombo RefilledByDefault[] = {TPanelCombo::VideoSize, TPanelCombo::VideoBitRate,
                                             TPanelCombo::AudioBitRate, TPanelCombo::SampleRate};

constexpr const char* ZoomItems[] = {"Full Screen", "Letter Box", "Pan and Scan"};
constexpr const char* ZoomWords[] = {"full", "lbox", "pan"};
constexpr int ZoomFullIndex = 0;
// What a conversion does when the user never chose: nothing is distorted.
constexpr int ZoomLetterBoxIndex = 1;
// "center" has no item of its own: its index selects nothing.
constexpr int ZoomCenterIndex = 3;

const TComboInfo& InfoOf(TPanelCombo combo) {
  return ComboTable[static_cast<size_t>(combo)];
}

TFormatList ListOf(TPanelCombo combo) {
  return static_cast<TFormatList>(InfoOf(combo).List);
}

const char* IndexKeyOf(TPanelCombo combo) {
  return FormatListInfo(ListOf(combo)).IndexKey;
}

} // namespace

void TComboModel::SetItems(std::vector<std::string> items) {
  Items = std::move(items);
  ItemIndex = -1;
  Text.clear();
}

void TComboModel::SetItemIndex(int index) {
  if (index >= 0 && index < static_cast<int>(Items.size())) {
    ItemIndex = index;
    Text = Items[index];
  } else {
    ItemIndex = -1;
    Text.clear();
  }
}

void TComboModel::SetText(const std::string& text) {
  ItemIndex = -1;
  Text = text;
}

int TComboModel::IndexOf(const std::string& text) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (SameText(Items[i], text)) return static_cast<int>(i);
  return -1;
}

std::vector<TComboModel> NewPanelCombos() {
  std::vector<TComboModel> combos;
  for (const auto& info : ComboTable) {
    TComboModel combo;
    combo.Name = info.Name;
    combo.FreeText = info.FreeText;
    combos.push_back(combo);
  }
  return combos;
}

void FillPanelLists(std::vector<TComboModel>& combos, const TIniFile& formats, int formatCode) {
  for (const auto& info : ComboTable) {
    if (info.List == NoList) continue;
    TChoiceList list = ReadChoiceList(formats, formatCode, static_cast<TFormatList>(info.List));
    TComboModel& combo = combos[static_cast<size_t>(info.Combo)];
    combo.SetItems(std::move(list.Items));
    combo.Applies = combo.Enabled = list.Applies;
  }
}

void ApplyPanelSides(std::vector<TComboModel>& combos) {
  // A side without encoders has nothing to choose: its five combos are disabled and greyed. A
  // parameter the format does not have stays disabled on the other side too, or the user could type a
  // value the format never takes.
  const bool hasVideo = !combos[static_cast<size_t>(TPanelCombo::VideoEncoder)].Items.empty();
  const bool hasAudio = !combos[static_cast<size_t>(TPanelCombo::AudioEncoder)].Items.empty();
  for (const auto& info : ComboTable) {
    TComboModel& combo = combos[static_cast<size_t>(info.Combo)];
    const bool side = info.Video ? hasVideo : hasAudio;
    combo.DropDownCount = static_cast<int>(combo.Items.size());
    combo.Enabled = side && combo.Applies;
    combo.Greyed = !side;
  }
}

int PanelDefaultIndex(const TIniFile& formats, int formatCode, TPanelCombo combo) {
  if (InfoOf(combo).List == NoList) return 0;
  return ReadDefaultIndex(formats, formatCode, ListOf(combo));
}

const char* PanelIndexKey(TPanelCombo combo) {
  return InfoOf(combo).List == NoList ? nullptr : IndexKeyOf(combo);
}

bool FilterPanelKey(const TComboModel& target, TPanelCombo combo, char32_t key, TAppDialogs& dialogs) {
  if (!target.Enabled) return false;
  TKeyVerdict verdict;
  if (combo == TPanelCombo::VideoSize)
    verdict = VideoSizeKeyFilter(target.Text, key);
  else if (combo == TPanelCombo::VideoBitRate || combo == TPanelCombo::AudioBitRate ||
           combo == TPanelCombo::SampleRate)
    verdict = NumericKeyFilter(key);
  if (verdict.Accept) return true;
  if (!verdict.Message.empty()) dialogs.ShowMessage(verdict.Message, CaptionInputError);
  dialogs.Beep();
  return false;
}

TParameterPanel::TParameterPanel(TIniFile& settings, const TIniFile& formats, TAppDialogs& dialogs)
    : FSettings(settings), FFormats(formats), FDialogs(dialogs), FCombos(NewPanelCombos()) {}

void TParameterPanel::Load(int formatCode) {
  EnsureFormatChoices(FSettings, FFormats, formatCode, FDialogs);
  Fill(formatCode);
}

void TParameterPanel::Fill(int formatCode) {
  FCode = formatCode;
  const std::string section = FormatSection(formatCode);
  FillPanelLists(FCombos, FFormats, formatCode);

  TComboModel& zoom = Edit(TPanelCombo::Zoom);
  const std::string zoomWord = FSettings.ReadString(section, "paraZoom", "full");
  if (zoomWord != "null" && !zoomWord.empty()) {
    zoom.SetItems({std::begin(ZoomItems), std::end(ZoomItems)});
    zoom.Applies = zoom.Enabled = true;
    for (int i = 0; i < static_cast<int>(std::size(ZoomWords)); ++i)
      if (zoomWord == ZoomWords[i]) zoom.SetItemIndex(i);
    if (zoomWord == "center") zoom.SetItemIndex(ZoomCenterIndex);
  } else {
    zoom.SetItems({});
    zoom.Applies = zoom.Enabled = false;
  }

  for (const auto& stored : StoredTexts) {
    TComboModel& combo = Edit(stored.Combo);
    const std::string value = FSettings.ReadString(section, stored.Key, stored.Default);
    const int index = combo.IndexOf(value);
    if (index >= 0)
      combo.SetItemIndex(index);
    else
      combo.SetText(value);
  }
  for (const TPanelCombo stored : StoredIndices)
    Edit(stored).SetItemIndex(FSettings.ReadInteger(section, IndexKeyOf(stored), 0));
  ApplyPanelSides(FCombos);
}

void TParameterPanel::Write(const std::string& key, const std::string& value) {
  FSettings.WriteString(FormatSection(FCode), key, value);
}

void TParameterPanel::WriteIndex(const std::string& key, int index) {
  FSettings.WriteInteger(FormatSection(FCode), key, index);
}

void TParameterPanel::SelectItem(TPanelCombo combo, int index) {
  if (!Combo(combo).Enabled) return;
  Edit(combo).SetItemIndex(index);
  switch (combo) {
  case TPanelCombo::VideoSize:
    cmbVideoSizeSelect();
    break;
  case TPanelCombo::VideoBitRate:
    cmbVideoBitRateChange();
    break;
  case TPanelCombo::FrameRate:
    cmbFrameRateChange();
    break;
  case TPanelCombo::VideoEncoder:
    cmbVideoEncoderChange();
    break;
  case TPanelCombo::Zoom:
    cmbZoomChange();
    break;
  case TPanelCombo::AudioEncoder:
    cmbAudioEncoderChange();
    break;
  case TPanelCombo::AudioBitRate:
    cmbAudioBitRateChange();
    break;
  case TPanelCombo::SampleRate:
    cmbSamplerateChange();
    break;
  case TPanelCombo::Channel:
    cmbChannelChange();
    break;
  case TPanelCombo::Volume:
    cmbVolumeChange();
    break;
  }
}

void TParameterPanel::TypeText(TPanelCombo combo, const std::string& text) {
  if (!Combo(combo).Enabled || !Combo(combo).FreeText) return;
  Edit(combo).SetText(text);
  if (combo == TPanelCombo::VideoBitRate) cmbVideoBitRateChange();
  if (combo == TPanelCombo::AudioBitRate) cmbAudioBitRateChange();
  if (combo == TPanelCombo::SampleRate) cmbSamplerateChange();
}

bool TParameterPanel::KeyPress(TPanelCombo combo, char32_t key) {
  return FilterPanelKey(Combo(combo), combo, key, FDialogs);
}

TFieldExit TParameterPanel::LeaveField(TPanelCombo combo) {
  TFieldExit exit;
  if (combo == TPanelCombo::VideoSize) exit.Valid = cmbVideoSizeExit();
  return exit;
}

void TParameterPanel::cmbVideoSizeSelect() {
  const TComboModel& combo = Combo(TPanelCombo::VideoSize);
  WriteIndex("iVideoSize", combo.ItemIndex);
  Write("paraVideoSize", combo.Text);
}

bool TParameterPanel::cmbVideoSizeExit() {
  TComboModel& combo = Edit(TPanelCombo::VideoSize);
  // A disabled frame size is no input of the user's.
  if (!combo.Enabled) return true;
  const TFrameSizeCheck check = CheckFrameSize(combo.Text);
  switch (check.Verdict) {
  case TFrameSizeVerdict::AsSource:
    return true;
  case TFrameSizeVerdict::Invalid:
    FDialogs.ShowMessage(MsgFrameSizeInvalid, CaptionInputError);
    if (combo.Items.size() > 1) combo.SetItemIndex(1);
    return false;
  case TFrameSizeVerdict::Corrected:
    FDialogs.ShowMessage(FrameSizeCorrectionText(check.Size), CaptionInputError);
    combo.SetText(check.Size);
    break;
  case TFrameSizeVerdict::Valid:
    break;
  }
  WriteIndex("iVideoSize", std::max(combo.IndexOf(check.Size), 0));
  Write("paraVideoSize", check.Size);
  return true;
}

void TParameterPanel::RateChange(TPanelCombo combo, const char* indexKey, const char* valueKey, bool valid,
                                 const char* message) {
  TComboModel& target = Edit(combo);
  if (valid) {
    WriteIndex(indexKey, target.ItemIndex);
    Write(valueKey, target.Text);
    return;
  }
  FDialogs.ShowMessage(message, CaptionInputError);
  if (target.Items.size() > 1) target.SetItemIndex(1);
}

void TParameterPanel::cmbVideoBitRateChange() {
  const std::string& text = Combo(TPanelCombo::VideoBitRate).Text;
  RateChange(TPanelCombo::VideoBitRate, "iVideoBitRate", "paraVideoBitRate", IsVideoBitRateText(text),
             MsgVideoBitRateInvalid);
}

void TParameterPanel::cmbSamplerateChange() {
  const std::string& text = Combo(TPanelCombo::SampleRate).Text;
  RateChange(TPanelCombo::SampleRate, "iSampleRate", "paraSampleRate", IsSampleRateText(text),
             MsgSampleRateInvalid);
}

void TParameterPanel::cmbAudioBitRateChange() {
  const std::string& text = Combo(TPanelCombo::AudioBitRate).Text;
  RateChange(TPanelCombo::AudioBitRate, "iAudioBitRate", "paraAudioBitRate", IsAudioBitRateText(text),
             MsgAudioBitRateInvalid);
}

void TParameterPanel::cmbFrameRateChange() {
  const TComboModel& combo = Combo(TPanelCombo::FrameRate);
  WriteIndex("iFrameRate", combo.ItemIndex);
  if (combo.ItemIndex >= 0) Write("paraFrameRate", combo.Items[combo.ItemIndex]);
}

void TParameterPanel::cmbVideoEncoderChange() {
  const TComboModel& combo = Combo(TPanelCombo::VideoEncoder);
  WriteIndex("iVideoEncoder", combo.ItemIndex);
  const auto word = VideoEncoderWord(combo.Text);
  if (!word) return;
  Write("paraVideoEncoder", *word);
  if (IsH264DisplayName(combo.Text))
    for (const auto& extra : H264ExtrasToCopy(FFormats, FCode))
      Write(extra.Key, extra.Value);
}

void TParameterPanel::cmbZoomChange() {
  const int index = Combo(TPanelCombo::Zoom).ItemIndex;
  if (index >= 0 && index < static_cast<int>(std::size(ZoomWords))) Write("paraZoom", ZoomWords[index]);
}

void TParameterPanel::cmbAudioEncoderChange() {
  const TComboModel& combo = Combo(TPanelCombo::AudioEncoder);
  WriteIndex("iAudioEncoder", combo.ItemIndex);
  if (const auto word = AudioEncoderWord(combo.Text)) Write("paraAudioEncoder", *word);
}

void TParameterPanel::cmbChannelChange() {
  const TComboModel& combo = Combo(TPanelCombo::Channel);
  WriteIndex("iChannel", combo.ItemIndex);
  if (const auto value = ChannelValue(combo.Text)) Write("paraChannel", *value);
}

void TParameterPanel::cmbVolumeChange() {
  const TComboModel& combo = Combo(TPanelCombo::Volume);
  std::optional<std::string> value;
  try {
    value = VolumeValue(combo.Text);
  } catch (const TConvertError& error) {
    // A volume list the format file got wrong: said, and nothing stored.
    FDialogs.ShowMessage(error.what(), CaptionWarning);
    return;
  }
  WriteIndex("iVolume", combo.ItemIndex);
  if (value) Write("paraVolume", *value);
}

bool TParameterPanel::Active(TPanelCombo combo) const {
  return Combo(combo).Enabled && Combo(combo).Applies;
}

void TParameterPanel::btnDefaultClick() {
  TIniBatch batch(FSettings);
  ApplyDefaults(ZoomFullIndex);
}

void TParameterPanel::ApplyDefaults(int zoomIndex) {
  for (const TPanelCombo refilled : RefilledByDefault) {
    TChoiceList list = ReadChoiceList(FFormats, FCode, ListOf(refilled));
    TComboModel& combo = Edit(refilled);
    combo.SetItems(std::move(list.Items));
    combo.Applies = list.Applies;
    combo.DropDownCount = static_cast<int>(combo.Items.size());
  }
  for (const auto& info : ComboTable)
    if (info.List != NoList) Edit(info.Combo).SetItemIndex(PanelDefaultIndex(FFormats, FCode, info.Combo));
  Edit(TPanelCombo::Zoom).SetItemIndex(zoomIndex);

  if (Active(TPanelCombo::VideoEncoder)) cmbVideoEncoderChange();
  if (Active(TPanelCombo::VideoSize)) cmbVideoSizeExit();
  if (Active(TPanelCombo::FrameRate)) cmbFrameRateChange();
  if (Active(TPanelCombo::VideoBitRate)) cmbVideoBitRateChange();
  if (Active(TPanelCombo::Zoom)) cmbZoomChange();
  if (Active(TPanelCombo::AudioEncoder)) cmbAudioEncoderChange();
  if (Active(TPanelCombo::AudioBitRate)) cmbAudioBitRateChange();
  if (Active(TPanelCombo::SampleRate)) cmbSamplerateChange();
  if (Active(TPanelCombo::Channel)) cmbChannelChange();
  if (Active(TPanelCombo::Volume)) cmbVolumeChange();
}

bool EnsureFormatChoices(TIniFile& settings, const TIniFile& formats, int formatCode, TAppDialogs& dialogs) {
  const std::string section = FormatSection(formatCode);
  if (settings.ValueExists(section, "paraVideoEncoder") || settings.ValueExists(section, "paraAudioEncoder"))
    return false;
  TParameterPanel panel(settings, formats, dialogs);
  TIniBatch batch(settings);
  panel.Fill(formatCode);
  panel.ApplyDefaults(ZoomLetterBoxIndex);
  // Out of the file's reach the choices still hold for this session, so no stream the format has is
  // lost; the user hears of it once.
  if (!batch.End())
    if (const auto failure = settings.NewStoreFailure())
      dialogs.ShowMessage(SettingsNotStoredText(*failure), CaptionWarning);
  return true;
}

} // namespace kavro
