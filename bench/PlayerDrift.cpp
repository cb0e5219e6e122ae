// How far the preview player's picture clock strays from its sound clock over a minute of playback,
// under SDL's dummy audio driver (whose callback runs a few per cent fast, so the sound clock, counted
// from the bytes the device took, runs ahead of the wall clock and the pictures must follow it); and
// the CPU the player uses while paused against while playing, as a ratio measured in one run.
// Usage: kavro-bench-player-drift WORK_FOLDER
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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

constexpr double ClipSeconds = 60;

// The player with its two clocks in view.
class TClockedPlayer : public TFFPlayer {
public:
  // Seconds from the file's start; False with no file open.
  bool Clocks(double& audio, double& video) {
    std::lock_guard lock(FContextLock); // the play thread may be tearing the file down
    TPlayContext* context = FContext;
    if (!context || !context->AudioStream || !context->VideoStream) return false;
    audio = AudioClockNow(context) - context->StartTime / 1e6;
    video = VideoClockNow(context) - context->StartTime / 1e6;
    return true;
  }
};

using kavro::bench::CpuSeconds;
using kavro::bench::WallNow;

// CPU seconds per wall second over the given time.
double CpuShare(std::chrono::milliseconds span) {
  const double cpu = CpuSeconds(), wall = WallNow();
  std::this_thread::sleep_for(span);
  return (CpuSeconds() - cpu) / (WallNow() - wall);
}

struct TSample {
  double Wall;
  double Audio;
  double Video;
};

// Mean of video - audio over the samples whose sound clock lies in [from, to).
double MeanDifference(const std::vector<TSample>& samples, double from, double to) {
  double sum = 0;
  int count = 0;
  for (const TSample& s : samples)
    if (s.Audio >= from && s.Audio < to) {
      sum += s.Video - s.Audio;
      ++count;
    }
  return count ? sum / count : NAN;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER\n", argv[0]);
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_RENDER_DRIVER", "software", 1);
  const std::string clip = std::string(argv[1]) + "/drift-60s.mp4";
  struct stat info;
  if (stat(clip.c_str(), &info) != 0) {
    av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are of no interest
    fixtures::TFixtureWriter writer(clip);
    writer.AddVideo({"libx264", 320, 240, {25, 1}, 500000, {1, 1}, "preset=ultrafast"});
    writer.AddAudio({"aac", 44100, 2, 128000});
    std::string error;
    if (!writer.Write(ClipSeconds, error)) {
      std::fprintf(stderr, "cannot make %s: %s\n", clip.c_str(), error.c_str());
      return 1;
    }
  }

  TClockedPlayer player;
  if (!player.LoadLibraries(L"")) return 1;
  player.TriggerEventInMainThread = false;
  std::atomic<bool> ended{false};
  player.OnState = [&](TObject*, TPlayState state) { ended = ended || state == psEnd; };
  if (!player.Open(NarrowToWide(clip), nullptr, false)) {
    std::fprintf(stderr, "cannot play %s: %s\n", clip.c_str(), player.LastErrMsg().c_str());
    return 1;
  }
  // The clocks until the sound reaches the clip's end (the picture clock runs on past the last
  // picture).
  std::vector<TSample> samples;
  while (!ended) {
    double audio, video;
    if (player.Clocks(audio, video) && player.CurrentPTS() > 0 && audio < ClipSeconds - 0.5)
      samples.push_back({WallNow(), audio, video});
    std::this_thread::sleep_for(10ms);
  }
  player.Stop(true);
  if (samples.size() < 100) {
    std::fprintf(stderr, "too few clock samples\n");
    return 1;
  }
  const TSample& first = samples.front();
  const TSample& last = samples.back();
  double worst = 0;
  for (const TSample& s : samples)
    worst = std::max(worst, std::fabs(s.Video - s.Audio));
  const double wall = last.Wall - first.Wall;
  std::printf("sound clock %.3f s -> %.3f s in %.3f s of wall time: the device runs %.2f %% fast\n",
              first.Audio, last.Audio, wall, ((last.Audio - first.Audio) / wall - 1) * 100);
  std::printf("picture - sound clock, mean over a second: %+.1f ms at 1 s, %+.1f ms at 30 s, %+.1f ms at "
              "%.1f s; worst single reading %.1f ms\n",
              MeanDifference(samples, 1, 2) * 1000, MeanDifference(samples, 30, 31) * 1000,
              MeanDifference(samples, ClipSeconds - 1.5, ClipSeconds - 0.5) * 1000, ClipSeconds - 1.5,
              worst * 1000);

  // The CPU of the whole process while the same clip plays and while it is paused.
  if (!player.Open(NarrowToWide(clip), nullptr, false)) return 1;
  std::this_thread::sleep_for(2s);
  const double playing = CpuShare(5s);
  player.Pause();
  std::this_thread::sleep_for(500ms); // the last picture goes
  const double paused = CpuShare(5s);
  player.Stop(true);
  std::printf("CPU while playing %.1f %%, while paused %.2f %%: ratio %.3f\n", playing * 100, paused * 100,
              paused / playing);
  return 0;
}
