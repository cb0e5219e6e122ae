// TOptionBuilder: turns one checked row of the job list into the input and output option records of
// its conversion task, from the format's profile word, the user's choices for that format, the row's
// edits and the facts of the source. Reads both files afresh for every row; keeps nothing between
// rows. Owner's thread (it may ask the user one question).
#pragma once

#include <string>

#include "AppDialogs.h"
#include "IniFile.h"
#include "JobRecord.h"
#include "TaskRecords.h"

namespace kavro {

class TCustomAVProbe;

// What the builder needs to know of a source: its first video stream. Unknown values are 0.
struct TSourceFacts {
  int VideoStreamCount = 0;
  int Width = 0;
  int Height = 0;
  int VideoBitRate = 0;
};

TSourceFacts SourceFactsOf(TCustomAVProbe& probe);

class TOptionBuilder {
public:
  TOptionBuilder(const TIniFile& settings, const TIniFile& formats, TAppDialogs& dialogs);

  // Changes only the fields its rules name; raises TConvertError for a volume that is neither "256"
  // nor an integer.
  void BuildOptions(const TlvFilesRecord& row, int formatCode, TOutputOptions& output,
                    const TSourceFacts& source, TInputOptions& input);

private:
  std::string Choice(const std::string& key, const std::string& defaultValue) const;
  void ApplyTarget(const std::string& format, TOutputOptions& output) const;
  void ApplyAudioOnly(TOutputOptions& output, TInputOptions& input) const;
  void ApplyVideoEncoder(const std::string& format, TOutputOptions& output) const;
  void ApplyVideo(const TlvFilesRecord& row, const std::string& format, const TSourceFacts& source,
                  TOutputOptions& output);
  // The target frame size; asks the user when the stored size cannot be read.
  void TargetSize(const TSourceFacts& source, const std::string& videoCodec, int& width, int& height);
  void ApplyAudio(TOutputOptions& output) const;
  void ApplySampleRateAndBitrate(TOutputOptions& output) const;
  void ApplyVolume(TOutputOptions& output) const;

  const TIniFile& FSettings;
  const TIniFile& FFormats;
  TAppDialogs& FDialogs;
  std::string FSection;
};

} // namespace kavro
