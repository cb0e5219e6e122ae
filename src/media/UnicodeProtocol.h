// File names outside the locale's encoding at the media libraries. Such a name travels as the URL
// "unicode:utf8:" + UTF-8 text, and the engine, probe and player open it through an I/O context of
// their own (TUnicodeFile) instead of the libraries' file protocol. Any thread; an open file belongs
// to one I/O context and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace kavro {

constexpr const char* UnicodeUrlPrefix = "unicode:utf8:";

// False for a URL of a known protocol; else True when the locale's encoding cannot spell the name.
bool NeedsUnicodeURL(const std::wstring& fileName);
// "unicode:utf8:" + UTF-8 when needed, else the name in the locale's encoding. The whole name, however
// long: a cut name could open another file; one the system cannot take fails with its own error.
std::string FileNameToURL(const std::wstring& fileName);
// The wide file name of a URL of either form.
std::wstring URLToFileName(const std::string& url);
// True for the "unicode:utf8:" form.
bool IsUnicodeURL(const std::string& url);

// Called once when avformat is ready. Today's libraries take no protocol registration: the engine
// opens a TUnicodeFile for such names, so there is nothing to register up front.
void RegisterUnicodeProtocol();

// omCreateNew writes into a file that must not exist yet.
enum TUnicodeOpenMode { omRead, omWrite, omReadWrite, omCreateNew };

// An open file behind an I/O context of the libraries.
class TUnicodeFile {
public:
  // Size request of the libraries' seek (AVSEEK_SIZE).
  static constexpr int SeekSize = 0x10000;

  ~TUnicodeFile();
  // Opens the file a URL names; a negative library error code on failure (-2: no such file; a
  // folder gives -21). Write modes create or truncate the file; a regular file is locked against a
  // second writer first (EBUSY), so that writer never empties it. Reading a pipe or a device waits
  // for data in short slices and gives up when interrupt says so.
  static int Open(const std::string& url, TUnicodeOpenMode mode, TUnicodeFile*& file,
                  const AVIOInterruptCB* interrupt = nullptr);
  // The bytes moved, or -1; Interrupted when the interrupt callback ended a wait.
  static constexpr int Interrupted = -2;
  int Read(uint8_t* buffer, int size);
  int Write(const uint8_t* buffer, int size);
  // whence 0, 1, 2 from start, current, end; SeekSize gives the size. The new position or -1.
  int64_t Seek(int64_t offset, int whence);
  // Closes the handle; a negative library error code when the system reports a failure.
  int Close();

  // An I/O context of the libraries over a newly opened file; freeing it with CloseIOContext closes
  // the file. A negative library error code on failure.
  static int OpenIOContext(const std::string& url, TUnicodeOpenMode mode, AVIOContext** context,
                           const AVIOInterruptCB* interrupt = nullptr);
  // Flushes, reports a write error the context met (a negative code), frees the context and the file.
  static int CloseIOContext(AVIOContext** context);

private:
  TUnicodeFile(int handle, bool waits, const AVIOInterruptCB* interrupt);
  int FHandle;
  bool FWaits; // a pipe, socket or device, whose reads may wait for data
  AVIOInterruptCB FInterrupt{};
};

} // namespace kavro
