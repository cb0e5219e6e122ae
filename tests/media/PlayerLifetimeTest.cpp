// The preview player opened, sought, paused and closed over and over, as the editing windows do,
// while its play thread closes files by itself (the end of the chosen part): the owner's calls never
// meet a freed file and a waiting seek always returns, also on a file cut short.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FixtureMedia.h"
#include "platform/WideString.h"
#include "player/FFPlayer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

namespace kavro::test {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

// Counts the pictures it is shown.
class TCountingSurface : public TDisplaySurface {
public:
  void Size(int& width, int& height) override {
    width = 160;
    height = 120;
  }
  void Present(const AVFrame*, int, int, int, int) override { ++Presents; }
  void Clear() override {}
  std::atomic<int> Presents{0};
};

// How long a call from the owner's thread took.
template <typename Call> TClock::duration Timed(Call call) {
  const auto started = TClock::now();
  call();
  return TClock::now() - started;
}

class PlayerLifetimeTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(Player.LoadLibraries(L""));
    Player.TriggerEventInMainThread = false;
    Player.OnState = [this](TObject*, TPlayState state) {
      if (state == psEnd) ++Ends;
    };
  }

  TFFPlayer Player;
  TCountingSurface Surface;
  std::atomic<int> Ends{0};
};

TEST_F(PlayerLifetimeTest, AWaitingSeekNearTheEndOfAFileCutShortReturns) {
  // The header promises three seconds; the data ends before two.
  for (const bool paused : {true, false}) {
    SCOPED_TRACE(paused ? "paused" : "playing");
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("cut-short.mkv")), &Surface, paused)) << Player.LastErrMsg();
    for (const int64_t position : {2900000, 2500000, 1000000, 2990000}) {
      EXPECT_LT(Timed([&] { Player.Seek(AVSEEK_FLAG_BACKWARD, true, position); }), 5s) << position;
      EXPECT_LT(Timed([&] { Player.SeekRelative(0, true, 1.0); }), 5s) << position;
    }
    // Past the data, the end comes; a seek after it returns too.
    Player.Resume();
    const auto until = TClock::now() + 10s;
    while (Ends == 0 && TClock::now() < until)
      std::this_thread::sleep_for(10ms);
    EXPECT_GT(Ends.load(), 0);
    EXPECT_LT(Timed([&] { Player.Seek(0, true, 2950000); }), 5s);
    Player.Stop(true);
    EXPECT_FALSE(Player.IsOpen());
    Ends = 0;
  }
}

TEST_F(PlayerLifetimeTest, TwoHundredOpenSeekPauseCloseCyclesAcrossClips) {
  const std::vector<std::string> clips = {"av.mp4",         "cut-short.mkv", "audio.wav", "av.avi",
                                          "video-only.mp4", "av.mkv",        "pal.mpg",   "audio.mp3",
                                          "dvdsub.mkv",     "wide-405.mpg"};
  const auto started = TClock::now();
  int opened = 0, closedByThemselves = 0;
  for (int cycle = 0; cycle < 200; ++cycle) {
    const std::string& clip = clips[cycle % clips.size()];
    SCOPED_TRACE(clip + ", cycle " + std::to_string(cycle));
    const bool paused = cycle % 4 >= 2;
    // Every third file closes itself soon (the end of its chosen part) while the owner keeps calling.
    const bool closesItself = cycle % 3 == 0;
    Player.PlayDuration = closesItself ? 120000 : NoTimeValue;
    Player.StartTime = cycle % 5 == 2 ? 500000 : NoTimeValue;
    if (!Player.Open(NarrowToWide(Fixture(clip)), &Surface, paused)) {
      ADD_FAILURE() << Player.LastErrMsg();
      continue;
    }
    ++opened;
    const auto waited = Timed([&] {
      switch (cycle / 10 % 4) {
      case 0:
        Player.Seek(AVSEEK_FLAG_BACKWARD, true, 2800000); // near the end, past the data of the cut file
        break;
      case 1:
        Player.SeekRelative(0, true, 1.0);
        break;
      case 2:
        Player.Seek(0, false, 1500000);
        Player.Seek(0, false, 400000); // replaces the first while it waits
        break;
      default:
        Player.SeekRelative(AVSEEK_FLAG_BYTE, true, 0.5);
        break;
      }
    });
    // Returns, however slowly a sanitizer makes the search through a file without its index.
    EXPECT_LT(waited, 20s);
    if (paused)
      Player.Resume();
    else
      Player.Pause();
    int64_t pts = 0;
    TBitmap* frame = Player.CurrentFrame(&pts);
    EXPECT_GE(frame->Width(), 0);
    if (closesItself) {
      // Calls from this thread go on while the play thread closes the file.
      const auto until = TClock::now() + 3s;
      Player.Resume();
      while (Player.IsOpen() && TClock::now() < until) {
        Player.CurrentFrame(&pts);
        (void)Player.CurrentPTS();
        Player.SeekRelative(0, false, 0.01);
        Player.Pause();
        Player.Resume();
      }
      closedByThemselves += !Player.IsOpen();
    }
    Player.Stop(true);
    EXPECT_FALSE(Player.IsOpen());
  }
  EXPECT_EQ(opened, 200);
  EXPECT_GT(closedByThemselves, 40);
  std::printf("200 cycles in %.1f s\n", std::chrono::duration<double>(TClock::now() - started).count());
}

} // namespace
} // namespace kavro::test
