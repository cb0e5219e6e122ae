// The preview player on real media: opening and failing, pictures reaching the surface, pause and
// start-paused, seeking, the end report, the frame hook, frame grabs and the aspect rules.
#include <gtest/gtest.h>

#include <csignal>

#include <atomic>
#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "FixtureMedia.h"
#include "fixtures/FixtureWriter.h"
#include "fixtures/FrameCounter.h"
#include "platform/WideString.h"
#include "player/FFPlayer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
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
    LastPictureHeight = picture->height;
    LastRect = {x, y, width, height};
    LastLuma = picture->data[0][0];
    if (LastLuma >= 230) ++BrightPresents;
  }
  void Clear() override {}

  std::mutex Lock; // the event loop presents, the test reads
  int Presents = 0;
  int LastPictureWidth = 0;
  int LastPictureHeight = 0;
  std::vector<int> LastRect;
  int LastLuma = -1;
  int BrightPresents = 0; // pictures whose first pixel is white

  int Count() {
    std::lock_guard lock(Lock);
    return Presents;
  }
};

// The player with a look at the display mode of its open file.
class TProbedPlayer : public TFFPlayer {
public:
  // -1 with no file open.
  int AudioDisplayMode() const {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    const TPlayContext* context = FContext;
    return context ? context->AudioDisplayMode.load() : -1;
  }
  // The threads the open file's video decoder runs on; -1 without one.
  int DecoderThreads() const {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    const TPlayContext* context = FContext;
    return context && context->VideoDecoder ? context->VideoDecoder->thread_count : -1;
  }
};

// Keeps the luma of the last picture it is shown.
class TCopyingSurface : public TDisplaySurface {
public:
  void Size(int& width, int& height) override {
    width = 200;
    height = 100;
  }
  void Present(const AVFrame* picture, int, int, int, int) override {
    std::lock_guard lock(Lock);
    ++Presents;
    Width = picture->width;
    Height = picture->height;
    Luma.resize(static_cast<size_t>(Width) * Height);
    for (int y = 0; y < Height; ++y)
      std::memcpy(&Luma[static_cast<size_t>(y) * Width], picture->data[0] + y * picture->linesize[0], Width);
  }
  void Clear() override {}

  std::mutex Lock; // the event loop presents, the test reads
  int Presents = 0;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Luma;
};

// Lets handlers wait until the test opens it.
class TGate {
public:
  void Open() {
    {
      std::lock_guard lock(FLock);
      FOpen = true;
    }
    FChanged.notify_all();
  }
  void Pass() {
    std::unique_lock lock(FLock);
    ++FWaiting;
    FChanged.notify_all();
    // Bounded: a test that fails before opening the gate must not leave the handler's thread behind.
    if (!FChanged.wait_for(lock, std::chrono::seconds(60), [this] { return FOpen; }))
      ADD_FAILURE() << "the gate was never opened";
  }
  // True once a handler is waiting (or has waited) at the gate.
  bool Reached() {
    std::lock_guard lock(FLock);
    return FWaiting > 0;
  }

private:
  std::mutex FLock; // guards the fields between the handler's thread and the test
  std::condition_variable FChanged;
  bool FOpen = false;
  int FWaiting = 0;
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

  TProbedPlayer Player;
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

TEST_F(PlayerTest, NothingToPlayFailsWithoutEvents) {
  std::atomic<int> opened{0}, positions{0};
  Player.OnFileOpen = [&](TObject*, int64_t, int, int, int&, int&) { ++opened; };
  Player.OnPosition = [&](TObject*, int64_t) { ++positions; };
  // Only subtitles: a SubRip file and a Matroska file; and a file whose streams are all switched off.
  const std::string folder = OutputFolder();
  const std::string subRip = folder + "only.srt";
  std::ofstream(subRip) << "1\n00:00:00,500 --> 00:00:01,500\nNothing else\n\n";
  const std::string matroska = folder + "only-subtitles.mkv";
  fixtures::TFixtureWriter writer(matroska);
  writer.AddSubtitles({{0.5, 1.5, "Nothing else"}}, "eng");
  std::string error;
  ASSERT_TRUE(writer.Write(2, error)) << error;
  for (const std::string& name : {subRip, matroska, Fixture("av.mp4")}) {
    const bool switchedOff = name == Fixture("av.mp4");
    Player.DisableAudio = Player.DisableVideo = switchedOff;
    EXPECT_FALSE(Player.Open(NarrowToWide(name), &Surface, false)) << name;
    EXPECT_EQ(Player.LastErrMsg(), name + ": could not open codecs, no stream to play.");
    EXPECT_FALSE(Player.IsOpen());
  }
  Player.Stop(true);
  EXPECT_EQ(opened.load(), 0);
  EXPECT_EQ(positions.load(), 0);
  EXPECT_EQ(CountOf(psPlay) + CountOf(psStop), 0);
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

TEST_F(PlayerTest, ByteSeeksOfSoundAloneSkipAheadInTheFile) {
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("audio.wav")), &Surface, false)) << Player.LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return Player.CurrentPTS() > 300000; }));
  const auto seekStarted = std::chrono::steady_clock::now();
  // A second of the file's bytes forward: a wave file carries no time stamps to jump the clock by,
  // but the sound ends a second early.
  Player.SeekRelative(AVSEEK_FLAG_BYTE, true, 1.0);
  ASSERT_TRUE(WaitFor([&] { return CountOf(psEnd) > 0; }, 10s));
  const auto playedAfterSeek = std::chrono::steady_clock::now() - seekStarted;
  EXPECT_LT(playedAfterSeek, 2200ms);
  EXPECT_GT(playedAfterSeek, 1200ms); // from what is heard, not from where the reader is ahead
  Player.Stop(true);
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
  // White painted by the handler arrives as white on screen; the thrown calls left the picture as
  // decoded (the clip's corner is not white).
  std::lock_guard lock(Surface.Lock);
  EXPECT_GT(Surface.BrightPresents, 10);
  EXPECT_GT(Surface.Presents - Surface.BrightPresents, 10);
}

TEST_F(PlayerTest, OddSizedPicturesKeepTheirSizeOnScreenInGrabsAndInTheHook) {
  std::mutex lock; // the decode thread writes, the test reads
  std::vector<std::pair<int, int>> hooked;
  Player.Hook = true;
  Player.OnHook = [&](TObject*, TBitmap* bitmap, int64_t) {
    std::lock_guard guard(lock);
    hooked.emplace_back(bitmap->Width(), bitmap->Height());
  };
  for (const auto& [name, width, height] :
       {std::tuple{"wide-405.mpg", 720, 405}, std::tuple{"odd-size.avi", 321, 241}}) {
    SCOPED_TRACE(name);
    {
      std::lock_guard guard(lock);
      hooked.clear();
    }
    const int before = Surface.Count();
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture(name)), &Surface, true)) << Player.LastErrMsg();
    ASSERT_TRUE(WaitFor([&] { return Surface.Count() > before; }));
    Player.Seek(0, true, 400000);
    TBitmap* frame = Player.CurrentFrame();
    EXPECT_EQ(frame->Width(), width);
    EXPECT_EQ(frame->Height(), height);
    EXPECT_NEAR(Counter(frame), 10, 2); // the counter reads: the picture came through whole
    Player.Stop(true);
    {
      std::lock_guard guard(Surface.Lock);
      EXPECT_EQ(Surface.LastPictureWidth, width);
      EXPECT_EQ(Surface.LastPictureHeight, height);
    }
    std::lock_guard guard(lock);
    ASSERT_FALSE(hooked.empty());
    for (const auto& size : hooked)
      EXPECT_EQ(size, std::pair(width, height));
  }
}

TEST_F(PlayerTest, SeeksWhilePausedMoveOnFromTheLastAndTheLatestRequestWins) {
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, true)) << Player.LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return CountOf(psPause) == 1; }));
  Player.Seek(0, true, 0);
  // Each step goes on from the picture the last one showed, not from the clock stopped at the pause.
  for (const auto& [step, expected] : {std::pair{1.0, 1000000}, {1.0, 2000000}, {-1.0, 1000000}}) {
    Player.SeekRelative(0, true, step);
    int64_t pts = -1;
    Player.CurrentFrame(&pts);
    EXPECT_NEAR(static_cast<double>(pts), static_cast<double>(expected), 40000.0) << "step to " << expected;
  }
  // A request made while another waits replaces it: the end of a slider drag is what shows.
  Player.Seek(0, false, 1000000);
  Player.Seek(0, true, 2400000);
  EXPECT_TRUE(WaitFor([&] { return Counter(Player.CurrentFrame()) == 60; }));
  Player.Stop(true);

  // Sound alone: opened paused it says so, and a seek moves the position it reports.
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("audio.wav")), &Surface, true)) << Player.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psPause) == 2; }));
  Player.Seek(0, true, 1500000);
  EXPECT_TRUE(WaitFor([&] { return std::llabs(Player.CurrentPTS() - 1500000) < 30000; }))
      << Player.CurrentPTS();
  Player.SeekRelative(0, true, 1.0);
  EXPECT_TRUE(WaitFor([&] { return std::llabs(Player.CurrentPTS() - 2500000) < 30000; }))
      << Player.CurrentPTS();
  EXPECT_EQ(Player.State(), psPause);
  Player.Stop(true);
}

TEST_F(PlayerTest, LoopingGoesBackToTheStartWithOrWithoutAPart) {
  Player.EndAction = 2;
  for (const char* name : {"av.mp4", "audio.wav"}) {
    SCOPED_TRACE(name);
    const int endsBefore = CountOf(psEnd);
    // The last half second of the file again and again, with no length given.
    Player.StartTime = 2500000;
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture(name)), &Surface, false)) << Player.LastErrMsg();
    EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) >= endsBefore + 3; }, 8s));
    EXPECT_TRUE(Player.IsOpen());
    Player.Stop(true);
  }
}

TEST_F(PlayerTest, ACostlyHookStillShowsPicturesInStepWithTheSound) {
  // Each picture costs the hook more than its own duration: the decoder must skip, not freeze.
  std::atomic<int64_t> lastHooked{-1};
  Player.Hook = true;
  Player.OnHook = [&](TObject*, TBitmap*, int64_t pts) {
    std::this_thread::sleep_for(70ms);
    lastHooked = pts;
  };
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false)) << Player.LastErrMsg();
  const auto started = std::chrono::steady_clock::now();
  // Half way through the sound the pictures are half way through too.
  ASSERT_TRUE(WaitFor([&] { return Player.CurrentPTS() >= 1500000; }));
  EXPECT_NEAR(static_cast<double>(lastHooked), 1500000.0, 400000.0);
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) == 1; }, 10s));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 4.0); // the end comes with the sound's, not seconds behind it
  // At 70 ms each, at most 14 pictures a second can pass the hook; a frozen picture would show one
  // or two in all. Under a sanitizer on a loaded machine only about a third of them make it.
  EXPECT_GT(Surface.Count(), 8);
  Player.Stop(true);
}

TEST_F(PlayerTest, APlayingFileLeavesTheProgramsSignalsAlone) {
  // A windowed program that plays a preview must still end on SIGTERM.
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, true)) << Player.LastErrMsg();
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction action {};
    ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
  }
  Player.Stop(true);
}

TEST_F(PlayerTest, VideoDecodersUseTheirOwnThreads) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: one decoding thread";
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, true)) << Player.LastErrMsg();
  EXPECT_GT(Player.DecoderThreads(), 1);
  Player.Stop(true);
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

TEST_F(PlayerTest, ASecondFileKeepsPlayingAfterTheFirstWasStopped) {
  for (const char* name : {"av.mp4", "video-only.mp4"}) {
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture(name)), &Surface, false)) << Player.LastErrMsg();
    const int before = Surface.Count();
    EXPECT_TRUE(WaitFor([&] { return Surface.Count() >= before + 10; })) << name;
    EXPECT_TRUE(Player.IsOpen()) << name;
    Player.Stop(true);
  }
  EXPECT_TRUE(WaitFor([&] { return CountOf(psStop) == 2; }));
}

TEST_F(PlayerTest, PositionsQueuedBehindABusyHandlerArriveAsOne) {
  TGate gate;
  std::mutex lock; // the delivery thread appends, the test reads
  std::vector<int64_t> delivered;
  const auto deliveries = [&] {
    std::lock_guard guard(lock);
    return delivered;
  };
  Player.OnState = nullptr; // only positions in the queue
  Player.OnPosition = [&](TObject*, int64_t position) {
    bool first;
    {
      std::lock_guard guard(lock);
      delivered.push_back(position);
      first = delivered.size() == 1;
    }
    if (first) gate.Pass();
  };
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("video-only.mp4")), &Surface, false)) << Player.LastErrMsg();
  ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }));
  // Dozens of positions are reported while the handler is busy with the first.
  EXPECT_TRUE(WaitFor([&] { return Player.CurrentPTS() > 800000; }, 10s));
  Player.Pause();
  // Paused, the position stands still.
  int64_t paused = -1;
  EXPECT_TRUE(WaitFor(
      [&] {
        const int64_t now = Player.CurrentPTS();
        std::this_thread::sleep_for(150ms);
        paused = now;
        return Player.CurrentPTS() == now;
      },
      10s));
  gate.Open();
  EXPECT_TRUE(WaitFor([&] { return deliveries().size() >= 2; }));
  std::this_thread::sleep_for(300ms);
  const std::vector<int64_t> seen = deliveries();
  ASSERT_EQ(seen.size(), 2u) << "positions were delivered one by one";
  EXPECT_NEAR(static_cast<double>(seen[1]), static_cast<double>(paused), 10000.0) << "not the latest";
  Player.Stop(true);
}

TEST_F(PlayerTest, StopReturnsWhileAHandlerIsStuckAndTheStuckThreadsEndLater) {
  for (const bool inHook : {true, false}) {
    SCOPED_TRACE(inHook ? "hook" : "position");
    TGate gate;
    std::atomic<bool> stuck{true};
    Player.Hook = inHook;
    Player.OnHook = [&](TObject*, TBitmap*, int64_t) {
      if (stuck) gate.Pass();
    };
    Player.OnPosition = [&](TObject*, int64_t) {
      if (!inHook && stuck) gate.Pass();
    };
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false)) << Player.LastErrMsg();
    ASSERT_TRUE(WaitFor([&] { return gate.Reached(); }));
    const auto started = std::chrono::steady_clock::now();
    Player.Stop(true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    if (inHook) {
      // A new file cannot start while the old one's threads are still there.
      EXPECT_FALSE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false));
      EXPECT_EQ(Player.LastErrMsg(), "the previous file is still closing.");
    }
    stuck = false;
    gate.Open();
    Player.Stop(true);
    EXPECT_FALSE(Player.IsOpen());
    // Everything ended: the next file plays.
    ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("av.mp4")), &Surface, false)) << Player.LastErrMsg();
    const int before = Surface.Count();
    EXPECT_TRUE(WaitFor([&] { return Surface.Count() > before + 5; }));
    Player.Stop(true);
  }
}

TEST_F(PlayerTest, SoundAloneShowsItsWaveformUnlessDisplayIsOff) {
  TCopyingSurface surface;
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("audio.wav")), &surface, false)) << Player.LastErrMsg();
  EXPECT_EQ(Player.AudioDisplayMode(), 1);
  // The tone on both channels: a line between the two bands, around each band's centre the wave of its
  // channel, reaching as far as the channel is loud (half and a quarter of full scale, drawn at 9/20 of
  // the 50 rows of a band: 11 and 5 rows).
  const auto reach = [&](int centre) {
    int farthest = 0;
    for (int x = 0; x < 200; ++x)
      for (int y = centre - 24; y <= centre + 24; ++y)
        if (surface.Luma[static_cast<size_t>(y) * 200 + x] == 235)
          farthest = std::max(farthest, std::abs(y - centre));
    return farthest;
  };
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard lock(surface.Lock);
    if (surface.Presents < 5 || surface.Width != 200 || surface.Height != 100) return false;
    for (int x = 0; x < 200; ++x)
      if (surface.Luma[50 * 200 + x] != 235) return false;
    const int upper = reach(25), lower = reach(75);
    return upper >= 9 && upper <= 12 && lower >= 4 && lower <= 6;
  }));
  Player.Stop(true);

  Player.DisableDisplay = true;
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("audio.wav")), &surface, false)) << Player.LastErrMsg();
  EXPECT_EQ(Player.AudioDisplayMode(), 0);
  const int presents = [&] {
    std::lock_guard lock(surface.Lock);
    return surface.Presents;
  }();
  EXPECT_TRUE(WaitFor([&] { return Player.CurrentPTS() > 300000; }));
  Player.Stop(true);
  std::lock_guard lock(surface.Lock);
  EXPECT_EQ(surface.Presents, presents);
}

TEST_F(PlayerTest, BitmapSubtitlesAreDrawnWhileShownAndGoneAfter) {
  // dvdsub.mkv: a white box at 40,176, 240 x 40, from 0.5 s to 2 s; nothing in the pictures is white.
  const auto grabbed = [](TBitmap* frame) {
    int count = 0, all = 0;
    for (int y = 178; y < 214; ++y)
      for (int x = 42; x < 278; ++x, ++all) {
        const uint8_t* pixel = frame->ScanLine(y) + 3 * x;
        count += pixel[0] > 225 && pixel[1] > 225 && pixel[2] > 225;
      }
    return static_cast<double>(count) / all;
  };
  TCopyingSurface surface;
  const auto shown = [&] {
    std::lock_guard lock(surface.Lock);
    int count = 0, all = 0;
    for (int y = 178; y < 214 && surface.Width == 320; ++y)
      for (int x = 42; x < 278; ++x, ++all)
        count += surface.Luma[static_cast<size_t>(y) * 320 + x] >= 230;
    return all ? static_cast<double>(count) / all : 0.0;
  };
  ASSERT_TRUE(Player.Open(NarrowToWide(Fixture("dvdsub.mkv")), &surface, true)) << Player.LastErrMsg();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psPause) == 1; }));
  int64_t pts = -1;
  // A seek while paused: the subtitle read on the way to the target is in the picture.
  Player.Seek(0, true, 720000);
  EXPECT_TRUE(WaitFor([&] { return grabbed(Player.CurrentFrame(&pts)) > 0.95; })) << "at " << pts;
  EXPECT_EQ(pts, 720000);
  // Past the next key frame (1 s), long after the subtitle began: the reader starts early enough.
  Player.Seek(0, true, 1240000);
  EXPECT_TRUE(WaitFor([&] { return grabbed(Player.CurrentFrame(&pts)) > 0.95; })) << "at " << pts;
  EXPECT_EQ(pts, 1240000);
  Player.Seek(0, true, 600000);
  Player.Resume();
  EXPECT_TRUE(WaitFor([&] { return Player.CurrentPTS() >= 1500000; }));
  Player.Pause();
  TBitmap* frame = Player.CurrentFrame(&pts);
  ASSERT_EQ(frame->Width(), 320);
  ASSERT_GT(pts, 500000);
  ASSERT_LT(pts, 2000000);
  EXPECT_GT(grabbed(frame), 0.95) << "at " << pts;
  EXPECT_GT(shown(), 0.95);
  Player.Resume();
  EXPECT_TRUE(WaitFor([&] { return CountOf(psEnd) == 1; }, 10s));
  frame = Player.CurrentFrame(&pts);
  EXPECT_GT(pts, 2500000);
  EXPECT_LT(grabbed(frame), 0.05) << "at " << pts;
  EXPECT_LT(shown(), 0.05);
  Player.Stop(true);
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
