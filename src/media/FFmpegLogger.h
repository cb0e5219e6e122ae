// The log bridge: every diagnostic line of the media libraries and of the engine, probe and player
// passes through the one TFFLogger of the process, is filtered by level, assembled into whole lines
// per thread and handed to OnLog. Any thread may log; OnLog runs in the main thread when
// TriggerEventInMainThread is set and a main loop is installed, else in the logging thread.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Object.h"

namespace kavro {

enum TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// llQuiet -8, llPanic 0, … llDebug 48.
int LogLevelToLibLevel(TLogLevel level);
TLogLevel LibLevelToLogLevel(int libLevel);

struct TLogInfo {
  TObject* Sender = nullptr;
  uint32_t ThreadID = 0;
  TLogLevel LogLevel = llInfo;
  std::string LogMsg;
};

using TLogEvent =
    std::function<void(TObject* Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string& ALogMsg)>;

class TFFLogger : public TObject {
public:
  // The process's logger, created on first use.
  static TFFLogger& Instance();
  // Only one logger may exist; a second one fails with "Allow creating only one instance of TFFLogger.".
  TFFLogger();
  ~TFFLogger() override;

  TLogLevel LogLevel() const { return FLogLevel; }
  void SetLogLevel(TLogLevel level);
  // "quiet" … "debug" in any case, or a decimal library level; EConvertError for anything else.
  void SetLogLevelByName(const std::string& name);
  // The libraries' current numeric level: library messages above it are dropped.
  static int LibraryLevel();

  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool value) { FTriggerEventInMainThread = value; }
  void SetOnLog(TLogEvent handler);

  void Log(TObject* sender, TLogLevel level, const std::string& message);
  void LogFmt(TObject* sender, TLogLevel level, const char* format, ...)
      __attribute__((format(printf, 4, 5)));

  // Routes the libraries' log output here; called by the library loader once avutil is ready.
  static void InstallLibraryCallback();
  // The libraries' callback: context (or null), numeric level, format and arguments.
  static void LibraryCallback(void* context, int level, const char* format, va_list args);
  // Formats a library message; longer text is cut at 2047 bytes on a character boundary.
  static std::string FormatLibraryMessage(void* context, const char* format, va_list args);

private:
  bool Passes(TLogLevel level) const;
  void Deliver(TObject* sender, uint32_t threadId, TLogLevel level, const std::string& message);
  void AppendLibraryText(int libLevel, const std::string& text);

  std::atomic<TLogLevel> FLogLevel{llInfo};
  std::atomic<bool> FTriggerEventInMainThread{true};
  std::mutex FHandlerLock; // guards FOnLog: set by the owner, read by every logging thread
  std::shared_ptr<const TLogEvent> FOnLog;
};

} // namespace kavro
