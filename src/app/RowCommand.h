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
// A POSIX shell script converting the rows one after another as Start would; it goes on past a file
// that fails and ends with 1 when one did. KAVRO_CONVERT in its environment names the kavro-convert
// to run, else it is looked up in PATH.
std::string RowsScript(TEdition edition, int formatCode, const std::string& outputFolder,
                       const std::vector<TlvFilesRecord>& rows);

} // namespace kavro
