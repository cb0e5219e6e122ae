// Reading the small text files the program is given (settings, format and preset files) whole.
// Only a regular file of a sane size is read: a device, a pipe or a huge file would be read without
// end. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace kavro {

constexpr int64_t MaxTextFileSize = 1 << 20;

enum class TTextFileResult { Read, Missing, Folder, NotRegular, TooLarge, Unreadable };

// The whole file into text (empty unless Read). Opening never waits for a pipe's writer. errno
// tells why an Unreadable file could not be read.
TTextFileResult ReadTextFile(const std::string& fileName, std::string& text);
// What went wrong, after the file name: "NAME: it is a folder", "NAME: not a regular file" and alike; empty
// for Read. For Unreadable it reads errno, so it comes straight after ReadTextFile.
std::string TextFileError(const std::string& fileName, TTextFileResult result);

} // namespace kavro
