#include "FormatCatalogue.h"

#include "FormatKeys.h"

namespace kavro {
namespace {

// The names are the program's own, spelling slips included: stored settings match them exactly.
// clang-format off
constexpr std::string_view NamesAppleIPod[] = {
    "iPod Video MPEG-4 (*.mp4)",
    "iPod Video H.264 (*.mp4)",
    "iPod MPEG-4 Excellent (320 x 240)(*.mp4)",
    "iPod MPEG-4 Normal (320 x 240)(*.mp4)",
    "iPod MPEG-4 Mini (320 x 240)(*.mp4)",
    "iPod Touch MPEG-4 Excellent (*.mp4)",
    "iPod Touch MPEG-4 (480 x 320) (*.mp4)",
    "iPod Touch MPEG-4 (320 x 240) (*.mp4)",
    "iPod Touch MPEG-4 Wide Screen (*.mp4)",
};
constexpr std::string_view NamesAppleIPhone[] = {
    "iPhone MPEG-4 Extra Video (*.mp4)",
    "iPhone MPEG-4 Wide Screen (*.mp4)",
    "iPhone MPEG-4 Movie (*.mp4)",
    "iPhone Movie for 480p TV Out (*.mp4)",
    "iPhone Movie for 576p TV Out (*.mp4)",
};
constexpr std::string_view NamesAppleTV[] = {
    "Apple TV (640 x 480) MPEG-4 Excellent (*.mp4)",
    "Apple TV (640 x 480) MPEG-4 Normal (*.mp4)",
    "Apple TV (640 x 480) MPEG-4 Mini (*.mp4)",
    "Apple H.264 (320 x 240) (*.mp4)",
    "Apple H.264 480P (640 x 480) (*.mp4)",
    "Apple H.264 720p (1280 x 720) (*.mp4)",
};
constexpr std::string_view NamesGPhone[] = {
    "GPhone MPEG-4 Movie (*.mp4)",
};
constexpr std::string_view NamesSonyPSP[] = {
    "PSP MPEG-4 Excellent Quality (*.mp4)",
    "PSP MPEG-4 Normal Quality (*.mp4)",
    "PSP MPEG-4 Mini Size (*.mp4)",
    "PSP H.264/AVC Video (*.mp4)",
    "PSP Video (480P) (*.mp4)",
};
constexpr std::string_view NamesSonyPS3[] = {
    "PS3 MPEG-4 Video (480P) (*.mp4)",
    "PS3 MPEG-4 Video (480P) Excellent (*.mp4)",
    "PS3 MPEG-4 Video (720P) (*.mp4)",
    "PS3 MPEG-4 Video (1080P) (*.mp4)",
};
constexpr std::string_view NamesMicrosoftZune[] = {
    "Microsoft Zune MPEG-4 Video (*.mp4)",
    "Microsoft Zune MPEG-4 AVC Video (*.mp4)",
    "Microsoft Zune Windows Media Video (*.wmv)",
};
constexpr std::string_view NamesSonyWalkman[] = {
    "Sony Walkman MPEG-4 Video (*.mp4)",
    "Sony Walkman AVC Video (*.mp4)",
    "Sony Walkman WMV Video (*.wmv)",
};
constexpr std::string_view NamesArchos[] = {
    "Archos H.264 Video (*.mp4)",
    "Archos MPEG4 Video (*.mp4)",
    "Archos 105 Video (*.wmv)",
    "Archos 404/405 Video (*.avi)",
    "Archos 504/604 Video (*.avi)",
    "Archos 605/705/TV+ Video (*.avi)",
    "Archos AV500/700 Video (*.avi)",
};
constexpr std::string_view NamesCreativeZen[] = {
    "Creative Zen H.264 Video (*.mp4)",
    "Creative Zen MPEG4 Video (*.mp4)",
    "Creative Zen Xvid Video (*.avi)",
    "Creative Zen X-Fi Video (*.avi)",
    "Creative Zen Vison Video (*.avi)",
    "Creative Zen Vison M Video (*.avi)",
    "Creative Zen Vison W Video (*.avi)",
};
constexpr std::string_view NamesIRiver[] = {
    "iRiver H.264 Video (*.mp4)",
    "iRiver MPEG4 Video (*.mp4)",
    "iRiver WMV Video (*.wmv)",
    "iRiver Xvid Video (*.avi)",
    "iRiver E10 Video (*.avi)",
    "iRiver U10/Clix Video (*.avi)",
    "iRiver B20/X20/Clix 2/E100/Lplayer Video (*.avi)",
    "iRiver Spinn/D28/DICPLE D30 Video (*.avi)",
    "iRiver P10/P20 Video (*.avi)",
    "iRiver PMP-120/140/IMP-1000/1100 Video (*.avi)",
};
constexpr std::string_view NamesSandiskSansa[] = {
    "Sandisk Sansa AVI Video (*.avi)",
    "Sandisk Sansa WMV Video (*.wmv)",
    "Sandisk Sansa MPEG-4 Video (*.mp4)",
};
constexpr std::string_view NamesMicrosoftXbox360[] = {
    "Microsoft Xbox WMV Video (*.wmv)",
    "Microsoft Xbox AVI Video (*.avi)",
    "Microsoft Xbox MPEG-4 Video (*.mp4)",
};
constexpr std::string_view NamesNitendeoWII[] = {
    "Nitendeo Wii AVI Video (*.avi)",
    "Nitendeo Wii MOV Video (*.mov)",
};
constexpr std::string_view NamesMobilePhone[] = {
    "Mobile Phone 3GP h263 Video(*.3gp)",
    "Mobile Phone 3GP MPEG-4 Video(*.3gp)",
    "Mobile Phone 3GP2 h263 Video(*.3gp)",
    "Mobile Phone 3GP2 MPEG-4 Video(*.3gp)",
    "Mobile Phone MPEG-4 Video(*.mp4)",
    "Nokia N Series MPEG-4 Video(*.mp4)",
};
constexpr std::string_view NamesBlackBerry[] = {
    "BlackBerry MPEG-4 Video(*.mp4)",
};
constexpr std::string_view NamesNokia[] = {
    "Nokia N Series MPEG-4 Video (*.mp4)",
};
constexpr std::string_view NamesWindowsMobile[] = {
    "Dell Axim 51 Video (*.wmv)",
    "Dell Axim 51V Video (*.wmv)",
    "HP iPAQ hw6500 Series Video (*.wmv)",
    "HP iPAQ hx2000/rx3000/rx1900 Series Video (*.wmv)",
    "HP iPAQ hx4700 Series Video (*.wmv)",
    "Palm Treo Series Video (*.wmv)",
    "HTC Touch Diamond Video (*.wmv)",
    "General Pocket PC Video (*.wmv)",
};
constexpr std::string_view NamesQuickTimeVideoMOV[] = {
    "MOV - Quick Time Video (*.mov)",
};
constexpr std::string_view NamesFlashVideo[] = {
    "Flash Video Format (*.flv)",
    "Flash SWF Format (*.swf)",
};
constexpr std::string_view NamesToshibaGigabeat[] = {
    "Toshiba Gigabeat WMV Movie (*.wmv)",
};
constexpr std::string_view NamesHDVideo[] = {
    "HD AVI Video (*.avi)",
    "HD Divx Video (*.avi)",
    "HD H.264/MPEG-4 AVC Video (*.mp4)",
    "HD MOV Video (*.mov)",
    "HD WMV Video (*.wmv)",
    "HD MPEG-4 Video (*.mp4)",
    "HD Xvid Video (*.avi)",
    "HD MPEG2-PS Video (*.mpg)",
    "HD MPEG2-TS Video (*.ts)",
};
constexpr std::string_view NamesDVDVideo[] = {
    "DVD - NTSC MPEG-2 Moive (*.mpg)",
    "DVD - PAL MPEG-2 Moive (*.mpg)",
};
constexpr std::string_view NamesSVCDVideo[] = {
    "SVCD - NTSC MPEG-2 Moive (*.mpg)",
    "SVCD - PAL MPEG-2 Moive (*.mpg)",
};
constexpr std::string_view NamesVCDVideo[] = {
    "VCD - NTSC MPEG-1 Moive (*.mpg)",
    "VCD - PAL MPEG-1 Moive (*.mpg)",
};
constexpr std::string_view NamesMatroskaVideoMKV[] = {
    "MKV - Matroska Video (*.mkv)",
};
constexpr std::string_view NamesGeneralVideoFormates[] = {
    "MPEG-1 Video (*.mpg)",
    "MPEG-2 Video (*.mpg)",
    "MPEG-4 Video (*.mp4)",
    "H.264/MPEG-4 AVC Video (*.mp4)",
    "AVI Video (*.avi)",
    "WMV Video (*.wmv)",
    "Divx Video (*.avi)",
    "Xvid Video (*.avi)",
    "DV - NTSC -Digital Video Format (*.dv)",
    "DV - PAL -Digital Video Format (*.dv)",
};
constexpr std::string_view NamesGeneralAudioFormates[] = {
    "MP3 MPEG Layer-3 Audio (*.mp3)",
    "AAC Advenced Audio Codec (*.aac)",
    "M4A MPEG-4 Audio (*.m4a)",
    "WMA - Windows Meida Audio (*.wma)",
    "WAV - Waveform Audio (*.wav)",
    "OGG Vorbis Audio Codec (*.ogg)",
    "AC-3 Audio Codec (*.ac3)",
};
// clang-format on

constexpr TCatalogueCategory GeneralCatalogue[] = {
    {"Apple iPod", NamesAppleIPod},
    {"Apple iPhone", NamesAppleIPhone},
    {"Apple TV", NamesAppleTV},
    {"GPhone", NamesGPhone},
    {"Sony PSP", NamesSonyPSP},
    {"Sony PS3", NamesSonyPS3},
    {"Microsoft Zune", NamesMicrosoftZune},
    {"Sony Walkman", NamesSonyWalkman},
    {"Archos", NamesArchos},
    {"Creative Zen", NamesCreativeZen},
    {"iRiver", NamesIRiver},
    {"Sandisk Sansa", NamesSandiskSansa},
    {"Microsoft xbox 360", NamesMicrosoftXbox360},
    {"Nitendeo WII", NamesNitendeoWII},
    {"Mobile Phone", NamesMobilePhone},
    {"BlackBerry", NamesBlackBerry},
    {"Nokia", NamesNokia},
    {"Windows Mobile", NamesWindowsMobile},
    {"Quick Time Video - MOV", NamesQuickTimeVideoMOV},
    {"Flash Video", NamesFlashVideo},
    {"Toshiba Gigabeat", NamesToshibaGigabeat},
    {"HD Video", NamesHDVideo},
    {"DVD Video", NamesDVDVideo},
    {"SVCD Video", NamesSVCDVideo},
    {"VCD Video", NamesVCDVideo},
    {"Matroska Video - MKV", NamesMatroskaVideoMKV},
    {"General Video formates", NamesGeneralVideoFormates},
    {"General Audio formates", NamesGeneralAudioFormates},
};

constexpr TCatalogueCategory FlvCatalogue[] = {
    {"Flash Video", NamesFlashVideo},
    {"General Video formates", NamesGeneralVideoFormates},
    {"General Audio formates", NamesGeneralAudioFormates},
};

// The drop-down's name table is 51 × 51; a code's position must stay below 100 as well.
constexpr bool FitsNameTable(std::span<const TCatalogueCategory> catalogue) {
  if (catalogue.size() > 51) return false;
  for (const auto& category : catalogue)
    if (category.Names.size() > 51) return false;
  return true;
}
static_assert(std::size(GeneralCatalogue) == 28 && std::size(FlvCatalogue) == 3);
static_assert(FitsNameTable(GeneralCatalogue) && FitsNameTable(FlvCatalogue));

} // namespace

std::span<const TCatalogueCategory> CatalogueCategories(TEdition edition) {
  if (edition == TEdition::General) return GeneralCatalogue;
  return FlvCatalogue;
}

int CategoryCount(TEdition edition) {
  return static_cast<int>(CatalogueCategories(edition).size());
}

std::string CategoryCaption(TEdition edition, int category) {
  const auto categories = CatalogueCategories(edition);
  if (category < 0 || category >= static_cast<int>(categories.size())) return "";
  return std::string(categories[category].Caption);
}

std::vector<std::string> CategoryNames(TEdition edition, int category) {
  const auto categories = CatalogueCategories(edition);
  if (category < 0 || category >= static_cast<int>(categories.size())) return {};
  return {categories[category].Names.begin(), categories[category].Names.end()};
}

std::string FormatNameOf(TEdition edition, int code) {
  if (code < 0) return "";
  const auto categories = CatalogueCategories(edition);
  const size_t category = code / 100;
  const size_t position = code % 100;
  if (category >= categories.size() || position >= categories[category].Names.size()) return "";
  return std::string(categories[category].Names[position]);
}

std::vector<TFormatEntry> CatalogueFormats(TEdition edition) {
  std::vector<TFormatEntry> formats;
  const auto categories = CatalogueCategories(edition);
  for (size_t category = 0; category < categories.size(); ++category) {
    const auto& names = categories[category].Names;
    for (size_t position = 0; position < names.size(); ++position)
      formats.push_back({MakeFormatCode(static_cast<int>(category), static_cast<int>(position)),
                         std::string(categories[category].Caption), std::string(names[position])});
  }
  return formats;
}

std::optional<TFormatEntry> FindFormat(TEdition edition, const std::string& codeOrName) {
  const auto formats = CatalogueFormats(edition);
  if (IsInteger(codeOrName)) {
    const int code = StrToInt(codeOrName);
    for (const auto& entry : formats)
      if (entry.Code == code) return entry;
    return std::nullopt;
  }
  for (const auto& entry : formats)
    if (entry.Name == codeOrName) return entry;
  for (const auto& entry : formats)
    if (SameText(codeOrName, entry.Name)) return entry;
  return std::nullopt;
}

} // namespace kavro
