// Option text: lines of a name, "=" and a value, separated by line breaks or the literal "<CRLF>";
// and the default list that hands the codec, preset, size and filter lines of an output's option
// text to its extra streams.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace kavro {

struct TOutputOptions;

struct TOptionLine {
  std::string Name;  // lower case
  std::string Value; // as written
};

// Splits option text into lines; lines without a name carry nothing and are left out.
std::vector<TOptionLine> ParseOptionText(const std::string& text);

// The def_ defaults of an output and the queue of codec, preset, size and filter values that its
// option text gives for extra streams.
class TDefaultList {
public:
  // Defaults from the record's AudioCodec, VideoCodec, SubtitleCodec, presets, FrameSize and
  // VideoFilters, completed and queued from the acodec, vcodec, scodec, apre, vpre, spre, s, vf and
  // vfilters lines (vfilters counts as vf).
  void Build(const TOutputOptions& options, const std::vector<TOptionLine>& lines);
  // The value of def_<name>, or empty.
  std::string Default(const std::string& name) const;
  // The first queued value of that name (removed from the queue), else def_<name>.
  std::string Take(const std::string& name);

private:
  std::map<std::string, std::string> FDefaults;
  std::map<std::string, std::deque<std::string>> FQueue;
};

} // namespace kavro
