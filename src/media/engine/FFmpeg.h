// TFFmpeg: a task engine as the task component keeps it, with a probe and a private copy of the
// option records for each of its input and output files. Owner's thread only.
#pragma once

#include <array>
#include <memory>

#include "AVProbe.h"
#include "TaskRecords.h"
#include "engine/CustomFFmpeg.h"

namespace kavro {

class TFFmpeg : public TCustomFFmpeg {
public:
  ~TFFmpeg() override;

  // The probe of an input file, created on first use.
  TAVProbe* Probe(int inputIndex);
  TInputOptions& InputOptions(int inputIndex) { return FInputOptions.at(static_cast<size_t>(inputIndex)); }
  TOutputOptions& OutputOptions(int outputIndex) {
    return FOutputOptions.at(static_cast<size_t>(outputIndex));
  }

private:
  std::array<std::unique_ptr<TAVProbe>, MaxFiles> FProbes;
  std::array<TInputOptions, MaxFiles> FInputOptions;
  std::array<TOutputOptions, MaxFiles> FOutputOptions;
};

} // namespace kavro
