// Shared helpers of the media units: the texts shown to users (times, sizes, library errors, media
// type names) and opening containers by wide file name, through the libraries' own file access or,
// for names the locale cannot spell, through a TUnicodeFile. Any thread.
#pragma once

#include <cstdint>
#include <string>

struct AVDictionary;
struct AVFilterGraph;
struct AVFormatContext;
struct AVInputFormat;

namespace kavro {

// "%.2d:%.2d:%.2d.%.3d" (hours not limited to 24) of a microsecond value; "N/A" when unknown
// (negative or no value).
std::string TimeText(int64_t microseconds);
// "%d Byte", "%.2f KB", "%.2f MB" or "%.2f GB".
std::string SizeText(int64_t bytes);
// prefix + ": " + the text of a library error code.
std::string ErrorText(const std::string& prefix, int code);
// "Video", "Audio", "Data", "Subtitle", "Attachment" or "Unknown".
std::string MediaTypeName(int mediaType);

// Opens an input container by file name; a library error code on failure (context is then null).
// Names the locale cannot spell, pipes and devices are read through a TUnicodeFile, whose waits for
// data end when the context's interrupt callback says so.
int OpenInputContext(AVFormatContext** context, const std::wstring& fileName, const AVInputFormat* format,
                     AVDictionary** options);
// Closes an input container opened by OpenInputContext, with its own I/O context if it had one.
void CloseInputContext(AVFormatContext** context);
// Why a configured filter graph must not run, or "" when it may: a filter whose library reads
// outside the picture at the sizes its links carry.
std::string UnsafeFilterText(const AVFilterGraph* graph);

} // namespace kavro
