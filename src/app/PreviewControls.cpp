#include "PreviewControls.h"

#include <algorithm>

#include "FFUtils.h"
#include "platform/Exceptions.h"

namespace kavro {

TPreviewEnabling PreviewEnabling(TPreviewMode mode) {
  switch (mode) {
  case pmPlaying:
    return {false, true, true, true, true};
  case pmPaused:
    return {true, false, true, true, true};
  case pmStopped:
    break;
  }
  return {true, false, false, false, false};
}

std::string PreviewPositionText(int64_t position) {
  return TimeText(std::max<int64_t>(0, position));
}

std::string PreviewDurationText(int64_t duration) {
  const int64_t seconds = std::max<int64_t>(0, duration) / 1000000;
  return Format("%d:%.2d:%.2d", static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
}

std::string PreviewOpenText(int64_t duration, int frameWidth, int frameHeight) {
  return Format("duration: %f, frame size: %dx%d", duration / 1000000.0, frameWidth, frameHeight);
}

int PreviewTrackMaximum(int widthPixels) {
  return std::max(1, widthPixels);
}

int PreviewTrackPosition(int64_t position, int64_t duration, int maximum) {
  if (duration <= 0 || maximum <= 0) return 0;
  const int64_t clamped = std::clamp<int64_t>(position, 0, duration);
  // Rounded down: the track reaches its end only when the file does.
  return static_cast<int>(static_cast<double>(clamped) * maximum / static_cast<double>(duration));
}

int64_t PreviewSeekTarget(int trackPosition, int maximum, int64_t duration) {
  if (maximum <= 0 || duration <= 0) return 0;
  const int clamped = std::clamp(trackPosition, 0, maximum);
  return static_cast<int64_t>(static_cast<double>(clamped) / maximum * static_cast<double>(duration));
}

} // namespace kavro
