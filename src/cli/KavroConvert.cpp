// kavro-convert: the converter's engine from a terminal.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "AVProbe.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

void PrintUsage(FILE* to) {
  std::fputs("Usage: kavro-convert [--loglevel LEVEL] --info FILE...\n"
             "       kavro-convert --version | --help\n"
             "  --info FILE...     describe each file's container and streams\n"
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

// Describes each file; a file that cannot be opened is reported on stderr.
int PrintInfo(TFFmpegVCL& component, const std::vector<std::string>& files) {
  int result = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    TAVProbe& probe = component.Probe();
    if (!probe.LoadFile(NarrowToWide(files[i]))) {
      std::fprintf(stderr, "%s\n", probe.LastErrMsg().c_str());
      result = 1;
      continue;
    }
    std::printf("%s%s\n", i ? "\n" : "", probe.GetInfoText().c_str());
    probe.CloseFile();
  }
  return result;
}

} // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  TFFLogger& logger = TFFLogger::Instance();
  // The tool reports what went wrong itself; the log shows only when asked for with --loglevel.
  logger.SetLogLevel(llQuiet);
  logger.SetOnLog([](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    if (level <= TFFLogger::Instance().LogLevel()) std::fprintf(stderr, "%s\n", line.c_str());
  });
  TFFmpegVCL component;
  if (!component.LoadAVLib(L"")) {
    std::fprintf(stderr, "%s\n", component.LastErrMsg().c_str());
    return 1;
  }
  bool showVersion = false;
  bool info = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--version") {
      showVersion = true;
    } else if (arg == "--info") {
      info = true;
    } else if (arg == "--loglevel" && i + 1 < argc) {
      try {
        logger.SetLogLevelByName(argv[++i]);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
      }
    } else if (info && !arg.starts_with("--")) {
      files.push_back(arg);
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
  if (info) {
    if (files.empty()) {
      PrintUsage(stderr);
      return 2;
    }
    return PrintInfo(component, files);
  }
  PrintUsage(stdout);
  return 0;
}
