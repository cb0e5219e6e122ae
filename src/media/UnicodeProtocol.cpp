#include "UnicodeProtocol.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/WideString.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace kavro {
namespace {

constexpr const char* PassThroughPrefixes = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
constexpr int IOBufferSize = 32768;

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const int read = static_cast<TUnicodeFile*>(opaque)->Read(buffer, size);
  if (read == TUnicodeFile::Interrupted) return AVERROR_EXIT;
  if (read < 0) return AVERROR(EIO);
  return read == 0 ? AVERROR_EOF : read;
}

int WritePacket(void* opaque, uint8_t* buffer, int size) {
  const int written = static_cast<TUnicodeFile*>(opaque)->Write(buffer, size);
  return written == size ? written : AVERROR(EIO);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
  return static_cast<TUnicodeFile*>(opaque)->Seek(offset, whence & ~AVSEEK_FORCE);
}

} // namespace

bool NeedsUnicodeURL(const std::wstring& fileName) {
  const size_t colon = fileName.find(L':');
  if (colon != std::wstring::npos) {
    const std::string scheme = ":" + WideToNarrow(fileName.substr(0, colon)) + ":";
    if (std::string(PassThroughPrefixes).find(scheme) != std::string::npos) return false;
  }
  return !NarrowRoundTrips(fileName);
}

std::string FileNameToURL(const std::wstring& fileName) {
  return NeedsUnicodeURL(fileName) ? UnicodeUrlPrefix + WideToUtf8(fileName) : WideToNarrow(fileName);
}

bool IsUnicodeURL(const std::string& url) {
  return url.size() >= 14 && url.compare(0, std::strlen(UnicodeUrlPrefix), UnicodeUrlPrefix) == 0;
}

std::wstring URLToFileName(const std::string& url) {
  if (!IsUnicodeURL(url)) return NarrowToWide(url);
  const std::wstring decoded = Utf8ToWide(url);
  const size_t first = decoded.find(L':');
  return decoded.substr(decoded.find(L':', first + 1) + 1);
}

void RegisterUnicodeProtocol() {}

// ---- TUnicodeFile ----

TUnicodeFile::~TUnicodeFile() {
  Close();
}

int TUnicodeFile::Close() {
  if (FHandle < 0) return 0;
  const int result = close(FHandle);
  FHandle = -1;
  return result == 0 ? 0 : AVERROR(EIO);
}

TUnicodeFile::TUnicodeFile(int handle, bool waits, const AVIOInterruptCB* interrupt)
    : FHandle(handle), FWaits(waits) {
  if (interrupt) FInterrupt = *interrupt;
}

int TUnicodeFile::Open(const std::string& url, TUnicodeOpenMode mode, TUnicodeFile*& file,
                       const AVIOInterruptCB* interrupt) {
  file = nullptr;
  // The file system takes UTF-8 names, so the decoded name opens directly.
  const std::string path = IsUnicodeURL(url) ? WideToUtf8(URLToFileName(url)) : url;
  int flags = O_RDONLY;
  if (mode == omWrite) flags = O_WRONLY | O_CREAT;
  if (mode == omReadWrite) flags = O_RDWR | O_CREAT;
  if (mode == omCreateNew) flags = O_WRONLY | O_CREAT | O_EXCL;
  const int handle = open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (handle < 0) return AVERROR(errno);
  struct stat info;
  if (fstat(handle, &info) != 0) info.st_mode = 0;
  if (S_ISDIR(info.st_mode)) {
    close(handle);
    return AVERROR(EISDIR);
  }
  // Others may read the file while it is written, but two writers never share it: the lock comes
  // before the truncation, so a second writer leaves the first one's bytes alone. Devices and pipes
  // are shared as the system shares them.
  if (mode != omRead && S_ISREG(info.st_mode)) {
    if (flock(handle, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      close(handle);
      return AVERROR(EBUSY);
    }
    if (info.st_size > 0 && ftruncate(handle, 0) != 0) {
      const int error = AVERROR(errno);
      close(handle);
      return error;
    }
  }
  file = new TUnicodeFile(handle, S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode),
                          interrupt);
  return 0;
}

int TUnicodeFile::Read(uint8_t* buffer, int size) {
  // A pipe may stall: wait for data in slices, so that a stop request is seen.
  while (FWaits) {
    pollfd handle{FHandle, POLLIN, 0};
    const int ready = poll(&handle, 1, 100);
    if (ready > 0) break;
    if (ready < 0 && errno != EINTR) return -1;
    if (FInterrupt.callback && FInterrupt.callback(FInterrupt.opaque)) return Interrupted;
  }
  const ssize_t read = ::read(FHandle, buffer, static_cast<size_t>(size));
  return read < 0 ? -1 : static_cast<int>(read);
}

int TUnicodeFile::Write(const uint8_t* buffer, int size) {
  int done = 0;
  while (done < size) {
    const ssize_t written = ::write(FHandle, buffer + done, static_cast<size_t>(size - done));
    if (written <= 0) return done > 0 ? done : -1;
    done += static_cast<int>(written);
  }
  return done;
}

int64_t TUnicodeFile::Seek(int64_t offset, int whence) {
  if (whence == SeekSize) {
    struct stat info;
    return fstat(FHandle, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  const off_t position = lseek(FHandle, static_cast<off_t>(offset), whence);
  return position < 0 ? -1 : static_cast<int64_t>(position);
}

int TUnicodeFile::OpenIOContext(const std::string& url, TUnicodeOpenMode mode, AVIOContext** context,
                                const AVIOInterruptCB* interrupt) {
  *context = nullptr;
  TUnicodeFile* file = nullptr;
  const int result = Open(url, mode, file, interrupt);
  if (result < 0) return result;
  auto* buffer = static_cast<unsigned char*>(av_malloc(IOBufferSize));
  AVIOContext* io = buffer ? avio_alloc_context(buffer, IOBufferSize, mode == omRead ? 0 : 1, file,
                                                mode == omRead || mode == omReadWrite ? ReadPacket : nullptr,
                                                mode == omRead ? nullptr : WritePacket, SeekPacket)
                           : nullptr;
  if (!io) {
    av_free(buffer);
    delete file;
    return AVERROR(ENOMEM);
  }
  *context = io;
  return 0;
}

int TUnicodeFile::CloseIOContext(AVIOContext** context) {
  if (!*context) return 0;
  AVIOContext* io = *context;
  if (io->write_flag) avio_flush(io);
  int error = io->error < 0 ? io->error : 0;
  auto* file = static_cast<TUnicodeFile*>(io->opaque);
  const int closed = file->Close();
  if (error == 0) error = closed;
  delete file;
  av_freep(&io->buffer);
  avio_context_free(context);
  return error;
}

} // namespace kavro
