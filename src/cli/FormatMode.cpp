#include "FormatMode.h"

#include <unistd.h>

#include <optional>

#include "ConsoleDialogs.h"
#include "ConsoleProgress.h"
#include "ConversionRun.h"
#include "FileMessage.h"
#include "FormatCatalogue.h"
#include "FFmpegLogger.h"
#include "GlobalUnit.h"
#include "JobList.h"
#include "Interrupts.h"
#include "JobListRows.h"
#include "OptionBuilder.h"
#include "QtDrawTools.h"
#include "platform/Event.h"
#include "platform/MainThread.h"
#include "platform/TextFile.h"
#include "platform/WideString.h"

namespace kavro {
namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

// A row's failure on stderr, named by its source.
void TellRowFailure(const std::string& source, const std::string& message) {
  std::fprintf(stderr, "%s\n", FileMessage(source, message).c_str());
}

TEdition EditionOf(const TFormatRequest& request) {
  return request.Edition == "general" ? TEdition::General : TEdition::Flv;
}

// The progress window of the command line: the engine mode's progress line, and the end of the run.
class TConsoleRunView : public TRunView {
public:
  TConsoleRunView(TConsoleProgress& progress, TEvent& over) : FProgress(progress), FOver(over) {}
  void ShowProgress(const TRunProgress&, const TProgressInfo& info) override { FProgress.Update(info); }
  void ShowRowError(int, const std::string&) override {}
  void ShowButtons(const TRunButtons&) override {}
  void ShowFileDone(int) override {}
  void RunOver() override { FOver.SetEvent(); }

private:
  TConsoleProgress& FProgress;
  TEvent& FOver;
};

// A terminal neither opens folders nor powers the machine off.
class TNoDesktop : public TDesktop {
public:
  void OpenFolder(const std::string&) override {}
  void PowerOff() override {}
};

// Gives every row the edits of the command line, placed on its own pictures' size; the drawing tools
// are made only when there is something to draw. False when the watermark image cannot be read.
bool ApplyEditsToRows(TFFmpegVCL& component, const TEditRequest& request, TJobList& list,
                      std::optional<TQtDrawTools>& drawTools) {
  if (HasSomethingToDraw(request)) drawTools.emplace();
  if (drawTools && !request.MarkImage.empty()) {
    std::string reason;
    if (!drawTools->Tools().Images->LoadImage(request.MarkImage, reason)) {
      std::fprintf(stderr, "Cannot read the watermark image %s: %s\n", request.MarkImage.c_str(),
                   reason.c_str());
      return false;
    }
  }
  const bool cuts = request.TrimStart > 0 || request.TrimLength > 0 ||
                    request.CropTop + request.CropLeft + request.CropBottom + request.CropRight > 0;
  if (!drawTools && !cuts) return true;
  TAVProbe& probe = component.Probe();
  for (int row = 0; row < list.Count(); ++row) {
    TlvFilesRecord& record = list.Row(row).Record;
    TSourceFacts facts;
    if (probe.LoadFile(NarrowToWide(record.SourceFile))) facts = SourceFactsOf(probe);
    probe.CloseFile();
    ApplyEdits(request, facts.Width, facts.Height, record);
  }
  return true;
}

} // namespace

int ListFormats(const TFormatRequest& request, FILE* output) {
  std::string category;
  for (const TFormatEntry& entry : CatalogueFormats(EditionOf(request))) {
    if (entry.Category != category) {
      category = entry.Category;
      std::fprintf(output, "%s\n", category.c_str());
    }
    std::fprintf(output, "  %4d  %s\n", entry.Code, entry.Name.c_str());
  }
  return 0;
}

int ConvertToFormat(TFFmpegVCL& component, const TFormatRequest& request,
                    const std::atomic<bool>& interrupted) {
  const TEdition edition = EditionOf(request);
  const auto format = FindFormat(edition, request.Format);
  if (!format) {
    std::fprintf(stderr, "No format \"%s\" in the catalogue; see --list-formats\n", request.Format.c_str());
    return ExitUsage;
  }
  const TGlobalObject global(edition,
                             request.SettingsFile.empty() ? TGlobalObject::DefaultSettingsFile(edition)
                                                          : request.SettingsFile,
                             TGlobalObject::DefaultFormatFile(edition));
  if (access(global.FormatFile().c_str(), R_OK) != 0) {
    std::fprintf(stderr, "Cannot read the format file %s\n", global.FormatFile().c_str());
    return ExitFailed;
  }
  // Settings and formats are read again and again: a device, a pipe or a huge file is refused
  // before the first read. A settings file that does not exist yet is made; one that cannot be
  // (a missing folder, a folder in its place) is kept in memory for this run.
  for (const std::string& file : {global.SettingsFile(), global.FormatFile()}) {
    std::string text;
    const TTextFileResult read = ReadTextFile(file, text);
    const bool settingsFolder = read == TTextFileResult::Folder && file == global.SettingsFile();
    if (read != TTextFileResult::Read && read != TTextFileResult::Missing && !settingsFolder) {
      std::fprintf(stderr, "%s\n", TextFileError(file, read).c_str());
      return ExitFailed;
    }
  }
  TMainThread::InstallPlainLoop();
  TAppSettings settings(global.SettingsFile());
  const TIniFile formats(global.FormatFile());
  TConsoleProgress progress(stderr, isatty(STDERR_FILENO), static_cast<int>(request.Files.size()));
  TConsoleDialogs dialogs(stderr, request.AnswerYes);
  dialogs.BeforeOutput = [&] { progress.Break(); };
  TFFLogger::Instance().SetOnLog([&](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    if (level > TFFLogger::Instance().LogLevel()) return;
    progress.Break();
    std::fprintf(stderr, "%s\n", line.c_str());
  });

  TJobList list(settings, formats, dialogs, ComponentDurationProbe(component));
  list.AddFiles(request.Files);
  int result = 0;
  for (const std::string& file : request.Files)
    if (list.IndexOf(file) < 0) {
      std::fprintf(stderr, "%s: skipped, not a media file that can be opened\n", file.c_str());
      result = ExitFailed;
    }
  if (list.Empty()) return ExitFailed;
  std::optional<TQtDrawTools> drawTools;
  if (!ApplyEditsToRows(component, request.Edits, list, drawTools)) return ExitFailed;

  std::fprintf(stderr, "Converting to %d %s\n", format->Code, format->Name.c_str());
  TEvent over;
  TConsoleRunView view(progress, over);
  TNoDesktop desktop;
  TJobListRows rows(list);
  TConversionRun run(component, settings, formats, rows, view, desktop, dialogs);
  run.FormatCode = format->Code;
  if (drawTools) run.Drawing = &drawTools->Tools();
  if (!request.OutputFolder.empty()) run.OutputFolder = request.OutputFolder;
  {
    const TWatchedStage watched;
    if (!run.Start()) {
      for (const auto& [row, message] : run.Failures())
        TellRowFailure(list.Row(row).Record.SourceFile, message);
      return ExitFailed;
    }
    bool stopping = false;
    while (!TMainThread::WaitServing(over, 100))
      if (interrupted && !stopping) {
        stopping = true;
        component.Stop(false);
      }
  }
  progress.Break();
  // A write of the run that the settings file could not take and nobody has said yet.
  if (const auto failure = settings.Ini().NewStoreFailure())
    std::fprintf(stderr, "%s\n", SettingsNotStoredText(*failure).c_str());
  for (const auto& [row, message] : run.Failures())
    TellRowFailure(list.Row(row).Record.SourceFile, message);
  for (size_t task = 0; task < run.StartTimeMap().size(); ++task) {
    const TJobRow& row = list.Row(run.StartTimeMap()[task]);
    if (row.Progress == "100%")
      std::printf("%s -> %s\n", row.Record.SourceFile.c_str(), run.OutputPaths()[task].c_str());
    else
      result = ExitFailed;
  }
  return result;
}

} // namespace kavro
