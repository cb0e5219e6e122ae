// kavro-convert: the converter's engine from a terminal.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

void PrintUsage(FILE* to) {
  std::fputs("Usage: kavro-convert [--loglevel LEVEL] --version | --help\n"
             "  --version          print the engine and media library versions\n"
             "  --loglevel LEVEL   quiet, panic, fatal, error, warning, info, verbose, debug or a number\n",
             to);
}

void PrintVersions(TFFmpegVCL& component) {
  std::printf("kavro-convert, task component %s\n", component.Version().c_str());
  for (int i = 0; i < LibraryCount; ++i) {
    const auto index = static_cast<TLibraryIndex>(i);
    std::printf("  %-10s %s%s\n", LibraryInfo(index).Name,
                WideToNarrow(TFFmpegLoader::Instance().LibraryFileName(index)).c_str(),
                TFFmpegLoader::Instance().LibLoaded(index) ? "" : " (not loaded)");
  }
}

} // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  TFFLogger& logger = TFFLogger::Instance();
  logger.SetOnLog([](TObject*, uint32_t, TLogLevel, const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
  });
  TFFmpegVCL component;
  if (!component.LoadAVLib(L"")) {
    std::fprintf(stderr, "%s\n", component.LastErrMsg().c_str());
    return 1;
  }
  bool showVersion = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--version") {
      showVersion = true;
    } else if (arg == "--loglevel" && i + 1 < argc) {
      try {
        logger.SetLogLevelByName(argv[++i]);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
      }
    } else {
      std::fprintf(stderr, "Unknown argument: %s\n", arg.c_str());
      PrintUsage(stderr);
      return 2;
    }
  }
  if (showVersion) {
    PrintVersions(component);
    return 0;
  }
  PrintUsage(stdout);
  return 0;
}
