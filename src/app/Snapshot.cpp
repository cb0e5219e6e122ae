#include "Snapshot.h"

#include "JpegFile.h"
#include "TemporaryFile.h"

#include <cerrno>
#include <system_error>

namespace kavro {
namespace {

// TBitmap writes straight to the name it is given: the temporary name keeps a failed write away
// from the file of the last snapshot.
bool SaveBmp(const TBitmap& bitmap, const std::string& fileName, std::string& error) {
  error = WriteThroughTemporary(fileName, [&](const std::string& temporary) -> std::string {
    errno = 0;
    if (bitmap.SaveToFile(temporary)) return "";
    return errno != 0 ? std::generic_category().message(errno) : "the picture could not be written";
  });
  return error.empty();
}

} // namespace

TSnapshotResult TakeSnapshot(TAppSettings& settings, TAppDialogs& dialogs, const TBitmap& full,
                             const TBitmap& small) {
  TSnapshotResult result;
  if (full.Width() == 0) return result;
  result.Taken = true;

  const bool fullSize = settings.SnapFullSize();
  const bool smallSize = settings.SnapSmallSize();
  const bool bmp = settings.SnapBmp();
  const bool jpg = settings.SnapJpg();
  const int quality = settings.JpgQuality();
  result.Folder = settings.CheckSnapOutputFolder(dialogs);

  struct TFile {
    bool Wanted;
    bool Jpeg;
    const TBitmap& Picture;
    const char* Name;
  };
  const TFile files[] = {
      {fullSize && bmp, false, full, "Snapshot_full.bmp"},
      {smallSize && bmp, false, small, "Snapshot_small.bmp"},
      {fullSize && jpg, true, full, "Snapshot_full.jpg"},
      {smallSize && jpg, true, small, "Snapshot_small.jpg"},
  };
  for (const TFile& file : files) {
    if (!file.Wanted) continue;
    const std::string fileName = result.Folder + file.Name;
    const bool written = file.Jpeg ? SaveJpeg(file.Picture, fileName, quality, result.Error)
                                   : SaveBmp(file.Picture, fileName, result.Error);
    if (!written) {
      dialogs.ShowMessage(result.Error, CaptionWarning);
      break;
    }
    result.Files.push_back(fileName);
  }
  return result;
}

} // namespace kavro
