// TAVProbe: describes one media file. A task hands it the container it has already opened, so the
// file is not read twice. Owner's thread only.
#pragma once

#include "FFBaseComponent.h"

struct AVFormatContext;

namespace kavro {

class TCustomAVProbe : public TFFBaseComponent {
public:
  // Describes a container opened by someone else; the probe does not own it.
  void SetFormatContext(AVFormatContext* context) { FFormatContext = context; }
  AVFormatContext* FormatContext() const { return FFormatContext; }

private:
  AVFormatContext* FFormatContext = nullptr;
};

class TAVProbe : public TCustomAVProbe {};

} // namespace kavro
