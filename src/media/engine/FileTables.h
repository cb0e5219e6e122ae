// The file and stream tables of a task: the inputs it opened and the outputs it created, with what
// each stream will need when the task runs. Filled by the owner's thread before the run, read by
// the run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/OutputTarget.h"
#include "engine/TaskSettings.h"

struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVStream;

namespace kavro {

struct TInputFile {
  AVFormatContext* Context = nullptr;
  int64_t TsOffset = 0; // µs
  // Where the part of the input to convert begins, in µs after the offset (an input start time, or
  // zero when a negative offset moves the input's beginning before the output's); INT64_MIN: nowhere.
  int64_t StartCut = INT64_MIN;
  bool LoopInput = false;
  int Threads = 1; // of its decoders
  // A file on disk and its size when it was opened (-1: not a plain file), so a source that was cut
  // short while it was read is told from one that ended.
  std::string LocalPath;
  int64_t OpenedSize = -1;
  // The decoder forced for each stream by name; null: the one for the stream's codec.
  std::vector<const AVCodec*> Decoders;
  TInputProposal Proposal;

  TInputFile() = default;
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;
  ~TInputFile();
};

struct TOutputStream {
  AVStream* Stream = nullptr;
  int MediaType = -1;
  bool StreamCopy = false;
  const AVCodec* Encoder = nullptr; // chosen by name or for the format; null when none exists
  AVCodecContext* Codec = nullptr;  // the settings the encoder will open with; null for stream copy
  uint32_t CodecTag = 0;
  std::vector<TBitstreamFilterSpec> BitstreamFilters;
};

struct TOutputFile {
  AVFormatContext* Context = nullptr;
  std::string Url;
  bool CreatedFile = false;   // the file did not exist before this task opened it
  bool HeaderWritten = false; // a run wrote into it
  std::vector<TOutputStream> Streams;
  TOutputTarget Target; // a regular file is written aside and put in place when the run succeeded

  TOutputFile() = default;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  // Closes the file; one this task created and never wrote into is deleted again, and what was
  // written aside and never put in place is thrown away.
  ~TOutputFile();
  // Deletes the file when this task created it and it is a regular file.
  void RemoveCreatedFile() const;
  // Closes the file's I/O; a negative library error code when the last writes failed.
  int CloseIO();
  // The size of the file on disk; -1 when it cannot be read.
  int64_t DiskSize() const;
};

} // namespace kavro
