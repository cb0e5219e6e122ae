#include "RowCommand.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace kavro {
namespace {

// Microseconds as seconds with every digit kept.
std::string Seconds(int64_t microseconds) {
  return Format("%lld.%06lld", static_cast<long long>(microseconds / 1000000),
                static_cast<long long>(microseconds % 1000000));
}

std::string FontArgument(const TMarkFont& font) {
  std::string text = font.Name + "," + std::to_string(font.Size);
  for (const auto& [on, name] : {std::pair{font.Bold, ",bold"},
                                 {font.Italic, ",italic"},
                                 {font.Underline, ",underline"},
                                 {font.StrikeOut, ",strikeout"}})
    if (on) text += name;
  return text;
}

// 0x00BBGGRR as #RRGGBB.
std::string ColourArgument(uint32_t colour) {
  return Format("#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

} // namespace

std::vector<std::string> RowCommandArguments(TEdition edition, int formatCode,
                                             const std::string& outputFolder, const TlvFilesRecord& row) {
  std::vector<std::string> arguments = {"--format",  std::to_string(formatCode),
                                        "--edition", edition == TEdition::General ? "general" : "flv",
                                        "--out",     outputFolder};
  const auto add = [&](const char* option, const std::string& value) {
    arguments.push_back(option);
    arguments.push_back(value);
  };
  if (row.TrimStart > 0 || row.TrimLength > 0)
    add("--trim",
        Seconds(std::max<int64_t>(0, row.TrimStart)) + "," + Seconds(std::max<int64_t>(0, row.TrimLength)));
  if (row.CropTop || row.CropLeft || row.CropBottom || row.CropRight)
    add("--crop", Format("%d,%d,%d,%d", row.CropTop, row.CropLeft, row.CropBottom, row.CropRight));
  if (!row.MarkText.empty()) {
    add("--text", row.MarkText);
    add("--font", FontArgument(row.MarkFont));
    add("--text-color", ColourArgument(row.MarkFont.Color));
    add("--text-at", Format("%d%%,%d%%", row.TextHorzPos, row.TextVertPos));
  }
  if (!row.MarkImage.empty()) {
    add("--image", row.MarkImage);
    add("--image-at", Format("%d%%,%d%%", row.ImageHorzPos, row.ImageVertPos));
    add("--alpha", std::to_string(row.ImageAlpha));
    add("--style", std::to_string(row.TransparentStyle == 1 ? 1 : 2));
  }
  if (row.Brightness != 255) add("--brightness", std::to_string(row.Brightness));
  if (row.Contrast != 0) add("--contrast", std::to_string(row.Contrast));
  if (row.Saturation != 255) add("--saturation", std::to_string(row.Saturation));
  if (row.Exposure != 0) add("--exposure", std::to_string(row.Exposure));
  if (row.ProcessText || row.ProcessImage)
    add("--effects-over", row.ProcessText && row.ProcessImage ? "both" : row.ProcessText ? "text" : "image");
  // The file after "--", so that a name starting with a dash is still a file.
  arguments.push_back("--");
  arguments.push_back(row.SourceFile);
  return arguments;
}

std::string ShellQuoted(const std::string& argument) {
  const bool safe =
      !argument.empty() && argument.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                      "0123456789@%+=:,./-_") == std::string::npos;
  if (safe) return argument;
  std::string quoted = "'";
  for (char c : argument)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

namespace {

std::string QuotedArguments(TEdition edition, int formatCode, const std::string& outputFolder,
                            const TlvFilesRecord& row) {
  std::string line;
  for (const std::string& argument : RowCommandArguments(edition, formatCode, outputFolder, row))
    line += " " + ShellQuoted(argument);
  return line;
}

} // namespace

std::string RowCommandLine(TEdition edition, int formatCode, const std::string& outputFolder,
                           const TlvFilesRecord& row) {
  return "kavro-convert" + QuotedArguments(edition, formatCode, outputFolder, row);
}

std::string RowsScript(TEdition edition, int formatCode, const std::string& outputFolder,
                       const std::vector<TlvFilesRecord>& rows) {
  std::string script = "#!/bin/sh\n"
                       "# Converts the files of a " +
                       std::string(EditionInfo(edition).Title) +
                       " job list as its Start converts them.\n"
                       "# KAVRO_CONVERT names the kavro-convert to run.\n"
                       "convert=${KAVRO_CONVERT:-kavro-convert}\n"
                       "status=0\n";
  for (const TlvFilesRecord& row : rows)
    script += "\"$convert\"" + QuotedArguments(edition, formatCode, outputFolder, row) + " || status=1\n";
  return script + "exit $status\n";
}

} // namespace kavro
