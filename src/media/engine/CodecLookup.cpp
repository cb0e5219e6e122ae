#include "engine/CodecLookup.h"

#include "engine/CustomFFmpeg.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kavro {

// A retired name maps to its successor when it has no encoder of its own, or only an experimental
// one ("vorbis").
std::string CurrentEncoderName(const std::string& name) {
  static const std::pair<const char*, const char*> Successors[] = {
      {"libfaac", "aac"}, {"libflac", "flac"}, {"vorbis", "libvorbis"}, {"libamr_nb", "libopencore_amrnb"}};
  const AVCodec* encoder = name.empty() ? nullptr : avcodec_find_encoder_by_name(name.c_str());
  if (encoder && !(encoder->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) return name;
  for (const auto& [old, successor] : Successors)
    if (name == old && avcodec_find_encoder_by_name(successor)) return successor;
  return name;
}

const AVCodec* FindEncoderByName(const std::string& name) {
  if (name.empty()) return nullptr;
  return avcodec_find_encoder_by_name(CurrentEncoderName(name).c_str());
}

bool TCustomFFmpeg::FindCodec(const std::string& name, int mediaType, int strictness, bool encoder,
                              int& codecId) {
  codecId = AV_CODEC_ID_NONE;
  if (name.empty()) return true;
  const char* kind = encoder ? "encoder" : "decoder";
  const AVCodec* codec = encoder ? FindEncoderByName(name) : avcodec_find_decoder_by_name(name.c_str());
  if (!codec) {
    SetLastErrorText(Format("Unknown %s '%s'", kind, name.c_str()));
    return false;
  }
  if (codec->type != mediaType) {
    SetLastErrorText(Format("Invalid %s type '%s'", kind, name.c_str()));
    return false;
  }
  if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strictness > FF_COMPLIANCE_EXPERIMENTAL) {
    std::string text = Format("%s '%s' is experimental and might produce bad results.\r\n"
                              "Add '-strict experimental' if you want to use it.",
                              kind, codec->name);
    const AVCodec* usual = encoder ? avcodec_find_encoder(codec->id) : avcodec_find_decoder(codec->id);
    if (usual && !(usual->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
      text += Format("\r\nOr use the non experimental %s '%s'.", kind, usual->name);
    SetLastErrorText(text);
    return false;
  }
  codecId = codec->id;
  return true;
}

} // namespace kavro
