// The format catalogue and the parameter panel over a format file of fuzzed bytes: the drop-down list
// built for both editions, and each format the file describes read as a profile, loaded into the
// panel, set to its defaults and turned into task options as a run would.
#include <exception>
#include <set>

#include "AppSettings.h"
#include "CatalogueList.h"
#include "FormatCatalogue.h"
#include "FormatProfile.h"
#include "FuzzSupport.h"
#include "OptionBuilder.h"
#include "OptionText.h"
#include "ParameterPanel.h"
#include "platform/Convert.h"

using namespace kavro;

namespace {

constexpr int MaxFormatsWalked = 4;

// The format codes of the file's "formatInfo" sections.
std::set<int> DescribedCodes(const std::string& text) {
  std::set<int> codes;
  const std::string prefix = "[formatinfo";
  const std::string lower = LowerCase(text);
  for (size_t at = lower.find(prefix); at != std::string::npos; at = lower.find(prefix, at + 1)) {
    int code = 0;
    size_t digit = at + prefix.size();
    for (; digit < lower.size() && digit < at + prefix.size() + 5 &&
           std::isdigit(static_cast<unsigned char>(lower[digit]));
         ++digit)
      code = code * 10 + (lower[digit] - '0');
    if (digit > at + prefix.size()) codes.insert(code);
  }
  return codes;
}

void WalkEdition(TEdition edition, const TIniFile& formats, const std::set<int>& described,
                 const std::string& settingsFile) {
  TAppSettings settings(settingsFile);
  TCatalogueList list(edition);
  (void)list.Build(settings);
  for (int row = 0; row < list.RowCount(); ++row)
    if (list.Row(row).Info.IsCategory) list.Expand(row);
  fuzz::TQuietDialogs dialogs;
  TParameterPanel panel(settings.Ini(), formats, dialogs);
  int walked = 0;
  for (const TFormatEntry& format : CatalogueFormats(edition)) {
    // Every read opens the file again: a few formats per input keep the fuzzer quick.
    if (!described.contains(format.Code) || ++walked > MaxFormatsWalked) continue;
    const TFormatProfile profile = ReadFormatProfile(formats, format.Code);
    (void)H264ExtrasToCopy(formats, format.Code);
    panel.Load(format.Code);
    panel.btnDefaultClick();
    (void)panel.cmbVideoSizeExit();
    TOptionBuilder builder(settings.Ini(), formats, dialogs);
    TlvFilesRecord row;
    row.SourceFile = "/nonexistent/source.avi";
    row.DestFile = "/nonexistent/output." + profile.FileExt;
    TOutputOptions output;
    TInputOptions input;
    try {
      builder.BuildOptions(row, format.Code, output, TSourceFacts{1, 320, 240, 500000}, input);
    } catch (const std::exception&) {
      // The builder refuses a format whose choices make no options.
    }
    (void)ParseOptionText(output.ExtOptions);
    (void)ParseOptionText(input.ExtOptions);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  const TIniFile formats(fuzz::WriteTempFile("formats.ini", data, size));
  const std::set<int> described = DescribedCodes(text);
  // A fresh settings file for every input: what one input stored must not steer the next.
  const std::string settingsFile = fuzz::WriteTempFile("settings.ini", nullptr, 0);
  WalkEdition(TEdition::Flv, formats, described, settingsFile);
  WalkEdition(TEdition::General, formats, described, settingsFile);
  return 0;
}
