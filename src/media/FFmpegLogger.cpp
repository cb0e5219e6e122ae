#include "FFmpegLogger.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "FFmpegLoader.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/MainThread.h"
#include "platform/ThreadPriority.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kavro {
namespace {

constexpr size_t LineBufferSize = 2048;
constexpr int InitialLibraryLevel = 32;

std::atomic<TFFLogger*> GInstance{nullptr};
std::atomic<int> GLibraryLevel{InitialLibraryLevel};
// The unfinished line of library text of this thread, completed by its next message.
thread_local std::string TPendingLine;

bool LibrariesReady() {
  return TFFmpegLoader::Instance().LibLoaded(liAVUtil);
}

} // namespace

int LogLevelToLibLevel(TLogLevel level) {
  return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LibLevelToLogLevel(int libLevel) {
  if (libLevel < 0) libLevel += 7;
  if (libLevel < -8) return llQuiet;
  if (libLevel < 48) return static_cast<TLogLevel>((libLevel >> 3) + 1);
  return llDebug;
}

TFFLogger& TFFLogger::Instance() {
  static std::once_flag once;
  // Lives until the program ends: library threads may log during shutdown.
  std::call_once(once, [] {
    if (!GInstance.load()) new TFFLogger();
  });
  return *GInstance.load();
}

TFFLogger::TFFLogger() {
  TFFLogger* expected = nullptr;
  if (!GInstance.compare_exchange_strong(expected, this))
    throw std::logic_error("Allow creating only one instance of TFFLogger.");
}

TFFLogger::~TFFLogger() {
  TFFLogger* self = this;
  GInstance.compare_exchange_strong(self, nullptr);
}

void TFFLogger::SetLogLevel(TLogLevel level) {
  if (FLogLevel.exchange(level) == level) return;
  if (LibrariesReady()) {
    GLibraryLevel = LogLevelToLibLevel(level);
    av_log_set_level(GLibraryLevel);
  }
}

void TFFLogger::SetLogLevelByName(const std::string& name) {
  static const char* const Names[] = {"quiet",   "panic", "fatal",   "error",
                                      "warning", "info",  "verbose", "debug"};
  const std::string lower = LowerCase(name);
  for (int i = 0; i < 8; ++i)
    if (lower == Names[i]) {
      SetLogLevel(static_cast<TLogLevel>(i));
      return;
    }
  SetLogLevel(LibLevelToLogLevel(StrToInt(name)));
}

int TFFLogger::LibraryLevel() {
  return GLibraryLevel;
}

void TFFLogger::SetOnLog(TLogEvent handler) {
  auto shared = handler ? std::make_shared<const TLogEvent>(std::move(handler)) : nullptr;
  std::lock_guard lock(FHandlerLock);
  FOnLog = std::move(shared);
}

bool TFFLogger::Passes(TLogLevel level) const {
  const TLogLevel limit = FLogLevel;
  return level <= limit || (level == llVerbose && limit != llQuiet);
}

void TFFLogger::Log(TObject* sender, TLogLevel level, const std::string& message) {
  if (Passes(level)) Deliver(sender, CurrentThreadId(), level, message);
}

void TFFLogger::LogFmt(TObject* sender, TLogLevel level, const char* format, ...) {
  if (!Passes(level)) return;
  char buffer[LineBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  Deliver(sender, CurrentThreadId(), level, buffer);
}

// Each delivery fills a record of its own, so deliveries from several threads never share one.
void TFFLogger::Deliver(TObject* sender, uint32_t threadId, TLogLevel level, const std::string& message) {
  std::shared_ptr<const TLogEvent> handler;
  {
    std::lock_guard lock(FHandlerLock);
    handler = FOnLog;
  }
  if (!handler) return;
  const TLogInfo info{sender, threadId, level, message};
  const auto call = [&] { (*handler)(info.Sender, info.ThreadID, info.LogLevel, info.LogMsg); };
  if (FTriggerEventInMainThread)
    TMainThread::Synchronize(call);
  else
    call();
}

void TFFLogger::InstallLibraryCallback() {
  // A level chosen before the libraries were ready applies from now on.
  GLibraryLevel = LogLevelToLibLevel(Instance().LogLevel());
  av_log_set_level(GLibraryLevel);
  av_log_set_callback(&TFFLogger::LibraryCallback);
}

std::string TFFLogger::FormatLibraryMessage(void* context, const char* format, va_list args) {
  std::string text;
  if (context) {
    const AVClass* avClass = *static_cast<const AVClass**>(context);
    if (avClass && avClass->item_name) {
      char prefix[256];
      std::snprintf(prefix, sizeof prefix, "[%s @ %p]", avClass->item_name(context), context);
      text = prefix;
    }
  }
  char buffer[LineBufferSize];
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  size_t kept = length < 0 ? 0 : static_cast<size_t>(length);
  if (kept >= sizeof buffer) {
    // Cut to the buffer, never inside a UTF-8 character, and keep the line feed that ends the
    // message so the next message does not join this line.
    const bool endsLine = *format && format[std::strlen(format) - 1] == '\n';
    kept = sizeof buffer - (endsLine ? 2 : 1);
    while (kept > 0 && (static_cast<unsigned char>(buffer[kept]) & 0xC0) == 0x80)
      --kept;
    if (endsLine) buffer[kept++] = '\n';
  }
  text.append(buffer, kept);
  return text;
}

void TFFLogger::LibraryCallback(void* context, int level, const char* format, va_list args) {
  if (level > GLibraryLevel) return;
  TFFLogger& logger = Instance();
  // Only the first piece of a line carries the context prefix.
  const bool lineStart = TPendingLine.empty();
  std::string text = FormatLibraryMessage(lineStart ? context : nullptr, format, args);
  logger.AppendLibraryText(level, text);
}

void TFFLogger::AppendLibraryText(int libLevel, const std::string& text) {
  TPendingLine += text;
  size_t lineEnd;
  while ((lineEnd = TPendingLine.find('\n')) != std::string::npos) {
    std::string line = TPendingLine.substr(0, lineEnd);
    TPendingLine.erase(0, lineEnd + 1);
    Deliver(this, CurrentThreadId(), LibLevelToLogLevel(libLevel), line);
  }
}

} // namespace kavro
