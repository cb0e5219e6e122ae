// kavro-convert's catalogue mode: converts files to a format of the catalogue exactly as the window
// would, with the user's settings file, and lists an edition's catalogue. Main thread only.
#pragma once

#include <atomic>
#include <cstdio>

#include "CommandLine.h"
#include "FFmpegVCL.h"

namespace kavro {

// Exit codes: 0 every file converted; 1 a file failed or was skipped; 2 a usage error.
int ListFormats(const TFormatRequest& request, FILE* output);
int ConvertToFormat(TFFmpegVCL& component, const TFormatRequest& request,
                    const std::atomic<bool>& interrupted);

} // namespace kavro
