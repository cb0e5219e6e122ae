// What a custom hook that draws nothing costs a conversion: the CPU time of the same conversion
// with and without the hook, as a ratio measured in one run, at 640x480 and 1280x720.
// Usage: kavro-bench-hook MEDIA_FOLDER WORK_FOLDER
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FFmpegVCL.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Converts in this thread; the CPU seconds it took, or -1 on failure.
double Convert(const std::string& input, const std::string& output, const std::string& options, bool hook) {
  TFFmpegVCL component;
  if (!component.LoadAVLib(L"")) return -1;
  bool finished = false;
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    if (info.TaskIndex == 0) finished = info.Finished;
  };
  component.OnCustomHook = [](TObject*, THookInfo*) {}; // draws nothing, keeps Update
  if (component.AddTask(NarrowToWide(input)) != 0) return -1;
  TOutputOptions record;
  record.ExtOptions = options;
  record.HookEnabled = hook;
  if (!component.SetOutputFile(0, NarrowToWide(output), &record)) return -1;
  const double start = CpuSeconds();
  component.StartTask(0);
  return finished ? CpuSeconds() - start : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s MEDIA_FOLDER WORK_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string media = argv[1];
  const std::string work = std::string(argv[2]) + "/";
  for (const char* size : {"640x480", "1280x720"}) {
    const std::string input = work + "input-" + size + ".avi";
    if (Convert(media + "/av.mp4", input, std::string("s=") + size + "\nvcodec=mpeg4\nqscale=2\nan=1",
                false) < 0) {
      std::fprintf(stderr, "cannot make %s\n", input.c_str());
      return 1;
    }
    std::vector<double> plain, hooked;
    for (int round = 0; round < 5; ++round) {
      plain.push_back(Convert(input, work + "plain.avi", "vcodec=mpeg4\nqscale=4\ny=1", false));
      hooked.push_back(Convert(input, work + "hooked.avi", "vcodec=mpeg4\nqscale=4\ny=1", true));
    }
    std::printf("%-9s without hook %.3f s, with an empty hook %.3f s of CPU: ratio %.2f\n", size,
                Median(plain), Median(hooked), Median(hooked) / Median(plain));
  }
  return 0;
}
