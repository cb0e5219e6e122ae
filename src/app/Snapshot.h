// Saving the picture on show as image files in the snapshot folder: the full-size picture and the
// small one as the window shows it, as BMP and JPEG by the settings, under fixed names that each
// snapshot replaces. Called from the owner's thread; whoever may draw on the pictures meanwhile
// holds their canvas locks.
#pragma once

#include <string>
#include <vector>

#include "AppDialogs.h"
#include "AppSettings.h"
#include "platform/Bitmap.h"

namespace kavro {

// What a snapshot wrote: the folder, the files in the order written, and the failure text (empty on success).
// Taken is false when there was no picture; the folder is worth opening when Taken and Error is empty.
struct TSnapshotResult {
  bool Taken = false;
  std::string Folder; // with a trailing "/"
  std::vector<std::string> Files;
  std::string Error;
};

// Writes the full-size and small pictures by the four flags of the settings (each flag counts only
// when 1), BMP then JPEG at "jpgCmp", into "SnapOutPutDir" after the folder check. When that folder
// cannot be made the files go to the default folder the check has just made and stored. full.Width()
// == 0: nothing at all (Taken false). A write failure stops the snapshot with the message through
// dialogs (caption "Warning"); the files already written stay.
TSnapshotResult TakeSnapshot(TAppSettings& settings, TAppDialogs& dialogs, const TBitmap& full,
                             const TBitmap& small);

} // namespace kavro
