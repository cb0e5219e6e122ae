// JPEG files of 24-bit pictures through libjpeg. The library's failures come back as its own message
// text instead of ending the program. Any thread; each call has its own library state.
#pragma once

#include <string>

#include "platform/Bitmap.h"

namespace kavro {

// Writes the picture at quality 1 (smallest) to 100 (best) through a temporary file in the same
// folder renamed into place. False with the reason in error; the file that was there stays then.
bool SaveJpeg(const TBitmap& bitmap, const std::string& fileName, int quality, std::string& error);

// Reads a JPEG file into the picture (any colour space the library turns into RGB). False with the
// reason in error; the picture is then left as it was.
bool LoadJpeg(const std::string& fileName, TBitmap& bitmap, std::string& error);

} // namespace kavro
