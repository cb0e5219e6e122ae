#include "AppSettings.h"

#include "FormatKeys.h"

#include <cstdlib>
#include <filesystem>

namespace kavro {

bool MakeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}

std::string SettingsNotStoredText(const std::string& failure) {
  return failure + ". The settings are used but cannot be stored.";
}

std::string DefaultOutputFolder() {
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/videoconverter";
}

std::string WithSeparator(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

std::string TAppSettings::OutputDir() const {
  return FIni.ReadString(SettingsSection, "OutPutDir", DefaultOutputFolder());
}

void TAppSettings::SetOutputDir(const std::string& folder) {
  FIni.WriteString(SettingsSection, "OutPutDir", folder);
}

std::string TAppSettings::CheckOutputFolder(TAppDialogs& dialogs) {
  return CheckFolder(OutputDir(), dialogs, &TAppSettings::SetOutputDir);
}

std::string TAppSettings::CheckFolder(std::string folder, TAppDialogs& dialogs,
                                      void (TAppSettings::*store)(const std::string&)) {
  if (folder.empty() || !MakeFolder(folder)) {
    const std::string fallback = DefaultOutputFolder();
    dialogs.ShowMessage("Cannot create output directory:" + folder + ".It will create default directory " +
                            fallback + "!",
                        CaptionWarning);
    MakeFolder(fallback);
    (this->*store)(fallback);
    folder = fallback;
  }
  return WithSeparator(folder);
}

int TAppSettings::FormatCode() const {
  return FIni.ReadInteger(SettingsSection, "FormatCode", 1);
}

std::string TAppSettings::FormatNameAtShow() const {
  return FIni.ReadString(SettingsSection, "FormatName", "iPod Video MPEG-4");
}

std::string TAppSettings::FormatNameForCatalogue() const {
  return FIni.ReadString(SettingsSection, "FormatName", "Apple iPod Video MPEG-4 Movie (*.mp4)");
}

void TAppSettings::SetFormat(int code, const std::string& name) {
  TIniBatch batch(FIni);
  FIni.WriteString(SettingsSection, "FormatName", name);
  FIni.WriteInteger(SettingsSection, "FormatCode", code);
}

std::string TAppSettings::ZoomMode(int formatCode) const {
  return FIni.ReadString(FormatSection(formatCode), "parazoom", "lbox");
}

int TAppSettings::OutputFormat() const {
  return FIni.ReadInteger(SettingsSection, "OutPutFormat", 0);
}

void TAppSettings::SetOutputFormat(int index) {
  FIni.WriteInteger(SettingsSection, "OutPutFormat", index);
}

int TAppSettings::SkinIndexAtStart() const {
  return FIni.ReadInteger(SettingsSection, "skinIndex", 0);
}

int TAppSettings::SkinIndexForMenu() const {
  return FIni.ReadInteger(SettingsSection, "skinIndex", 1);
}

bool TAppSettings::ChooseSkin(int index) {
  if (index == SkinIndexForMenu()) return false;
  FIni.WriteInteger(SettingsSection, "skinIndex", index);
  return true;
}

int TAppSettings::PreviewVolume() const {
  const int volume = FIni.ReadInteger(SettingsSection, "volume", 0);
  return volume < 0 || volume > 128 ? 64 : volume;
}

void TAppSettings::SetPreviewVolume(int volume) {
  FIni.WriteInteger(SettingsSection, "volume", volume);
}

bool TAppSettings::Mute() const {
  return FIni.ReadInteger(SettingsSection, "mute", 0) == 1;
}

void TAppSettings::SetMute(bool mute) {
  FIni.WriteInteger(SettingsSection, "mute", mute ? 1 : 0);
}

int TAppSettings::Priority() const {
  return FIni.ReadInteger(SettingsSection, "priority", 1);
}

void TAppSettings::SetPriority(int value) {
  FIni.WriteInteger(SettingsSection, "priority", value);
}

bool TAppSettings::PriorityToThread(int value, TThreadPriority& priority) {
  static constexpr TThreadPriority Table[] = {tpIdle, tpNormal, tpLower, tpLowest};
  if (value < 0 || value > 3) return false;
  priority = Table[value];
  return true;
}

std::string TAppSettings::SnapOutputDir() const {
  return FIni.ReadString(SettingsSection, "SnapOutPutDir", DefaultOutputFolder());
}

void TAppSettings::SetSnapOutputDir(const std::string& folder) {
  FIni.WriteString(SettingsSection, "SnapOutPutDir", folder.empty() ? DefaultOutputFolder() : folder);
}

std::string TAppSettings::CheckSnapOutputFolder(TAppDialogs& dialogs) {
  return CheckFolder(SnapOutputDir(), dialogs, &TAppSettings::SetSnapOutputDir);
}

bool TAppSettings::SnapFullSize() const {
  return FIni.ReadInteger(SettingsSection, "snapFullSize", 1) == 1;
}
bool TAppSettings::SnapSmallSize() const {
  return FIni.ReadInteger(SettingsSection, "snapSmallSize", 1) == 1;
}
bool TAppSettings::SnapBmp() const {
  return FIni.ReadInteger(SettingsSection, "snapBmp", 1) == 1;
}
bool TAppSettings::SnapJpg() const {
  return FIni.ReadInteger(SettingsSection, "snapJpg", 1) == 1;
}

void TAppSettings::SetSnapFlags(bool fullSize, bool smallSize, bool bmp, bool jpg) {
  TIniBatch batch(FIni);
  FIni.WriteInteger(SettingsSection, "snapFullSize", fullSize ? 1 : 0);
  FIni.WriteInteger(SettingsSection, "snapSmallSize", smallSize ? 1 : 0);
  FIni.WriteInteger(SettingsSection, "snapBmp", bmp ? 1 : 0);
  FIni.WriteInteger(SettingsSection, "snapJpg", jpg ? 1 : 0);
}

int TAppSettings::JpgQuality() const {
  return FIni.ReadInteger(SettingsSection, "jpgCmp", 30);
}

void TAppSettings::SetJpgQuality(int quality) {
  if (quality > 0) FIni.WriteInteger(SettingsSection, "jpgCmp", quality);
}

int TAppSettings::Threads() const {
  return FIni.ReadInteger(SettingsSection, "threads", 0);
}

void TAppSettings::SetThreads(int threads) {
  FIni.WriteInteger(SettingsSection, "threads", threads);
}

} // namespace kavro
