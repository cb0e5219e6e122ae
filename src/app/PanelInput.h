// What the parameter panel accepts from the keyboard and from its free-text fields, as pure
// functions: the typing filters, the frame-size check and the number tests of the rate fields,
// with the panel's message texts. No state; any thread.
#pragma once

#include <string>

namespace kavro {

inline constexpr const char* MsgEnterNumerical = "Please enter numerical.";
inline constexpr const char* MsgFrameSizeInvalid = "Frame Size is not a valid value!";
inline constexpr const char* MsgVideoBitRateInvalid = "Video BitRate is not a valid value!";
inline constexpr const char* MsgSampleRateInvalid = "Audio SampleRate is not a valid value!";
inline constexpr const char* MsgAudioBitRateInvalid = "Audio BitRate is not a valid value!";

// "Frame Size must be a multiple of 2.", a line break, "The correct value:" and the size.
std::string FrameSizeCorrectionText(const std::string& size);

inline constexpr char32_t KeyBackspace = U'\b';

// A key refused by a filter is discarded with a beep, and with a message when Message is not empty.
struct TKeyVerdict {
  bool Accept = true;
  std::string Message;
};

// The three numeric fields (video bit rate, sample rate, audio bit rate): digits and backspace.
TKeyVerdict NumericKeyFilter(char32_t key);
// The frame size: digits, backspace and "x" while the text holds no "x", then digits and backspace;
// an empty field takes any key.
TKeyVerdict VideoSizeKeyFilter(const std::string& text, char32_t key);

enum class TFrameSizeVerdict {
  AsSource,  // "as source" somewhere in the text: nothing is stored
  Invalid,   // no "x", or a side that is not an integer: the "not a valid value" message
  Valid,     // both sides even and not 0: stored as typed
  Corrected, // stored as Size after the "multiple of 2" message
};

struct TFrameSizeCheck {
  TFrameSizeVerdict Verdict = TFrameSizeVerdict::Invalid;
  std::string Size; // what to store for Valid and Corrected
};

// Splits at the last "x"; an odd or zero side is rounded toward zero to an even number, 2 where
// that gives 0.
TFrameSizeCheck CheckFrameSize(const std::string& text);

// "as source" without regard to case.
bool IsAsSource(const std::string& text);
// The values the rate fields store: an integer or "as source"; the audio bit rate also a decimal.
bool IsVideoBitRateText(const std::string& text);
bool IsSampleRateText(const std::string& text);
bool IsAudioBitRateText(const std::string& text);

} // namespace kavro
