// The display texts of the parameter panel's lists and the values they store in a format's section
// of the settings file: video and audio encoder names, channel texts and volume percentages. Texts
// are compared without regard to case. Constant tables; any thread.
#pragma once

#include <optional>
#include <string>

namespace kavro {

// The "paraVideoEncoder" word of a display name; nothing for a name the table does not know.
std::optional<std::string> VideoEncoderWord(const std::string& displayName);
// True for the display name that also copies the format's H.264 extras.
bool IsH264DisplayName(const std::string& displayName);
// The "paraAudioEncoder" word of a display name; nothing for a name the table does not know.
std::optional<std::string> AudioEncoderWord(const std::string& displayName);
// The "paraChannel" value: "as source", "1" or "2"; nothing for other texts.
std::optional<std::string> ChannelValue(const std::string& text);
// The "paraVolume" value of an item such as "100%" (256 = unchanged); nothing for a percentage the
// table does not list. Raises TConvertError when the text without its last character is not an
// integer.
std::optional<std::string> VolumeValue(const std::string& itemText);

} // namespace kavro
