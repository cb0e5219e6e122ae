// What a row's drawing costs a conversion: a generated 720p clip with sound converted to H.264
// (libx264, preset fast, the same thread count throughout) plainly, with an empty hook (the picture's
// round trip through RGB alone), with every colour effect, and with text, image and every effect,
// drawn the way the conversion run draws a row. Reports the wall and CPU time of each, as medians,
// and their ratios to the plain conversion, all measured in one run.
// Usage: kavro-bench-watermark WORK_FOLDER [ROUNDS] [THREADS]
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "FFmpegVCL.h"
#include "JobRecord.h"
#include "QtDrawTools.h"
#include "RowDrawing.h"
#include "fixtures/FixtureWriter.h"
#include "platform/WideString.h"

extern "C" {
#include <libavutil/log.h>
}

using namespace kavro;
using kavro::bench::CpuSeconds;
using kavro::bench::WallNow;

namespace {

constexpr double ClipSeconds = 8;

struct TCost {
  double Wall = -1;
  double Cpu = -1;
  double Drawing = 0; // CPU seconds of the worker thread in the hook
  int Pictures = 0;
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

// Converts in this thread, drawing with `drawing` when it is given and hooking when `hook` is set;
// a negative cost on failure.
TCost Convert(const std::string& input, const std::string& output, const std::string& options, bool hook,
              TRowDrawing* drawing) {
  TFFmpegVCL component;
  if (!component.LoadAVLib(L"")) return {};
  bool finished = false;
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) finished = info.Finished;
  };
  TCost cost;
  component.OnCustomHook = [drawing, &cost](TObject*, THookInfo* info) {
    ++cost.Pictures;
    if (!drawing || !info->Bitmap) return;
    const double start = ThreadCpuSeconds();
    info->Bitmap->LockCanvas();
    drawing->Draw(*info->Bitmap);
    info->Bitmap->UnlockCanvas();
    cost.Drawing += ThreadCpuSeconds() - start;
  };
  if (component.AddTask(NarrowToWide(input)) != 0) return {};
  TOutputOptions record;
  record.ExtOptions = options;
  record.HookEnabled = hook;
  if (!component.SetOutputFile(0, NarrowToWide(output), &record)) return {};
  const double cpu = CpuSeconds(), wall = WallNow();
  component.StartTask(0);
  if (!finished) return {};
  cost.Wall = WallNow() - wall;
  cost.Cpu = CpuSeconds() - cpu;
  return cost;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// A colourful picture for the image watermark, written as a 24-bit bitmap file.
bool WriteWatermarkImage(const std::string& path) {
  TBitmap image;
  image.SetSize(320, 120);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      uint8_t* pixel = image.ScanLine(y) + x * 3;
      pixel[0] = static_cast<uint8_t>(x * 255 / image.Width());
      pixel[1] = static_cast<uint8_t>(y * 255 / image.Height());
      pixel[2] = static_cast<uint8_t>(255 - (x + y) % 256);
    }
  return image.SaveToFile(path);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s WORK_FOLDER [ROUNDS] [THREADS]\n", argv[0]);
    return 2;
  }
  const std::string work = std::string(argv[1]) + "/";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int threads = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
  av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are of no interest

  const std::string clip = work + "watermark-720p.mp4";
  if (!Exists(clip)) {
    fixtures::TFixtureWriter writer(clip);
    writer.AddVideo({"libx264", 1280, 720, {25, 1}, 4000000, {1, 1}, "preset=veryfast"});
    writer.AddAudio({"aac", 44100, 2, 128000});
    std::string error;
    if (!writer.Write(ClipSeconds, error)) {
      std::fprintf(stderr, "cannot make %s: %s\n", clip.c_str(), error.c_str());
      return 1;
    }
  }
  const std::string imagePath = work + "watermark.bmp";
  if (!WriteWatermarkImage(imagePath)) {
    std::fprintf(stderr, "cannot write %s\n", imagePath.c_str());
    return 1;
  }

  TQtDrawTools draw;
  TlvFilesRecord effectsRow;
  effectsRow.Brightness = 300;
  effectsRow.Contrast = 20;
  effectsRow.Saturation = 320;
  effectsRow.Exposure = 40;
  TlvFilesRecord fullRow = effectsRow;
  fullRow.MarkText = "Kavro Video Converter";
  fullRow.MarkFont.Name = "DejaVu Sans";
  fullRow.MarkFont.Size = 28;
  fullRow.MarkFont.Color = 0x00FFFF; // yellow
  fullRow.MarkFont.Bold = true;
  fullRow.TextX = 40;
  fullRow.TextY = 40;
  fullRow.MarkImage = imagePath;
  fullRow.ImageX = 900;
  fullRow.ImageY = 560;
  fullRow.ImageAlpha = 168;
  fullRow.TransparentStyle = 1;
  fullRow.ProcessText = true;
  fullRow.ProcessImage = true;
  std::string error;
  const std::unique_ptr<TRowDrawing> effects = TRowDrawing::Make(effectsRow, draw.Tools(), error);
  const std::unique_ptr<TRowDrawing> full = TRowDrawing::Make(fullRow, draw.Tools(), error);
  if (!effects || !full) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  const std::string options =
      "vcodec=libx264\npreset=fast\nthreads=" + std::to_string(threads) + "\nacodec=aac\nab=128000\ny=1";
  struct TWay {
    const char* Name;
    const char* File;
    bool Hook;
    TRowDrawing* Drawing;
    std::vector<double> Wall, Cpu, DrawingTime;
  };
  std::vector<TWay> ways = {{"plain", "plain", false, nullptr, {}, {}, {}},
                            {"empty hook", "empty-hook", true, nullptr, {}, {}, {}},
                            {"effects", "effects", true, effects.get(), {}, {}, {}},
                            {"text+image+effects", "everything", true, full.get(), {}, {}, {}}};
  // The ways take turns, so a change of the machine's load falls on all of them alike.
  for (int round = 0; round < rounds; ++round)
    for (TWay& way : ways) {
      const TCost cost =
          Convert(clip, work + "watermark-" + way.File + ".mp4", options, way.Hook, way.Drawing);
      if (cost.Wall < 0) {
        std::fprintf(stderr, "the %s conversion failed\n", way.Name);
        return 1;
      }
      way.Wall.push_back(cost.Wall);
      way.Cpu.push_back(cost.Cpu);
      way.DrawingTime.push_back(cost.Pictures ? cost.Drawing / cost.Pictures : 0);
    }
  const double plainWall = Median(ways[0].Wall), plainCpu = Median(ways[0].Cpu);
  std::printf("1280x720, %.0f s, libx264 preset fast, threads=%d, median of %d\n", ClipSeconds, threads,
              rounds);
  for (const TWay& way : ways) {
    // The encoder's work follows the pictures it gets: the output's size shows how much they changed.
    struct stat output;
    const std::string path = work + "watermark-" + way.File + ".mp4";
    const long kilobytes = stat(path.c_str(), &output) == 0 ? static_cast<long>(output.st_size / 1024) : -1;
    std::printf(
        "%-19s wall %6.3f s (%.2fx)  CPU %6.3f s (%.2fx)  drawing %5.2f ms a picture  output %ld kB\n",
        way.Name, Median(way.Wall), Median(way.Wall) / plainWall, Median(way.Cpu), Median(way.Cpu) / plainCpu,
        Median(way.DrawingTime) * 1000, kilobytes);
  }
  return 0;
}
