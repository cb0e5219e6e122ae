// Files the user keeps (snapshots and alike) are written under a temporary name in their own folder
// and renamed into place once complete: a failure or a crash never leaves a half file under the
// name, and the file that was there stays until the new one is whole. Any thread.
#pragma once

#include <functional>
#include <string>

namespace kavro {

// Fills a file given by name; empty on success, else why not (in the writer's own words).
using TFileWriter = std::function<std::string(const std::string& temporaryName)>;

// Runs write on a fresh temporary file beside fileName, flushes it to the disk and renames it over
// fileName. Empty on success, else "Cannot write " + fileName + ": " + why; the temporary file is
// gone either way. A folder, device or pipe in the file's place is refused, never replaced.
std::string WriteThroughTemporary(const std::string& fileName, const TFileWriter& write);
// The text as the whole file, the same way.
std::string WriteTextThroughTemporary(const std::string& fileName, const std::string& text);

} // namespace kavro
