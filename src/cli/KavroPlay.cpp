// kavro-play: the preview player in a window of its own, from a terminal.
#include <SDL2/SDL.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FFmpegLogger.h"
#include "player/FFPlayer.h"

extern "C" {
#include <libavformat/avformat.h>
}
#include "platform/Event.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

std::atomic<bool> GInterrupted{false};

void OnInterrupt(int) {
  GInterrupted = true;
}

void PrintUsage(FILE* to) {
  std::fputs("Usage: kavro-play [options] FILE\n"
             "       kavro-play --snapshot OUT.bmp --at SECONDS FILE\n"
             "  --paused     open paused on the first picture (also -paused)\n"
             "  --seek S     go to this time once open\n"
             "  --mute       play without sound reaching the speakers\n"
             "  --snapshot F write the picture at --at SECONDS to F (24-bit BMP) and exit\n"
             "  -ss SECONDS  start at this time\n"
             "  -t SECONDS   play this long\n"
             "  -loop        play the chosen part again and again\n"
             "  -an, -vn     no sound, no pictures\n"
             "  -nodisp      no window at all\n"
             "  -vf FILTERS  video filters for the pictures\n"
             "  -aspect R    display aspect ratio (negative fills the window)\n"
             "  -volume N    0 to 128\n",
             to);
}

const char* StateName(TPlayState state) {
  static const char* const names[] = {"play", "pause", "resume", "step", "stop", "end"};
  return names[state];
}

bool NumberArgument(int& i, int argc, char** argv, double& value) {
  if (i + 1 >= argc) return false;
  char* end = nullptr;
  value = std::strtod(argv[++i], &end);
  return end && *end == '\0';
}

} // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // SDL is the program's own: shut it down after the player, whatever way main ends.
  struct TSdlQuit {
    ~TSdlQuit() { SDL_Quit(); }
  } sdlQuit;
  TFFPlayer player;
  player.TriggerEventInMainThread = false;
  std::string file;
  std::string snapshot;
  int64_t seekTo = -1;
  bool paused = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    double value = 0;
    if (argument == "-h" || argument == "--help") {
      PrintUsage(stdout);
      return 0;
    } else if (argument == "-paused" || argument == "--paused") {
      paused = true;
    } else if (argument == "--mute") {
      player.Mute = true;
    } else if (argument == "--snapshot" && i + 1 < argc) {
      snapshot = argv[++i];
    } else if ((argument == "--seek" || argument == "--at") && NumberArgument(i, argc, argv, value)) {
      seekTo = static_cast<int64_t>(value * 1000000);
    } else if (argument == "-an") {
      player.DisableAudio = true;
    } else if (argument == "-vn") {
      player.DisableVideo = true;
    } else if (argument == "-nodisp") {
      player.DisableDisplay = true;
    } else if (argument == "-loop") {
      player.EndAction = 2;
    } else if (argument == "-vf" && i + 1 < argc) {
      player.VideoFilters = argv[++i];
    } else if ((argument == "-ss" || argument == "-t" || argument == "-aspect" || argument == "-volume") &&
               NumberArgument(i, argc, argv, value)) {
      if (argument == "-ss") player.StartTime = static_cast<int64_t>(value * 1000000);
      if (argument == "-t") player.PlayDuration = static_cast<int64_t>(value * 1000000);
      if (argument == "-aspect") player.SetAspectRatio(static_cast<float>(value));
      if (argument == "-volume") player.AudioVolume = static_cast<int>(value);
    } else if (!argument.empty() && argument[0] != '-' && file.empty()) {
      file = argument;
    } else {
      std::fprintf(stderr, "kavro-play: unknown or incomplete option '%s'\n", argument.c_str());
      PrintUsage(stderr);
      return ExitUsage;
    }
  }
  if (file.empty() || (!snapshot.empty() && seekTo < 0)) {
    PrintUsage(stderr);
    return ExitUsage;
  }
  if (!snapshot.empty()) {
    paused = true;
    player.Mute = true;
  }
  if (!player.LoadLibraries(L"")) {
    std::fprintf(stderr, "kavro-play: %s\n", player.LastErrMsg().c_str());
    return ExitFailed;
  }
  // What the player or the libraries refuse while playing (a filter, a damaged stream) is told,
  // not only seen as a picture that never comes; below errors the position line stays alone.
  TFFLogger::Instance().SetOnLog([](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    if (level <= llError) std::fprintf(stderr, "\nkavro-play: %s\n", line.c_str());
  });
  TEvent finished(true, false);
  player.OnState = [&](TObject*, TPlayState state) {
    std::printf("\n%s\n", StateName(state));
    std::fflush(stdout);
    if (state == psStop || (state == psEnd && player.EndAction != 2)) finished.SetEvent();
  };
  player.OnPosition = [](TObject*, int64_t position) {
    std::printf("\r%8.2f s", position / 1000000.0);
    std::fflush(stdout);
  };
  player.OnFileOpen = [](TObject*, int64_t duration, int width, int height, int&, int&) {
    std::printf("%0.2f s", duration / 1000000.0);
    if (width > 0) std::printf(", %dx%d", width, height);
    std::printf("\n");
  };
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  if (!player.Open(NarrowToWide(file), nullptr, paused)) {
    std::fprintf(stderr, "kavro-play: %s\n", player.LastErrMsg().c_str());
    return ExitFailed;
  }
  if (seekTo >= 0) player.Seek(AVSEEK_FLAG_BACKWARD, true, seekTo);
  if (!snapshot.empty()) {
    int64_t pts = -1;
    TBitmap* picture = player.CurrentFrame(&pts);
    const bool saved = picture->Width() > 0 && pts != -1 && picture->SaveToFile(snapshot);
    player.Stop(true);
    if (!saved) {
      std::fprintf(stderr, "\nkavro-play: no picture to write to %s\n", snapshot.c_str());
      return ExitFailed;
    }
    std::printf("\n%s: %dx%d at %0.3f s\n", snapshot.c_str(), picture->Width(), picture->Height(),
                pts / 1000000.0);
    return 0;
  }
  while (!finished.WaitFor(100) && !GInterrupted) {
  }
  player.Stop(true);
  std::printf("\n");
  return 0;
}
