#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegVCL.h"
#include "platform/WideString.h"

namespace kavro::fuzz {
namespace {

struct TFolder {
  std::string Path;
  TFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavro-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    Path = pattern;
  }
  ~TFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
};

} // namespace

const std::string& TempFolder() {
  static TFolder folder;
  return folder.Path;
}

std::string WriteTempFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = TempFolder() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out.flush()) std::abort();
  return path;
}

void LoadMediaLibraries() {
  static const bool loaded = [] {
    TFFLogger::Instance().SetLogLevel(llQuiet);
    TFFLogger::Instance().SetTriggerEventInMainThread(false);
    return TFFmpegLoader::Instance().LoadLibs(EngineLibSet);
  }();
  if (!loaded) std::abort();
}

bool ConvertBriefly(const std::wstring& input, const std::string& extraOutputOptions) {
  LoadMediaLibraries();
  static TFFmpegVCL* const component = [] {
    auto* made = new TFFmpegVCL;
    if (!made->LoadAVLib(L"")) std::abort();
    made->TriggerEventInMainThread = false;
    return made;
  }();
  TInputOptions inputOptions;
  const int task = component->AddTask(input, &inputOptions);
  if (task < 0) return false;
  TOutputOptions output;
  output.ExtOptions = "f=null\nvcodec=rawvideo\nacodec=pcm_s16le\nsn=1\nt=1\nvframes=5\naframes=20\n"
                      "timelimit=5\n" +
                      extraOutputOptions;
  const bool set = component->SetOutputFile(task, NarrowToWide(TempFolder() + "/out.null"), &output);
  if (set) component->StartTask(0);
  component->ClearTasks();
  return set;
}

} // namespace kavro::fuzz
