#include "engine/CodecLookup.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kavro {

std::string CurrentEncoderName(const std::string& name) {
  static const std::pair<const char*, const char*> Successors[] = {
      {"libfaac", "aac"}, {"libflac", "flac"}, {"vorbis", "libvorbis"}, {"libamr_nb", "libopencore_amrnb"}};
  if (name.empty() || avcodec_find_encoder_by_name(name.c_str())) return name;
  for (const auto& [old, successor] : Successors)
    if (name == old) return successor;
  return name;
}

const AVCodec* FindEncoderByName(const std::string& name) {
  if (name.empty()) return nullptr;
  return avcodec_find_encoder_by_name(CurrentEncoderName(name).c_str());
}

} // namespace kavro
