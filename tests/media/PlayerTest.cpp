// The preview player on real media: opening and failing, pictures reaching the surface, pause and
// start-paused, seeking, the end report, the frame hook, frame grabs and the aspect rules.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "FixtureMedia.h"
#include "fixtures/FrameCounter.h"
#include "platform/WideString.h"
#include "player/FFPlayer.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace kavro::test {
namespace {

using namespace std::chrono_literals;

// Counts what it is shown and keeps the luma of the last picture's first pixel.
class TRecordingSurface : public TDisplaySurface {
public:
  void Size(int& width, int& height) override {
    width = 400;
    height = 300;
  }
  void Present(const AVFrame* picture, int x, int y, int width, int height) override {
    std::lock_guard lock(Lock);
    ++Presents;
    LastPictureWidth = picture->width;
    LastRect = {x, y, width, height};
    LastLuma = picture->data[0][0];
  }
  void Clear() override {}

  std::mutex Lock; // the event loop presents, the test reads
  int Presents = 0;
  int LastPictureWidth = 0;
  std::vector<int> LastRect;
  int LastLuma = -1;

  int Count() {
    std::lock_guard lock(Lock);
    return Presents;
  }
};

int Counter(TBitmap* frame) {
  return fixtures::ReadFrameCounterBGR(frame->ScanLine(0), frame->RowStride(), frame->Width(),
                                       frame->Height());
}

class PlayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(Player.LoadLibraries(L""));
    Player.TriggerEventInMainThread = false;
    Player.OnState = [this](TObject*, TPlayState state) {
      std::lock_guard lock(StatesLock);
      States.push_back(state);
    };
  }

  int CountOf(TPlayState state) {
    std::lock_guard lock(StatesLock);
    return static_cast<int>(std::count(States.begin(), States.end(), state));
  }

  template <typename Predicate> bool WaitFor(Predicate predicate, std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  TFFPlayer Player;
  TRecordingSurface Surface;
  std::mutex StatesLock; // the delivery thread appends, the test reads
  std::vector<TPlayState> States;
};

TEST_F(PlayerTest, OpenFailuresSayWhyAndLeaveNothingRunning) {
  for (const char* name : {"empty.mp4", "random.avi", "folder.mkv", "missing.mp4"}) {
    EXPECT_FALSE(Player.Open(NarrowToWide(Fixture(name)), &Surface, false)) << name;
    EXPECT_FALSE(Player.LastErrMsg().empty()) << name;
    EXPECT_FALSE(Player.IsOpen());
  }
  Player.Stop(true); // harmless with nothing open
  EXPECT_EQ(Surface.Count(), 0);
}

TEST_F(PlayerTest, PlaysToTheEndReportsItOnceAndStops) {
  std::atomic<int64_t> lastPosition{-1};
  Player.OnPosition = [&](TObject*, int64_t position) { lastPosition = position; };
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false)) << Player.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) > 0; }, 10s));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(CountOf(psEnd), 1);
  EXPECT_GT(Surface.Count(), 30); // most of the 75 pictures were shown
  EXPECT_EQ(Surface.LastPictureWidth, 320);
  EXPECT_NEAR(static_cast<double>(lastPosition), 3000000.0, 200000.0);
  Player.Stop(true);
  EXPECT_FALSE(Player.IsOpen());
  EXPECT_EQ(CountOf(psPlay), 1);
  EXPECT_TRUE(WaitFor([&] { return CountOf(psStop) == 1; }));
}

TEST_F(PlayerTest, StartPausedShowsTheFirstPictureAndSeeksWhilePaused) {
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, true)) << Player.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psPause) == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Surface.Count() >= 1; }));
  std::this_thread::sleep_for(300ms);
  const int shown = Surface.Count();
  EXPECT_LE(shown, 2); // paused: no more pictures

  int64_t pts = -2;
  TBitmap* frame = Player.CurrentFrame(&pts);
  EXPECT_EQ(frame->Width(), 320);
  EXPECT_EQ(frame->Height(), 240);
  EXPECT_GE(pts, 0);
  EXPECT_LT(pts, 200000);

  EXPECT_EQ(Counter(frame), 0);

  // A seek while paused shows the picture at the target (the frame counter of 2 s at 25 fps), stays
  // paused, and a seek past the end shows the last picture.
  Player.Seek(1, true, 2000000);
  EXPECT_TRUE(WaitFor([&] { return Surface.Count() > shown; }));
  frame = Player.CurrentFrame(&pts);
  EXPECT_EQ(Counter(frame), 50);
  EXPECT_NEAR(static_cast<double>(pts), 2000000.0, 1000.0);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Counter(Player.CurrentFrame()), 50);
  EXPECT_EQ(Player.State(), psPause);
  Player.Seek(1, true, 10000000);
  EXPECT_EQ(Counter(Player.CurrentFrame()), 74);
  Player.Seek(1, true, 2000000);

  Player.Resume();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) == 1; }));
  Player.Stop(true);
}

TEST_F(PlayerTest, AudioOnlyGrabsNothingAndReachesTheEndOnce) {
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("audio.wav")), &Surface, false)) << Player.LastErrMsg();
  int64_t pts = 0;
  TBitmap* frame = Player.CurrentFrame(&pts);
  EXPECT_EQ(frame->Width(), 0);
  EXPECT_EQ(frame->Height(), 0);
  EXPECT_EQ(pts, -1);
  EXPECT_TRUE(WaitFor([&] { return Surface.Count() > 5; })); // the audio view
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) > 0; }, 10s));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(CountOf(psEnd), 1);
  EXPECT_EQ(Player.CurrentPTS(), 3000000);
  Player.Stop(true);
  frame = Player.CurrentFrame(&pts);
  EXPECT_EQ(frame->Width(), 0);
  EXPECT_EQ(pts, -1);
}

TEST_F(PlayerTest, HookDrawsOnShownPicturesAndSurvivesAThrowingHandler) {
  std::atomic<int> calls{0};
  Player.Hook = true;
  Player.OnHook = [&](TObject*, TBitmap* bitmap, int64_t) {
    if (++calls % 2 == 0) throw std::runtime_error("handler failed");
    for (int y = 0; y < bitmap->Height(); ++y)
      std::memset(bitmap->ScanLine(y), 255, bitmap->Width() * 3);
  };
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("video-only.mp4")), &Surface, false)) << Player.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) == 1; }, 10s));
  EXPECT_GT(calls.load(), 30);
  Player.Stop(true);
  // White painted by the handler arrives as bright luma; the thrown calls left the picture as decoded.
  EXPECT_GE(Surface.LastLuma, 16);
}

TEST_F(PlayerTest, WithoutSoundPicturesKeepTheirOwnTime) {
  Player.DisableAudio = true;
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false)) << Player.LastErrMsg();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) == 1; }, 10s));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_NEAR(seconds, 3.0, 0.5);
  EXPECT_GT(Surface.Count(), 30);
  Player.Stop(true);
}

TEST_F(PlayerTest, StopWhilePlayingAndReopenDoNotHang) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture(round == 1 ? "av.mkv" : "av.avi")), &Surface, false))
        << Player.LastErrMsg();
    std::this_thread::sleep_for(150ms);
    if (round == 2) Player.Pause();
    Player.Stop(true);
    EXPECT_FALSE(Player.IsOpen());
  }
}

TEST(PlayerAspect, ForcedFromTheStreamAndFilling) {
  int x, y, width, height;
  // From the stream: 4:3 in 400 x 300 fills it.
  TCustomPlayer::PictureRectangle(400, 300, 320, 240, {0, 1}, 0, x, y, width, height);
  EXPECT_EQ(std::vector<int>({x, y, width, height}), std::vector<int>({0, 0, 400, 300}));
  // Forced 16:9 in 400 x 300: bars above and below, centred.
  TCustomPlayer::PictureRectangle(400, 300, 320, 240, {0, 1}, 16.0f / 9, x, y, width, height);
  EXPECT_EQ(std::vector<int>({x, y, width, height}), std::vector<int>({0, 38, 400, 224}));
  // Anamorphic PAL (720 x 576, 16:15 pixels) into a wide area: bars left and right.
  TCustomPlayer::PictureRectangle(800, 450, 720, 576, {16, 15}, 0, x, y, width, height);
  EXPECT_EQ(std::vector<int>({x, y, width, height}), std::vector<int>({100, 0, 600, 450}));
  // Negative: the area's own shape.
  TCustomPlayer::PictureRectangle(500, 200, 320, 240, {0, 1}, -1, x, y, width, height);
  EXPECT_EQ(std::vector<int>({x, y, width, height}), std::vector<int>({0, 0, 500, 200}));
}

} // namespace
} // namespace kavro::test
