// kavro-convert: the converter's engine from a terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "AVProbe.h"
#include "CommandLine.h"
#include "ConsoleProgress.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "FileMessage.h"
#include "FormatMode.h"
#include "Interrupts.h"
#include "OptionText.h"
#include "platform/Convert.h"
#include "platform/Event.h"
#include "platform/FileIdentity.h"
#include "platform/MainThread.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

void PrintUsage(FILE* to) {
  std::fputs(
      "Usage: kavro-convert [input options] -i INPUT [[input options] -i INPUT ...]\n"
      "                     [output options] OUTPUT [[output options] OUTPUT ...] [-- next conversion ...]\n"
      "       kavro-convert --format CODE|NAME [--edition flv|general] [--settings FILE] [--out DIR]\n"
      "                     [--yes|--no] [edits] FILE...\n"
      "       kavro-convert --list-formats [--edition flv|general]\n"
      "       kavro-convert --info FILE...\n"
      "       kavro-convert --version | -h\n"
      "Options are the engine's option names with a leading '-' (for example -vcodec libx264 -s 640x480\n"
      "-ab 128000 -t 30); flags and Booleans (-an, -vn, -y, -shortest ...) take no argument.\n"
      "  -y          overwrite output files that exist\n"
      "  -join       join every input into the next output\n"
      "  -j N        run N conversions at once\n"
      "  -preview    show the converted pictures in a small window\n"
      "  -loglevel L quiet, panic, fatal, error, warning, info, verbose, debug or a number\n"
      "  --info      describe each file's container and streams\n"
      "  --format    convert each file to a format of the catalogue, as the window would, with the\n"
      "              user's settings; --yes or --no answers the program's questions (default yes)\n",
      to);
  std::fputs(EditUsage, to);
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
      result = ExitFailed;
      continue;
    }
    std::printf("%s%s\n", i ? "\n" : "", probe.GetInfoText().c_str());
    probe.CloseFile();
  }
  return result;
}

// A disc target goes into the record, so that it comes first and the codec and size options written
// after it on the command line refine it instead of being replaced by it. Film and DV targets stay
// in the option text.
bool TargetRecord(const std::string& target, TOutputOptions& output) {
  static const std::pair<const char*, int> Types[] = {{"vcd", 1}, {"svcd", 2}, {"dvd", 3}};
  const auto dash = target.find('-');
  const std::string norm = dash == std::string::npos ? "" : target.substr(0, dash);
  const std::string type = dash == std::string::npos ? target : target.substr(dash + 1);
  if (norm != "" && norm != "pal" && norm != "ntsc") return false;
  for (const auto& [name, value] : Types)
    if (type == name) {
      output.TargetType = value;
      output.TargetNorm = norm == "pal" ? 1 : norm == "ntsc" ? 2 : 0;
      return true;
    }
  return false;
}

// The record of an output. Some of its fields are always applied after the option text, so the
// options they stand for go into the record instead of the text. False with the reason on stderr:
// a number that is no number is the user's mistake.
bool OutputRecord(const TCommandFile& file, TOutputOptions& output) {
  output.Join = file.Join;
  try {
    for (const TOptionLine& line : ParseOptionText(file.Options)) {
      if (line.Name == "async")
        output.AudioSync = StrToInt(line.Value);
      else if (line.Name == "vsync")
        output.VideoSync = StrToInt(line.Value);
      else if (line.Name == "alang")
        output.AudioLanguage = line.Value;
      else if (line.Name == "vlang")
        output.VideoLanguage = line.Value;
      else if (line.Name == "slang")
        output.SubtitleLanguage = line.Value;
      else if (line.Name == "isync")
        output.InputSync = line.Value != "0";
      else if (line.Name == "target" && TargetRecord(line.Value, output))
        continue;
      else
        output.ExtOptions += line.Name + "=" + line.Value + "\n";
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", file.FileName.c_str(), e.what());
    return false;
  }
  return true;
}

// Two outputs of one command that are one file would write over each other, and a conversion that
// reads what an earlier one writes would read it before it is made; false with the reason on stderr.
bool OutputsStandApart(const TCommandLine& commandLine) {
  std::vector<const TCommandFile*> outputs;
  for (const TConversion& conversion : commandLine.Conversions) {
    for (const TCommandFile& input : conversion.Inputs)
      for (const TCommandFile* output : outputs)
        if (SameFile(input.FileName, output->FileName)) {
          std::fprintf(stderr,
                       "Input file '%s' is the output of an earlier conversion of this command; convert it "
                       "in a command of its own\n",
                       input.FileName.c_str());
          return false;
        }
    for (const TCommandFile& output : conversion.Outputs) {
      for (const TCommandFile* earlier : outputs)
        if (SameFile(output.FileName, earlier->FileName)) {
          std::fprintf(stderr, "Output file '%s' is given more than once\n", output.FileName.c_str());
          return false;
        }
      outputs.push_back(&output);
    }
  }
  return true;
}

// An output that cannot be written where it is named; false with the reason on stderr.
bool OutputPlaceUsable(const TCommandFile& output, bool overwrite) {
  const std::string& name = output.FileName;
  struct stat info;
  if (stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "Output file '%s' is a folder\n", name.c_str());
    return false;
  }
  if (!overwrite && access(name.c_str(), F_OK) == 0) {
    std::fprintf(stderr, "File '%s' already exists. Use -y to overwrite.\n", name.c_str());
    return false;
  }
  return true;
}

// Adds every conversion as a task. 0, or the exit code with the reason on stderr: an option the
// engine refuses is a usage error. shown tells whether the log has shown an error line already.
int AddConversions(TFFmpegVCL& component, const TCommandLine& commandLine,
                   const std::function<bool(const std::string&)>& shown) {
  for (const TConversion& conversion : commandLine.Conversions)
    for (const TCommandFile& output : conversion.Outputs)
      if (!OutputPlaceUsable(output, commandLine.Overwrite)) return ExitFailed;
  if (!OutputsStandApart(commandLine)) return ExitFailed;
  // The engine's message names the file itself when a file failed; said once.
  const auto fail = [&](const std::string& fileName) {
    const std::string& message = component.LastErrMsg();
    if (!shown(message)) std::fprintf(stderr, "%s\n", FileMessage(fileName, message).c_str());
    return component.LastErrIsOption() ? ExitUsage : ExitFailed;
  };
  for (const TConversion& conversion : commandLine.Conversions) {
    TInputOptions input;
    input.ExtOptions = conversion.Inputs[0].Options;
    const int task = component.AddTask(NarrowToWide(conversion.Inputs[0].FileName), &input);
    if (task < 0) return fail(conversion.Inputs[0].FileName);
    for (size_t i = 1; i < conversion.Inputs.size(); ++i) {
      TInputOptions more;
      more.ExtOptions = conversion.Inputs[i].Options;
      if (!component.AddInput(task, NarrowToWide(conversion.Inputs[i].FileName), &more))
        return fail(conversion.Inputs[i].FileName);
    }
    for (const TCommandFile& file : conversion.Outputs) {
      TOutputOptions output;
      if (!OutputRecord(file, output)) return ExitUsage;
      if (!component.SetOutputFile(task, NarrowToWide(file.FileName), &output)) return fail(file.FileName);
    }
  }
  return 0;
}

int Convert(TFFmpegVCL& component, const TCommandLine& commandLine) {
  TMainThread::InstallPlainLoop();
  std::mutex failuresLock; // terminations and log lines arrive on their own threads
  std::vector<std::string> failures;
  std::set<std::string> shownErrors; // a failure the log already showed is not repeated
  std::unique_ptr<TConsoleProgress> progress;
  TFFLogger::Instance().SetOnLog([&](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    if (level > TFFLogger::Instance().LogLevel()) return;
    if (progress) progress->Break();
    std::fprintf(stderr, "%s\n", line.c_str());
    if (level > llError) return;
    std::lock_guard lock(failuresLock);
    shownErrors.insert(Trim(line));
  });
  const auto shown = [&](const std::string& message) {
    std::lock_guard lock(failuresLock);
    return shownErrors.count(Trim(message)) > 0;
  };
  // What this command names explicitly must be known and taken as given.
  component.StrictOptions = true;
  if (const int refused = AddConversions(component, commandLine, shown)) return refused;
  progress = std::make_unique<TConsoleProgress>(stderr, isatty(STDERR_FILENO), component.TasksCount());
  bool allFinished = true;
  TEvent done;
  component.OnProgress = [&](TObject*, TProgressInfo* info) { progress->Update(*info); };
  component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    std::lock_guard lock(failuresLock);
    if (info.TaskIndex < 0) {
      done.SetEvent();
      return;
    }
    if (info.Exception) failures.push_back(info.ExceptionMsg);
    if (!info.Finished) allFinished = false;
  };
  component.SetPreview(commandLine.Preview);
  {
    const TWatchedStage watched;
    component.StartTask(commandLine.Concurrency);
    bool stopping = false;
    while (!TMainThread::WaitServing(done, 100)) {
      if (InterruptFlag() && !stopping) {
        stopping = true;
        component.Stop(false);
      }
    }
  }
  progress->Break();
  std::lock_guard lock(failuresLock);
  for (const std::string& failure : failures)
    if (!shownErrors.count(Trim(failure))) std::fprintf(stderr, "%s\n", failure.c_str());
  if (InterruptFlag()) return ExitInterrupted;
  return failures.empty() && allFinished ? 0 : ExitFailed;
}

} // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  InstallInterruptHandlers();
  if (argc < 2) { // started without a task: say how to give one
    PrintUsage(stdout);
    return 0;
  }
  TCommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    PrintUsage(stderr);
    return ExitUsage;
  }
  if (commandLine.Mode == TCommandLine::cmHelp) {
    PrintUsage(stdout);
    return 0;
  }
  TFFLogger& logger = TFFLogger::Instance();
  // The tool reports what went wrong itself; the log shows warnings, or what -loglevel asks for.
  logger.SetLogLevel(commandLine.Mode == TCommandLine::cmInfo ? llQuiet : llWarning);
  logger.SetOnLog([](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    if (level <= TFFLogger::Instance().LogLevel()) std::fprintf(stderr, "%s\n", line.c_str());
  });
  TFFmpegVCL component;
  if (!component.LoadAVLib(L"")) {
    std::fprintf(stderr, "%s\n", component.LastErrMsg().c_str());
    return ExitFailed;
  }
  if (!commandLine.LogLevel.empty()) {
    try {
      logger.SetLogLevelByName(commandLine.LogLevel);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return ExitUsage;
    }
  }
  switch (commandLine.Mode) {
  case TCommandLine::cmVersion:
    PrintVersions(component);
    return 0;
  case TCommandLine::cmInfo:
    return PrintInfo(component, commandLine.InfoFiles);
  case TCommandLine::cmListFormats:
    return ListFormats(commandLine.FormatRequest, stdout);
  case TCommandLine::cmFormat: {
    const int result = ConvertToFormat(component, commandLine.FormatRequest, InterruptFlag());
    return InterruptFlag() ? ExitInterrupted : result;
  }
  default:
    return Convert(component, commandLine);
  }
}
