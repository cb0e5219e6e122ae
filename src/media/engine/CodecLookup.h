// Codec look-up by name, with the successors of retired encoder names.
#pragma once

#include <string>

struct AVCodec;

namespace kavro {

// The encoder of that name; a retired name that no longer has an encoder finds its successor
// ("libfaac" → "aac", "libflac" → "flac", "vorbis" → "libvorbis", "libamr_nb" → "libopencore_amrnb").
const AVCodec* FindEncoderByName(const std::string& name);
// The name the libraries know for a possibly retired encoder name.
std::string CurrentEncoderName(const std::string& name);

} // namespace kavro
