#include "AddFilter.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

namespace kavro {
namespace {

constexpr size_t VideoFilter = 0;
constexpr size_t AudioFilter = 1;

// Lower-case extensions without the dot, from patterns such as "*.AVI;*.MP4;".
void CollectExtensions(const std::string& patterns, std::set<std::string>& extensions) {
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string pattern = patterns.substr(start, end - start);
    if (pattern.rfind("*.", 0) == 0 && pattern.size() > 2) {
      pattern.erase(0, 2);
      std::transform(pattern.begin(), pattern.end(), pattern.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      extensions.insert(pattern);
    }
    start = end + 1;
  }
}

const std::set<std::string>& SupportedExtensions() {
  static const std::set<std::string> extensions = [] {
    std::set<std::string> collected;
    CollectExtensions(AddFileFilters()[VideoFilter].Patterns, collected);
    CollectExtensions(AddFileFilters()[AudioFilter].Patterns, collected);
    return collected;
  }();
  return extensions;
}

// The supported files directly inside a folder, sorted; nothing when it cannot be read.
std::vector<std::string> MediaFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  std::filesystem::directory_iterator entry(folder, error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    std::error_code statusError;
    // Links to regular files count: the file behind them is what gets converted.
    if (!entry->is_regular_file(statusError) || statusError) continue;
    const std::string path = entry->path().string();
    if (IsSupportedMediaName(path)) files.push_back(path);
  }
  if (error) return {};
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

const std::vector<TFileFilter>& AddFileFilters() {
  static const std::vector<TFileFilter> filters = {
      {"All Supported Video Formats",
       "*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.3G2;*.M4V;*.MP4;"
       "*.MPG;*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;"},
      {"All Supported Audio Formats",
       "*.MP3;*.AAC;*.WAV;*.WMA;*.OGG;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;*.MP2;*.MPA;"
       "*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;"},
      {"AVI files (*.avi)", "*.avi"},
      {"MPEG4 files (*.mp4)", "*.mp4"},
      {"MPEG files (*.mpg,*.mpeg)", "*.mpg;*.mpeg"},
      {"3GP files (*.3gp,*.3g2)", "*.3gp;*.3g2"},
      {"Itunes Video files (*.m4v)", "*.m4v"},
      {"Windows Media files (*.wmv,*.asf)", "*.wmv;*.asf"},
      {"Real Media files (*.rm,*.rmvb)", "*.rm;*.rmvb"},
      {"Video CD files (*.dat)", "*.dat"},
      {"Quick Time files (*.mov)", "*.mov"},
      {"Flash Video files (*.flv)", "*.flv"},
      {"Matroska Video files (*.mkv)", "*.mkv"},
      {"MJPEG Video files (*.mjpg,*.mjpeg)", "*.mjpg;*.mjpeg"},
      {"Animated GIF files (*.gif)", "*.gif"},
      {"H.264/MPEG4 AVC Video files (*.mts,*.m2ts)", "*.mts;*.m2ts"},
      {"DVD video object files (*.vob)", "*.vob"},
      {"MPEG-1 Video files (*.mpv)", "*.mpv"},
      {"Video Transport Stream files (*.ts)", "*.ts"},
      {"TP Video files (*.tp)", "*.tp"},
      {"Maceomeida Flash files (*.swf)", "*.swf"},
      {"MP3 Audio files (*.mp3)", "*.mp3"},
      {"Advanced Audio Coding files (*.aac)", "*.aac"},
      {"Monkey's Audio files (*.ape)", "*.ape"},
      {"Ogg Vorbis Audio files (*.ogg)", "*.ogg"},
      {"Windows Media Audio files (*.wma)", "*.wma"},
      {"MusePack Audio files (*.mpc)", "*.mpc"},
      {"MPEG Audio files (*.mpa)", "*.mpa"},
      {"MPEG-4 Audio files (*.m4a)", "*.m4a"},
      {"Matroska Audio files (*.mka)", "*.mka"},
      {"DTS Audio files (*.dts)", "*.dts"},
      {"Audio Codec 3 files (*.ac3)", "*.ac3"},
      {"Speex Audio files (*.spx)", "*.spx"},
      {"Real Audio files (*.ra,*.ram)", "*.ra;*.ram"},
      {"MPEG Layer II Compressed Audio files (*.mp2)", "*.mp2"},
      {"All files (*.*)", "*.*"},
  };
  return filters;
}

bool IsSupportedMediaName(const std::string& path) {
  // A name such as ".avi" is a hidden file without an extension.
  std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() < 2) return false;
  extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return SupportedExtensions().count(extension) > 0;
}

std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> expanded;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      expanded.push_back(path);
      continue;
    }
    const std::vector<std::string> files = MediaFilesIn(path);
    expanded.insert(expanded.end(), files.begin(), files.end());
  }
  return expanded;
}

} // namespace kavro
