// The kavro-convert command that converts a row exactly as the window's Start would: the edition,
// the format, the output folder and the row's trim, crop, watermark and effects as edit options.
#pragma once

#include <string>
#include <vector>

#include "GlobalUnit.h"
#include "JobRecord.h"

namespace kavro {

// The arguments after the program's name.
std::vector<std::string> RowCommandArguments(TEdition edition, int formatCode,
                                             const std::string& outputFolder, const TlvFilesRecord& row);
// One argument quoted for a POSIX shell: as it is when it holds only safe characters, else in single
// quotes.
std::string ShellQuoted(const std::string& argument);
// "kavro-convert" and the arguments, quoted, on one line.
std::string RowCommandLine(TEdition edition, int formatCode, const std::string& outputFolder,
                           const TlvFilesRecord& row);

} // namespace kavro
