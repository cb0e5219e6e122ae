// The generic parameters of a task: option names outside the option table are set in one codec
// parameter context per media type, the format context or the scaler context, and the names set so
// far are kept for the codecs and containers opened later. A name that none of them knows may still
// be a private option of the encoder chosen for a media type, or of the forced output format; such
// values are checked, kept, and applied when that encoder or format is opened. Owner's thread only.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct SwsContext;

namespace kavro {

// The contexts in the order the setter tries them.
enum TParameterTarget { ptVideo, ptAudio, ptData, ptSubtitle, ptAttachment, ptFormat, ptScaler };
constexpr int ParameterTargetCount = 7;
constexpr int ScalerFlagsDefault = 4; // bicubic

// Who owns private options right now: the encoder names chosen per media type and the forced format.
struct TPrivateOptionOwners {
  std::string VideoEncoder;
  std::string AudioEncoder;
  std::string SubtitleEncoder;
  std::string Format;
};

enum TSetResult { srSet, srRejected, srUnknown };

class TGenericParameters {
public:
  TGenericParameters();
  ~TGenericParameters();
  TGenericParameters(const TGenericParameters&) = delete;
  TGenericParameters& operator=(const TGenericParameters&) = delete;

  // Frees every context and creates them anew; forgets the names and private options.
  void Reset();

  // Sets name to value; logs "Invalid value "%s" for option "%s"" for a rejected value. With a media
  // type given (ptVideo, ptAudio or ptSubtitle), the codec contexts and encoders of the other media
  // types are left alone: a video preset sets video parameters only.
  TSetResult Set(const std::string& name, const std::string& value, const TPrivateOptionOwners& owners,
                 int onlyType = -1);
  // Restricted to one codec context (the bit-rate options of the old vocabulary).
  TSetResult SetOn(TParameterTarget target, const std::string& name, const std::string& value);

  AVCodecContext* CodecContext(TParameterTarget target) const;
  AVFormatContext* FormatContext() const { return FFormat; }
  SwsContext* ScalerContext() const { return FScaler; }
  const std::vector<std::string>& SetNames(TParameterTarget target) const { return FSetNames[target]; }

  // Gives a newly made codec context the values set for its media type; < 0 when one is refused.
  int ApplyToCodec(AVCodecContext* codec, TParameterTarget target) const;
  // Adds the private options kept for that encoder (or muxer) to an option dictionary.
  void AddPrivateOptions(const std::string& owner, AVDictionary** options) const;
  const std::vector<std::pair<std::string, std::string>>& PrivateOptions(const std::string& owner) const;

  // How often Set was called since the last Reset, for tests of the option table.
  int SetCalls() const { return FSetCalls; }

private:
  void* Context(int target) const;
  void Remember(int target, const std::string& name);
  TSetResult SetPrivate(const std::string& name, const std::string& value, const TPrivateOptionOwners& owners,
                        int onlyType);
  void KeepPrivate(const std::string& owner, const std::string& name, const std::string& value);
  void Free();

  AVCodecContext* FCodecs[5] = {};
  AVFormatContext* FFormat = nullptr;
  SwsContext* FScaler = nullptr;
  std::vector<std::string> FSetNames[ParameterTargetCount];
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> FPrivate;
  int FSetCalls = 0;
};

} // namespace kavro
