// Every format of both editions converts a short clip with picture and sound, with the shipped
// format files and a fresh settings file, exactly as a run from the window would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "AVProbe.h"
#include "AppTestSupport.h"
#include "RunTestViews.h"
#include "ConversionRun.h"
#include "FFmpegLoader.h"
#include "FFmpegVCL.h"
#include "FormatCatalogue.h"
#include "FormatProfile.h"
#include "GlobalUnit.h"
#include "JobList.h"
#include "JobListRows.h"
#include "media/FixtureMedia.h"
#include "platform/Event.h"
#include "platform/MainThread.h"
#include "fixtures/MediaReader.h"
#include "platform/WideString.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace kavro::test {
namespace {

// The demuxer that reads a file of each extension back.
std::string ContainerOf(const std::string& extension) {
  static const std::map<std::string, std::string> Containers = {{"mp4", "mov,mp4,m4a,3gp,3g2,mj2"},
                                                                {"m4a", "mov,mp4,m4a,3gp,3g2,mj2"},
                                                                {"mov", "mov,mp4,m4a,3gp,3g2,mj2"},
                                                                {"3gp", "mov,mp4,m4a,3gp,3g2,mj2"},
                                                                {"3g2", "mov,mp4,m4a,3gp,3g2,mj2"},
                                                                {"avi", "avi"},
                                                                {"flv", "flv"},
                                                                {"swf", "swf"},
                                                                {"wmv", "asf"},
                                                                {"wma", "asf"},
                                                                {"mpg", "mpeg"},
                                                                {"ts", "mpegts"},
                                                                {"mkv", "matroska,webm"},
                                                                {"dv", "dv"},
                                                                {"mp3", "mp3"},
                                                                {"aac", "aac"},
                                                                {"wav", "wav"},
                                                                {"ogg", "ogg"},
                                                                {"ac3", "ac3"}};
  const auto found = Containers.find(extension);
  return found == Containers.end() ? "" : found->second;
}

// The length of a file's sound, decoded, for containers that do not say how long they are (swf).
int64_t SoundDuration(const std::string& fileName) {
  fixtures::TMediaReader reader;
  std::string error;
  if (!reader.Open(fileName, error)) return -1;
  int sampleRate = 0, channels = 0;
  const auto samples = reader.ReadSound(reader.BestStream(AVMEDIA_TYPE_AUDIO), 60, sampleRate, channels);
  if (sampleRate <= 0 || channels <= 0) return -1;
  return static_cast<int64_t>(samples.size()) * 1000000 / (sampleRate * channels);
}

// Converts the clip to one format; empty when the result is what the format promises, else why not.
std::string ConvertOne(TEdition edition, const TFormatEntry& entry, const TScratchFolder& folder) {
  const std::string code = std::to_string(entry.Code);
  TAppSettings settings(folder.File("settings-" + code + ".ini"));
  const TIniFile formats(std::string(KAVRO_DATA_SOURCE) + "/" + EditionInfo(edition).FormatFileName);
  TScriptedDialogs dialogs;
  TFFmpegVCL component;
  TJobList list(settings, formats, dialogs, ComponentDurationProbe(component));
  if (list.AddFiles({Fixture("av.mp4")}) != 1) return "the clip was not added";
  TWaitingView view;
  TNoDesktop desktop;
  TJobListRows rows(list);
  TConversionRun run(component, settings, formats, rows, view, desktop, dialogs);
  run.FormatCode = entry.Code;
  run.OutputFolder = folder.File(code);
  if (!run.Start()) return "the run did not start: " + view.Errors;
  if (!TMainThread::WaitServing(view.Over, 120000)) return "the run did not end";
  if (list.Row(0).Progress != "100%") return "the task failed: " + view.Errors;
  if (!dialogs.Questions.empty()) return "the run asked: " + dialogs.Questions[0].Text;

  const TFormatProfile profile = ReadFormatProfile(formats, entry.Code);
  TAVProbe probe;
  const std::string output = run.OutputPaths()[0];
  if (!probe.LoadFile(NarrowToWide(output))) return "the output cannot be read: " + probe.LastErrMsg();
  std::string faults;
  if (probe.FormatName() != ContainerOf(profile.FileExt))
    faults += " container " + probe.FormatName() + " for ." + profile.FileExt + ";";
  const bool videoFormat = profile.List(TFormatList::VideoEncoder).Applies;
  if (videoFormat != (probe.VideoStreamCount() > 0))
    faults += " " + std::to_string(probe.VideoStreamCount()) + " video streams;";
  if (probe.AudioStreamCount() != 1)
    faults += " " + std::to_string(probe.AudioStreamCount()) + " audio streams;";
  TFileStreamInfo info;
  probe.GetFileInfo(info);
  if (info.Duration < 0) info.Duration = SoundDuration(output);
  if (std::abs(info.Duration - 3000000) > 500000)
    faults += " duration " + std::to_string(info.Duration) + " µs;";
  return faults;
}

void ConvertEdition(TEdition edition, const char* name) {
  ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
  TScratchFolder folder(std::string("catalogue-") + name);
  TMainThread::InstallPlainLoop();
  const auto entries = CatalogueFormats(edition);
  int converted = 0;
  for (const TFormatEntry& entry : entries) {
    const std::string fault = ConvertOne(edition, entry, folder);
    if (fault.empty())
      ++converted;
    else
      ADD_FAILURE() << entry.Code << " " << entry.Name << ":" << fault;
  }
  TMainThread::Uninstall();
  std::printf("%s edition: %d of %zu formats convert\n", name, converted, entries.size());
  EXPECT_EQ(converted, static_cast<int>(entries.size()));
}

TEST(CatalogueConversionsTest, EveryFormatOfTheFlvEditionConverts) {
  ConvertEdition(TEdition::Flv, "flv");
}

TEST(CatalogueConversionsTest, EveryFormatOfTheGeneralEditionConverts) {
  ConvertEdition(TEdition::General, "general");
}

} // namespace
} // namespace kavro::test
