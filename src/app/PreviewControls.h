// The preview panel's rules without widgets: which of its controls a play mode enables, the texts of
// its two time labels and of its log, and how the position track maps onto the file's time.
// Plain functions; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace kavro {

// What both time labels show while nothing plays.
inline constexpr const char* PreviewIdleTime = "00:00:00";

enum TPreviewMode { pmStopped, pmPlaying, pmPaused };

struct TPreviewEnabling {
  bool Play;
  bool Pause;
  bool Stop;
  bool Snap;
  bool Track; // the position track
};

TPreviewEnabling PreviewEnabling(TPreviewMode mode);

// "%.2d:%.2d:%.2d.%.3d" of a position in microseconds; a negative one shows as the start.
std::string PreviewPositionText(int64_t position);
// "%d:%.2d:%.2d" of a duration in microseconds, whole seconds; unknown (negative) shows as 0.
std::string PreviewDurationText(int64_t duration);
// The log line of an opened file: "duration: %f, frame size: %dx%d".
std::string PreviewOpenText(int64_t duration, int frameWidth, int frameHeight);

// The track's maximum for a track this many pixels wide: never below 1, so positions can be divided.
int PreviewTrackMaximum(int widthPixels);
// Where the track shows a position: 0 to maximum; 0 while the duration is not known.
int PreviewTrackPosition(int64_t position, int64_t duration, int maximum);
// The time a track position stands for, in microseconds: position / maximum x duration.
int64_t PreviewSeekTarget(int trackPosition, int maximum, int64_t duration);

} // namespace kavro
