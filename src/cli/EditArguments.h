// The editing options of kavro-convert's catalogue mode: one trim, crop, watermark and colour effect
// for every file of the batch, given to each row exactly as the editing dialogs would store them.
#pragma once

#include <string>

#include "JobRecord.h"

namespace kavro {

// The edits as the dialogs store them in a row, with the text's and image's places as percents
// (TextHorzPos, ...); ApplyEdits turns them into pixels of each file.
using TEditRequest = TlvFilesRecord;

// True when `name` is one of the options below.
bool IsEditOption(const std::string& name);
// Reads one option's value; false with the reason when it is out of its range or malformed.
bool ParseEditOption(const std::string& name, const std::string& value, TEditRequest& request,
                     std::string& error);
// The request on a row whose source pictures are width × height: positions in pixels of that size.
void ApplyEdits(const TEditRequest& request, int width, int height, TlvFilesRecord& row);

// The lines --help shows for these options.
extern const char* const EditUsage;

} // namespace kavro
