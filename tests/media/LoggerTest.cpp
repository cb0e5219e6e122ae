// The log bridge: levels, whole lines per thread, the context prefix, delivery threads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "platform/Exceptions.h"
#include "platform/Event.h"
#include "platform/MainThread.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kavro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

struct TLine {
  TObject* Sender;
  TLogLevel Level;
  std::string Text;
  std::thread::id Thread;
};

class LoggerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    Logger.SetLogLevel(llInfo);
    Logger.SetTriggerEventInMainThread(true);
    Logger.SetOnLog([this](TObject* sender, uint32_t, TLogLevel level, const std::string& text) {
      std::lock_guard lock(FLock);
      FLines.push_back({sender, level, text, std::this_thread::get_id()});
    });
  }
  void TearDown() override {
    Logger.SetOnLog(nullptr);
    Logger.SetLogLevel(llInfo);
    Logger.SetTriggerEventInMainThread(true);
    TMainThread::Uninstall();
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(FLock);
    std::vector<std::string> texts;
    for (const auto& line : FLines)
      texts.push_back(line.Text);
    return texts;
  }
  std::vector<TLine> Lines() {
    std::lock_guard lock(FLock);
    return FLines;
  }

  TFFLogger& Logger = TFFLogger::Instance();
  TObject Engine;

private:
  std::mutex FLock; // lines arrive from several threads
  std::vector<TLine> FLines;
};

TEST(LogLevelMapping, BothWays) {
  const int numbers[] = {-8, 0, 8, 16, 24, 32, 40, 48};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(LogLevelToLibLevel(static_cast<TLogLevel>(i)), numbers[i]);
    EXPECT_EQ(LibLevelToLogLevel(numbers[i]), static_cast<TLogLevel>(i));
  }
  EXPECT_EQ(LibLevelToLogLevel(20), llError);
  EXPECT_EQ(LibLevelToLogLevel(56), llDebug);
  EXPECT_EQ(LibLevelToLogLevel(-100), llQuiet);
  EXPECT_EQ(LibLevelToLogLevel(-1), llPanic);
}

TEST_F(LoggerTest, LevelsFilterOwnMessages) {
  Logger.SetLogLevel(llWarning);
  Logger.Log(&Engine, llInfo, "dropped");
  Logger.Log(&Engine, llVerbose, "verbose passes");
  Logger.LogFmt(&Engine, llError, "error %d", 7);
  Logger.SetLogLevel(llQuiet);
  Logger.Log(&Engine, llVerbose, "nothing");
  Logger.Log(&Engine, llPanic, "nothing either");
  EXPECT_THAT(Texts(), ElementsAre("verbose passes", "error 7"));
  EXPECT_EQ(Lines()[0].Sender, &Engine);
  EXPECT_EQ(Lines()[1].Level, llError);
}

TEST_F(LoggerTest, LevelChosenBeforeLoadingReachesTheLibraries) {
  TFFmpegLoader::Instance().UnloadLib(liAVUtil);
  Logger.SetLogLevel(llError);
  EXPECT_EQ(av_log_get_level(), 32);
  ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
  EXPECT_EQ(av_log_get_level(), 16);
  EXPECT_EQ(TFFLogger::LibraryLevel(), 16);
}

TEST_F(LoggerTest, LevelByName) {
  Logger.SetLogLevelByName("Warning");
  EXPECT_EQ(Logger.LogLevel(), llWarning);
  EXPECT_EQ(av_log_get_level(), 24);
  Logger.SetLogLevelByName("20");
  EXPECT_EQ(Logger.LogLevel(), llError);
  Logger.SetLogLevelByName("DEBUG");
  EXPECT_EQ(Logger.LogLevel(), llDebug);
  try {
    Logger.SetLogLevelByName("loud");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'loud' is not a valid integer value");
  }
}

TEST_F(LoggerTest, LibraryPiecesMakeWholeLinesPerThread) {
  av_log(nullptr, AV_LOG_INFO, "abc");
  av_log(nullptr, AV_LOG_INFO, "def\nghi");
  av_log(nullptr, AV_LOG_INFO, "\n");
  std::thread other([] {
    av_log(nullptr, AV_LOG_WARNING, "one ");
    av_log(nullptr, AV_LOG_WARNING, "thread\n");
  });
  av_log(nullptr, AV_LOG_ERROR, "this ");
  other.join();
  av_log(nullptr, AV_LOG_ERROR, "thread\n");
  av_log(nullptr, AV_LOG_DEBUG, "above the level\n");
  EXPECT_THAT(Texts(), ElementsAre("abcdef", "ghi", "one thread", "this thread"));
  EXPECT_EQ(Lines()[0].Sender, &Logger);
  EXPECT_EQ(Lines()[2].Level, llWarning);
}

TEST_F(LoggerTest, ContextPrefixAndLengthBound) {
  static const AVClass testClass = {"TestClass", av_default_item_name, nullptr, LIBAVUTIL_VERSION_INT};
  struct {
    const AVClass* Class = &testClass;
  } context;
  av_log(&context, AV_LOG_ERROR, "first ");
  av_log(&context, AV_LOG_ERROR, "second\n");
  const std::string longText(5000, 'x');
  av_log(nullptr, AV_LOG_ERROR, "%s\n", longText.c_str());
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(std::regex_match(texts[0], std::regex(R"(\[TestClass @ 0x[0-9a-f]+\]first second)")))
      << texts[0];
  EXPECT_EQ(texts[1], std::string(2046, 'x')); // the line feed is kept within the bound
}

TEST_F(LoggerTest, MainThreadDeliveryWaitsForTheMainThread) {
  TMainThread::InstallPlainLoop();
  TEvent logged;
  std::thread worker([&] {
    Logger.Log(&Engine, llError, "from a worker");
    logged.SetEvent();
  });
  EXPECT_FALSE(logged.WaitFor(30)); // the worker waits for the main thread
  EXPECT_TRUE(TMainThread::WaitServing(logged, 5000));
  worker.join();
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].Thread, std::this_thread::get_id());
}

TEST_F(LoggerTest, DirectDeliveryFromSeveralThreadsKeepsLinesWhole) {
  Logger.SetTriggerEventInMainThread(false);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int n = 0; n < 200; ++n) {
        av_log(nullptr, AV_LOG_INFO, "thread %d ", t);
        av_log(nullptr, AV_LOG_INFO, "line %d\n", n);
      }
    });
  for (auto& thread : threads)
    thread.join();
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 800u);
  for (const auto& text : texts)
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(thread \d line \d+)"))) << text;
}

TEST_F(LoggerTest, OnlyOneInstance) {
  try {
    TFFLogger second;
    FAIL() << "a second logger was made";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
  }
  EXPECT_EQ(&TFFLogger::Instance(), &Logger);
}

} // namespace
} // namespace kavro::test
