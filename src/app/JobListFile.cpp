#include "JobListFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <variant>

#include "TemporaryFile.h"
#include "platform/Exceptions.h"

namespace kavro {
namespace {

constexpr std::string_view Header = "Kavro job list 1";
constexpr std::string_view RowLine = "[Row]";
constexpr std::string_view EndWord = "End ";
// Far beyond any real list (a row takes well under a kilobyte); a bigger file is not ours.
constexpr uintmax_t MaximumFileSize = 64u << 20;

using TFieldRef = std::variant<std::string*, int*, int64_t*, bool*, uint32_t*, TRowRunState*>;

struct TField {
  const char* Name;
  TFieldRef (*Of)(TJobRow&);
};

// Every value a row keeps, by its key in the file.
constexpr TField Fields[] = {
    {"Checked", [](TJobRow& r) -> TFieldRef { return &r.Checked; }},
    {"SourceFile", [](TJobRow& r) -> TFieldRef { return &r.Record.SourceFile; }},
    {"DestFile", [](TJobRow& r) -> TFieldRef { return &r.Record.DestFile; }},
    {"SelIndex", [](TJobRow& r) -> TFieldRef { return &r.Record.SelIndex; }},
    {"DurationSecs", [](TJobRow& r) -> TFieldRef { return &r.Record.DurationSecs; }},
    {"TrimStart", [](TJobRow& r) -> TFieldRef { return &r.Record.TrimStart; }},
    {"TrimLength", [](TJobRow& r) -> TFieldRef { return &r.Record.TrimLength; }},
    {"ZoomMode", [](TJobRow& r) -> TFieldRef { return &r.Record.ZoomMode; }},
    {"CropTop", [](TJobRow& r) -> TFieldRef { return &r.Record.CropTop; }},
    {"CropLeft", [](TJobRow& r) -> TFieldRef { return &r.Record.CropLeft; }},
    {"CropBottom", [](TJobRow& r) -> TFieldRef { return &r.Record.CropBottom; }},
    {"CropRight", [](TJobRow& r) -> TFieldRef { return &r.Record.CropRight; }},
    {"CropEditTop", [](TJobRow& r) -> TFieldRef { return &r.Record.CropEditTop; }},
    {"CropEditLeft", [](TJobRow& r) -> TFieldRef { return &r.Record.CropEditLeft; }},
    {"CropEditBottom", [](TJobRow& r) -> TFieldRef { return &r.Record.CropEditBottom; }},
    {"CropEditRight", [](TJobRow& r) -> TFieldRef { return &r.Record.CropEditRight; }},
    {"MarkText", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkText; }},
    {"FontName", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Name; }},
    {"FontSize", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Size; }},
    {"FontColor", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Color; }},
    {"FontBold", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Bold; }},
    {"FontItalic", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Italic; }},
    {"FontUnderline", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.Underline; }},
    {"FontStrikeOut", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkFont.StrikeOut; }},
    {"TextX", [](TJobRow& r) -> TFieldRef { return &r.Record.TextX; }},
    {"TextY", [](TJobRow& r) -> TFieldRef { return &r.Record.TextY; }},
    {"TextHorzPos", [](TJobRow& r) -> TFieldRef { return &r.Record.TextHorzPos; }},
    {"TextVertPos", [](TJobRow& r) -> TFieldRef { return &r.Record.TextVertPos; }},
    {"MarkImage", [](TJobRow& r) -> TFieldRef { return &r.Record.MarkImage; }},
    {"ImageX", [](TJobRow& r) -> TFieldRef { return &r.Record.ImageX; }},
    {"ImageY", [](TJobRow& r) -> TFieldRef { return &r.Record.ImageY; }},
    {"ImageHorzPos", [](TJobRow& r) -> TFieldRef { return &r.Record.ImageHorzPos; }},
    {"ImageVertPos", [](TJobRow& r) -> TFieldRef { return &r.Record.ImageVertPos; }},
    {"ImageAlpha", [](TJobRow& r) -> TFieldRef { return &r.Record.ImageAlpha; }},
    {"TransparentStyle", [](TJobRow& r) -> TFieldRef { return &r.Record.TransparentStyle; }},
    {"Brightness", [](TJobRow& r) -> TFieldRef { return &r.Record.Brightness; }},
    {"Contrast", [](TJobRow& r) -> TFieldRef { return &r.Record.Contrast; }},
    {"Saturation", [](TJobRow& r) -> TFieldRef { return &r.Record.Saturation; }},
    {"Exposure", [](TJobRow& r) -> TFieldRef { return &r.Record.Exposure; }},
    {"ProcessText", [](TJobRow& r) -> TFieldRef { return &r.Record.ProcessText; }},
    {"ProcessImage", [](TJobRow& r) -> TFieldRef { return &r.Record.ProcessImage; }},
    {"Length", [](TJobRow& r) -> TFieldRef { return &r.Length; }},
    {"TrimmedLength", [](TJobRow& r) -> TFieldRef { return &r.TrimmedLength; }},
    {"DestName", [](TJobRow& r) -> TFieldRef { return &r.DestName; }},
    {"Error", [](TJobRow& r) -> TFieldRef { return &r.Error; }},
    {"RunState", [](TJobRow& r) -> TFieldRef { return &r.RunState; }},
    {"RunOutput", [](TJobRow& r) -> TFieldRef { return &r.RunOutput; }},
    {"RunStarted", [](TJobRow& r) -> TFieldRef { return &r.RunStarted; }},
};

constexpr const char* RunStateNames[] = {"idle", "queued", "converting", "done", "failed", "interrupted"};

// Paths and texts may hold any byte but a line break; backslashes and line breaks are escaped.
std::string Escaped(std::string_view value) {
  std::string text;
  text.reserve(value.size());
  for (const char c : value) {
    if (c == '\\')
      text += "\\\\";
    else if (c == '\n')
      text += "\\n";
    else if (c == '\r')
      text += "\\r";
    else
      text += c;
  }
  return text;
}

bool Unescape(std::string_view text, std::string& value) {
  value.clear();
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\') {
      value += text[at];
      continue;
    }
    if (++at == text.size()) return false;
    const char c = text[at];
    if (c == '\\')
      value += '\\';
    else if (c == 'n')
      value += '\n';
    else if (c == 'r')
      value += '\r';
    else
      return false;
  }
  return true;
}

template <typename T> bool ParseNumber(std::string_view text, T& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

struct TValueWriter {
  std::string operator()(const std::string* value) const { return Escaped(*value); }
  std::string operator()(const bool* value) const { return *value ? "1" : "0"; }
  std::string operator()(const TRowRunState* value) const { return RunStateNames[static_cast<int>(*value)]; }
  template <typename T> std::string operator()(const T* value) const { return std::to_string(*value); }
};

struct TValueReader {
  std::string_view Text;
  bool operator()(std::string* value) const { return Unescape(Text, *value); }
  bool operator()(bool* value) const {
    if (Text != "0" && Text != "1") return false;
    *value = Text == "1";
    return true;
  }
  bool operator()(TRowRunState* value) const {
    for (int index = 0; index < static_cast<int>(std::size(RunStateNames)); ++index)
      if (Text == RunStateNames[index]) {
        *value = static_cast<TRowRunState>(index);
        return true;
      }
    return false;
  }
  template <typename T> bool operator()(T* value) const { return ParseNumber(Text, *value); }
};

// FNV-1a, 64 bits: enough to tell a file cut short or edited from the one written.
uint64_t Checksum(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Reads the whole file; false with the reason when it cannot be read as a list file.
bool ReadListFile(const std::string& fileName, std::string& text, std::string& why) {
  struct stat info {};
  if (stat(fileName.c_str(), &info) != 0) {
    why = ErrnoText(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    why = "it is not a regular file";
    return false;
  }
  if (static_cast<uintmax_t>(info.st_size) > MaximumFileSize) {
    why = "it is larger than 64 MiB";
    return false;
  }
  std::ifstream file(fileName, std::ios::binary);
  if (!file) {
    why = ErrnoText(errno);
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) {
    why = "it could not be read to the end";
    return false;
  }
  text = content.str();
  return true;
}

std::string AsideName(const std::string& fileName) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string aside = fileName + ".damaged-" + stamp;
  for (int number = 1; std::filesystem::exists(std::filesystem::symlink_status(aside)); ++number)
    aside = fileName + ".damaged-" + stamp + "-" + std::to_string(number);
  return aside;
}

} // namespace

std::string JobListText(const std::vector<TJobRow>& rows) {
  std::string text(Header);
  text += '\n';
  for (const TJobRow& listed : rows) {
    // The table hands out pointers for reading and writing alike: it reads a copy.
    TJobRow row = listed;
    text += RowLine;
    text += '\n';
    for (const TField& field : Fields) {
      text += field.Name;
      text += '=';
      text += std::visit(TValueWriter{}, field.Of(row));
      text += '\n';
    }
  }
  text += std::string(EndWord) + std::to_string(rows.size()) + " " + Hex(Checksum(text)) + "\n";
  return text;
}

bool ParseJobList(std::string_view text, std::vector<TJobRow>& rows, std::string& why) {
  rows.clear();
  const auto fail = [&](std::string reason) {
    rows.clear();
    why = std::move(reason);
    return false;
  };
  if (!text.starts_with(std::string(Header) + "\n")) return fail("it does not start as a job list");
  if (!text.ends_with('\n')) return fail("it is cut short");
  const size_t endLine = text.rfind('\n', text.size() - 2);
  if (endLine == std::string_view::npos) return fail("it is cut short");
  const std::string_view body = text.substr(0, endLine + 1);
  const std::string_view end = text.substr(endLine + 1, text.size() - endLine - 2);
  size_t count = 0;
  const size_t space = end.rfind(' ');
  if (!end.starts_with(EndWord) || space == std::string_view::npos || space < EndWord.size() ||
      !ParseNumber(end.substr(EndWord.size(), space - EndWord.size()), count))
    return fail("it is cut short");
  if (end.substr(space + 1) != Hex(Checksum(body))) return fail("its content does not match its checksum");

  size_t at = Header.size() + 1;
  int lineNumber = 1;
  while (at < body.size()) {
    const size_t lineEnd = body.find('\n', at);
    const std::string_view line = body.substr(at, lineEnd - at);
    at = lineEnd + 1;
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber);
    if (line == RowLine) {
      rows.emplace_back();
      continue;
    }
    const size_t equals = line.find('=');
    if (rows.empty() || equals == std::string_view::npos) return fail(where + " is not a row's value");
    const std::string_view key = line.substr(0, equals);
    for (const TField& field : Fields)
      if (key == field.Name && !std::visit(TValueReader{line.substr(equals + 1)}, field.Of(rows.back())))
        return fail(where + " holds a value " + std::string(key) + " cannot take");
    // Keys this version does not know are skipped: a later version may add some.
  }
  if (rows.size() != count) return fail("it holds another number of rows than it says");
  return true;
}

TJobListStore::TJobListStore(std::string fileName)
    : FFileName(std::move(fileName)), FEnabled(!FFileName.empty()) {}

TJobListStore::~TJobListStore() {
  if (FLock >= 0) close(FLock);
}

TLoadedJobList TJobListStore::Load() {
  TLoadedJobList loaded;
  if (!FEnabled) return loaded;
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(FFileName).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  // Without a lock file (a folder that takes no file) the list is kept unguarded; saving says why it
  // cannot be kept when it cannot.
  if (FLock < 0) FLock = open((FFileName + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (FLock >= 0 && flock(FLock, LOCK_EX | LOCK_NB) != 0) {
    FEnabled = false;
    loaded.Message = "Another window of this program keeps its job list in " + FFileName +
                     "; the list of this window is not kept.";
    return loaded;
  }
  if (!std::filesystem::exists(std::filesystem::symlink_status(FFileName, error))) return loaded;
  std::string text, why;
  if (ReadListFile(FFileName, text, why) && ParseJobList(text, loaded.Rows, why)) return loaded;

  const std::string aside = AsideName(FFileName);
  const std::string start = "The saved job list " + FFileName + " could not be read (" + why + ").";
  if (std::rename(FFileName.c_str(), aside.c_str()) == 0) {
    loaded.Message = start + " It was kept as " + aside + "; the list starts empty.";
  } else {
    FEnabled = false;
    loaded.Message = start + " It could not be set aside either (" + ErrnoText(errno) +
                     "), so it is left as it is and the list is not kept in this session.";
  }
  return loaded;
}

std::optional<std::string> TJobListStore::Save(const std::vector<TJobRow>& rows) {
  if (!FEnabled) return std::nullopt;
  const std::filesystem::path folder = std::filesystem::path(FFileName).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  const std::string failure = WriteTextThroughTemporary(FFileName, JobListText(rows));
  const bool toldAlready = FFailing;
  FFailing = !failure.empty();
  if (failure.empty() || toldAlready) return std::nullopt;
  return "The job list cannot be saved, so it will not survive a crash. " + failure;
}

} // namespace kavro
