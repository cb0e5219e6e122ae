// The preview player under load, on a 1280x720 clip with sound: the CPU it uses while playing, and
// with a hook that costs more than a picture's duration, how many pictures reach the screen and how
// far the last one shown trails the sound. Figures of one run, on whatever else the machine is doing.
// Usage: kavro-bench-player-load WORK_FOLDER
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "BenchClock.h"
#include "fixtures/FixtureWriter.h"
#include "platform/WideString.h"
#include "player/FFPlayer.h"

extern "C" {
#include <libavutil/log.h>
}

using namespace kavro;
using namespace std::chrono_literals;

namespace {

constexpr double ClipSeconds = 10;

using kavro::bench::CpuSeconds;
using kavro::bench::WallNow;

// Counts the pictures shown and keeps the time of the last one.
class TCountingSurface : public TDisplaySurface {
public:
  void Size(int& width, int& height) override {
    width = 640;
    height = 360;
  }
  void Present(const AVFrame*, int, int, int, int) override { ++Presents; }
  void Clear() override {}
  std::atomic<int> Presents{0};
};

// The player with its clocks in view.
class TClockedPlayer : public TFFPlayer {
public:
  // Sound clock minus picture clock in seconds; 0 with no file open.
  double Lag() {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    TPlayContext* context = FContext;
    if (!context || !context->AudioStream || !context->VideoStream) return 0;
    return AudioClockNow(context) - context->VideoCurrentPts;
  }
};

struct TRun {
  int Pictures = 0;
  double Cpu = 0; // CPU seconds per wall second
  double LagAtHalf = 0;
  double Wall = 0;
};

TRun Play(const std::string& clip, std::chrono::milliseconds hookCost) {
  TClockedPlayer player;
  TCountingSurface surface;
  TRun run;
  if (!player.LoadLibraries(L"")) return run;
  player.TriggerEventInMainThread = false;
  std::atomic<bool> ended{false};
  player.OnState = [&](TObject*, TPlayState state) { ended = ended || state == psEnd; };
  if (hookCost.count() > 0) {
    player.Hook = true;
    player.OnHook = [hookCost](TObject*, TBitmap* bitmap, int64_t) {
      // Work on the picture for the given time, as a drawing hook would.
      const auto until = std::chrono::steady_clock::now() + hookCost;
      for (int y = 0; std::chrono::steady_clock::now() < until; y = (y + 1) % bitmap->Height())
        bitmap->ScanLine(y)[0] ^= 1;
    };
  }
  const double cpu = CpuSeconds(), wall = WallNow();
  if (!player.Open(NarrowToWide(clip), &surface, false)) {
    std::fprintf(stderr, "cannot play %s: %s\n", clip.c_str(), player.LastErrMsg().c_str());
    return run;
  }
  bool halfTaken = false;
  while (!ended && WallNow() - wall < 4 * ClipSeconds) {
    if (!halfTaken && WallNow() - wall >= ClipSeconds / 2) {
      run.LagAtHalf = player.Lag();
      halfTaken = true;
    }
    std::this_thread::sleep_for(20ms);
  }
  run.Wall = WallNow() - wall;
  run.Cpu = (CpuSeconds() - cpu) / run.Wall;
  run.Pictures = surface.Presents;
  player.Stop(true);
  return run;
}

// Writes a clip of the benchmark once; False when it cannot be made.
bool MakeClip(const std::string& clip, int width, int height, int rate, int64_t bitRate) {
  struct stat info;
  if (stat(clip.c_str(), &info) == 0) return true;
  av_log_set_level(AV_LOG_ERROR);
  fixtures::TFixtureWriter writer(clip);
  writer.AddVideo({"libx264", width, height, {rate, 1}, bitRate, {1, 1}, "preset=ultrafast"});
  writer.AddAudio({"aac", 44100, 2, 128000});
  std::string error;
  if (writer.Write(ClipSeconds, error)) return true;
  std::fprintf(stderr, "cannot make %s: %s\n", clip.c_str(), error.c_str());
  return false;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER\n", argv[0]);
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string clip = std::string(argv[1]) + "/load-720p.mp4";
  if (!MakeClip(clip, 1280, 720, 25, 4000000)) return 1;
  const TRun plain = Play(clip, 0ms);
  std::printf("1280x720 %.0f s, no hook: %d pictures shown in %.1f s, CPU %.1f %% of one core, picture "
              "%.0f ms behind the sound half way\n",
              ClipSeconds, plain.Pictures, plain.Wall, plain.Cpu * 100, plain.LagAtHalf * 1000);
  const TRun costly = Play(clip, 60ms);
  std::printf("1280x720 %.0f s, hook of 60 ms a picture: %d pictures shown in %.1f s, picture %.0f ms behind "
              "the sound half way\n",
              ClipSeconds, costly.Pictures, costly.Wall, costly.LagAtHalf * 1000);
  // Heavy HD: 1080p at 60 pictures a second and about 130 Mbit/s, which needs the decoder's threads.
  const std::string hd = std::string(argv[1]) + "/load-1080p60.mp4";
  if (!MakeClip(hd, 1920, 1080, 60, 130000000)) return 1;
  const TRun heavy = Play(hd, 0ms);
  std::printf(
      "1920x1080 60 fps %.0f s: %d of %.0f pictures shown in %.1f s, CPU %.1f %% of one core, picture "
      "%.0f ms behind the sound half way\n",
      ClipSeconds, heavy.Pictures, ClipSeconds * 60, heavy.Wall, heavy.Cpu * 100, heavy.LagAtHalf * 1000);
  return 0;
}
