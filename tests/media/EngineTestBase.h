// A fresh task engine with the libraries loaded, and the log lines it writes.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "engine/FFmpeg.h"
#include "engine/FFmpegException.h"

namespace kavro::test {

class EngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    TFFLogger::Instance().SetLogLevel(llDebug);
    TFFLogger::Instance().SetOnLog([this](TObject*, uint32_t, TLogLevel level, const std::string& line) {
      std::lock_guard lock(FLock);
      FLog.push_back({level, line});
    });
    Engine.ResetTask();
  }
  void TearDown() override {
    TFFLogger::Instance().SetOnLog(nullptr);
    TFFLogger::Instance().SetLogLevel(llInfo);
  }

  // The message of the exception the option raises, or "no error".
  std::string ErrorOf(const std::string& name, const std::string& value) {
    try {
      Engine.ParseOption(name, value);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "no error";
  }
  bool Logged(const std::string& line, TLogLevel level) {
    std::lock_guard lock(FLock);
    for (const auto& [lineLevel, text] : FLog)
      if (text == line && lineLevel == level) return true;
    return false;
  }
  bool LoggedStartingWith(const std::string& start) {
    std::lock_guard lock(FLock);
    for (const auto& entry : FLog)
      if (entry.second.starts_with(start)) return true;
    return false;
  }
  const TTaskSettings& Settings() const { return Engine.Settings(); }

  TFFmpeg Engine;

private:
  std::mutex FLock; // the libraries may log from their own threads
  std::vector<std::pair<TLogLevel, std::string>> FLog;
};

} // namespace kavro::test
