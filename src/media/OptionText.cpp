#include "OptionText.h"

#include "TaskRecords.h"
#include "platform/Convert.h"

namespace kavro {
namespace {

std::string NormaliseLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text.compare(i, 6, "<CRLF>") == 0) {
      out += '\n';
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

const char* const QueuedNames[] = {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vf"};

} // namespace

std::vector<TOptionLine> ParseOptionText(const std::string& text) {
  const std::string normalised = NormaliseLineBreaks(Trim(text));
  std::vector<TOptionLine> lines;
  size_t start = 0;
  while (start < normalised.size()) {
    size_t end = normalised.find('\n', start);
    if (end == std::string::npos) end = normalised.size();
    const std::string line = normalised.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find('=');
    TOptionLine option{LowerCase(line.substr(0, equals)),
                       equals == std::string::npos ? std::string() : line.substr(equals + 1)};
    if (!option.Name.empty()) lines.push_back(std::move(option));
  }
  return lines;
}

void TDefaultList::Build(const TOutputOptions& options, const std::vector<TOptionLine>& lines) {
  FDefaults.clear();
  FQueue.clear();
  const std::pair<const char*, const std::string*> fields[] = {
      {"acodec", &options.AudioCodec}, {"vcodec", &options.VideoCodec}, {"scodec", &options.SubtitleCodec},
      {"apre", &options.AudioPreset},  {"vpre", &options.VideoPreset},  {"spre", &options.SubtitlePreset},
      {"s", &options.FrameSize},       {"vf", &options.VideoFilters}};
  for (const auto& [name, value] : fields)
    if (!value->empty()) FDefaults[name] = *value;
  for (const TOptionLine& line : lines) {
    const std::string name = line.Name == "vfilters" ? "vf" : line.Name;
    bool queued = false;
    for (const char* candidate : QueuedNames)
      queued = queued || name == candidate;
    if (!queued || line.Value.empty()) continue;
    FDefaults.try_emplace(name, line.Value);
    FQueue[name].push_back(line.Value);
  }
}

std::string TDefaultList::Default(const std::string& name) const {
  const auto found = FDefaults.find(name);
  return found == FDefaults.end() ? std::string() : found->second;
}

std::string TDefaultList::Take(const std::string& name) {
  auto& queue = FQueue[name];
  if (queue.empty()) return Default(name);
  std::string value = std::move(queue.front());
  queue.pop_front();
  return value;
}

} // namespace kavro
