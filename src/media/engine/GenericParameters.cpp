#include "engine/GenericParameters.h"

#include <algorithm>

#include "FFmpegLogger.h"
#include "engine/CodecLookup.h"
#include "platform/Convert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace kavro {
namespace {

const int TypeFlags[5] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};
const AVMediaType MediaTypes[5] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_DATA,
                                   AVMEDIA_TYPE_SUBTITLE, AVMEDIA_TYPE_ATTACHMENT};

void LogInvalid(const std::string& value, const std::string& name) {
  av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(), name.c_str());
}

bool Knows(void* context, const std::string& name, int flags) {
  return av_opt_find(context, name.c_str(), nullptr, flags, 0) != nullptr;
}

// Checks a private option of an encoder on a scratch context of it.
bool EncoderAccepts(const AVCodec* encoder, const std::string& name, const std::string& value) {
  AVCodecContext* scratch = avcodec_alloc_context3(encoder);
  if (!scratch) return false;
  const bool accepted =
      scratch->priv_data && av_opt_set(scratch->priv_data, name.c_str(), value.c_str(), 0) >= 0;
  avcodec_free_context(&scratch);
  return accepted;
}

// The same for a muxer, on a scratch copy of its private data.
bool MuxerAccepts(const AVOutputFormat* format, const std::string& name, const std::string& value) {
  void* object = av_mallocz(static_cast<size_t>(std::max<int>(format->priv_data_size, sizeof(AVClass*))));
  if (!object) return false;
  *static_cast<const AVClass**>(object) = format->priv_class;
  av_opt_set_defaults(object);
  const bool accepted = av_opt_set(object, name.c_str(), value.c_str(), 0) >= 0;
  av_opt_free(object);
  av_free(object);
  return accepted;
}

bool HasPrivateOption(const AVClass* privateClass, const std::string& name) {
  return privateClass &&
         av_opt_find2(&privateClass, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ, nullptr);
}

} // namespace

TGenericParameters::TGenericParameters() {
  Reset();
}

TGenericParameters::~TGenericParameters() {
  Free();
}

void TGenericParameters::Free() {
  for (AVCodecContext*& codec : FCodecs)
    avcodec_free_context(&codec);
  avformat_free_context(FFormat);
  FFormat = nullptr;
  sws_freeContext(FScaler);
  FScaler = nullptr;
}

void TGenericParameters::Reset() {
  Free();
  for (int i = 0; i < 5; ++i) {
    FCodecs[i] = avcodec_alloc_context3(nullptr);
    FCodecs[i]->codec_type = MediaTypes[i];
  }
  FFormat = avformat_alloc_context();
  FScaler = sws_alloc_context();
  for (const char* size : {"srcw", "srch", "dstw", "dsth"})
    av_opt_set_int(FScaler, size, 16, 0);
  av_opt_set_int(FScaler, "sws_flags", ScalerFlagsDefault, 0);
  for (auto& names : FSetNames)
    names.clear();
  FPrivate.clear();
  FSetCalls = 0;
}

void* TGenericParameters::Context(int target) const {
  if (target < 5) return FCodecs[target];
  return target == ptFormat ? static_cast<void*>(FFormat) : static_cast<void*>(FScaler);
}

AVCodecContext* TGenericParameters::CodecContext(TParameterTarget target) const {
  return target < 5 ? FCodecs[target] : nullptr;
}

void TGenericParameters::Remember(int target, const std::string& name) {
  auto& names = FSetNames[target];
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

TSetResult TGenericParameters::SetOn(TParameterTarget target, const std::string& name,
                                     const std::string& value) {
  ++FSetCalls;
  void* context = Context(target);
  if (!Knows(context, name, target < 5 ? TypeFlags[target] : 0)) return srUnknown;
  if (av_opt_set(context, name.c_str(), value.c_str(), 0) < 0) {
    LogInvalid(value, name);
    return srRejected;
  }
  Remember(target, name);
  return srSet;
}

TSetResult TGenericParameters::Set(const std::string& rawName, const std::string& rawValue,
                                   const TPrivateOptionOwners& owners, int onlyType) {
  ++FSetCalls;
  const std::string name = Trim(rawName);
  const std::string value = Trim(rawValue);
  if (name.empty() || value.empty()) return srUnknown;
  bool found = false;
  for (int type = ptVideo; type <= ptAttachment; ++type) {
    // "b" is the video bit rate in this vocabulary; audio has "ab", though today's codec context
    // lets "b" reach audio too.
    if (name == "b" && type == ptAudio) continue;
    if (onlyType >= 0 && type != onlyType) continue;
    if (!Knows(FCodecs[type], name, TypeFlags[type])) continue;
    found = true;
    if (av_opt_set(FCodecs[type], name.c_str(), value.c_str(), 0) < 0) {
      LogInvalid(value, name);
      return srRejected;
    }
    Remember(type, name);
  }
  for (int target : {ptFormat, ptScaler}) {
    if (found || !Knows(Context(target), name, 0)) continue;
    found = true;
    if (av_opt_set(Context(target), name.c_str(), value.c_str(), 0) < 0) {
      LogInvalid(value, name);
      return srRejected;
    }
    Remember(target, name);
  }
  if (!found && name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's')) {
    const TParameterTarget target = name[0] == 'a' ? ptAudio : name[0] == 'v' ? ptVideo : ptSubtitle;
    const std::string rest = name.substr(1);
    if ((onlyType < 0 || onlyType == target) && Knows(FCodecs[target], rest, TypeFlags[target])) {
      found = true;
      if (av_opt_set(FCodecs[target], rest.c_str(), value.c_str(), 0) < 0) {
        LogInvalid(value, name);
        return srRejected;
      }
      Remember(target, rest);
    }
  }
  if (!found) return SetPrivate(name, value, owners, onlyType);
  int64_t codecDebug = 0;
  int64_t formatDebug = 0;
  av_opt_get_int(FCodecs[ptVideo], "debug", 0, &codecDebug);
  av_opt_get_int(FFormat, "fdebug", 0, &formatDebug);
  if (codecDebug != 0 || formatDebug != 0) TFFLogger::Instance().SetLogLevel(llDebug);
  return srSet;
}

TSetResult TGenericParameters::SetPrivate(const std::string& name, const std::string& value,
                                          const TPrivateOptionOwners& owners, int onlyType) {
  const std::pair<int, const std::string*> encoders[] = {{ptVideo, &owners.VideoEncoder},
                                                         {ptAudio, &owners.AudioEncoder},
                                                         {ptSubtitle, &owners.SubtitleEncoder}};
  for (const auto& [type, encoderName] : encoders) {
    if (onlyType >= 0 && type != onlyType) continue;
    const AVCodec* encoder = FindEncoderByName(*encoderName);
    if (!encoder || !HasPrivateOption(encoder->priv_class, name)) continue;
    if (!EncoderAccepts(encoder, name, value)) {
      LogInvalid(value, name);
      return srRejected;
    }
    KeepPrivate(encoder->name, name, value);
    return srSet;
  }
  const AVOutputFormat* format =
      owners.Format.empty() ? nullptr : av_guess_format(owners.Format.c_str(), nullptr, nullptr);
  if (format && HasPrivateOption(format->priv_class, name)) {
    if (!MuxerAccepts(format, name, value)) {
      LogInvalid(value, name);
      return srRejected;
    }
    KeepPrivate(format->name, name, value);
    return srSet;
  }
  return srUnknown;
}

void TGenericParameters::KeepPrivate(const std::string& owner, const std::string& name,
                                     const std::string& value) {
  auto& options = FPrivate[owner];
  for (auto& option : options)
    if (option.first == name) {
      option.second = value;
      return;
    }
  options.emplace_back(name, value);
}

const std::vector<std::pair<std::string, std::string>>&
TGenericParameters::PrivateOptions(const std::string& owner) const {
  static const std::vector<std::pair<std::string, std::string>> None;
  const auto found = FPrivate.find(owner);
  return found == FPrivate.end() ? None : found->second;
}

void TGenericParameters::AddPrivateOptions(const std::string& owner, AVDictionary** options) const {
  for (const auto& [name, value] : PrivateOptions(owner))
    av_dict_set(options, name.c_str(), value.c_str(), 0);
}

int TGenericParameters::ApplyToCodec(AVCodecContext* codec, TParameterTarget target) const {
  for (const std::string& name : FSetNames[target]) {
    uint8_t* value = nullptr;
    if (av_opt_get(FCodecs[target], name.c_str(), 0, &value) < 0) continue;
    const int result = av_opt_set(codec, name.c_str(), reinterpret_cast<const char*>(value), 0);
    av_free(value);
    if (result < 0) return result;
  }
  return 0;
}

} // namespace kavro
