#include "engine/FFmpeg.h"

namespace kavro {

// The run may still use what this class owns: stop it before the members go.
TFFmpeg::~TFFmpeg() {
  StopAndWait();
}

TAVProbe* TFFmpeg::Probe(int inputIndex) {
  auto& probe = FProbes.at(static_cast<size_t>(inputIndex));
  if (!probe) probe = std::make_unique<TAVProbe>();
  return probe.get();
}

} // namespace kavro
