// The readable description of a probed file.
#include <cmath>
#include <ctime>
#include <set>

#include "AVProbe.h"
#include "FFUtils.h"
#include "platform/Exceptions.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/rational.h>
}

namespace kavro {
namespace {

// Every entry of a metadata block but "language", under the prefix; nothing when that is all.
void AppendMetadata(std::string& text, const AVDictionary* metadata, const std::string& prefix) {
  const AVDictionaryEntry* entry = nullptr;
  std::string lines;
  while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
    if (std::string(entry->key) != "language")
      lines += Format("\n%s  %-16s: %s", prefix.c_str(), MetadataKeyName(entry->key).c_str(), entry->value);
  if (!lines.empty()) text += "\n" + prefix + "Metadata:" + lines;
}

std::string RateText(AVRational rate, const char* unit) {
  const double value = av_q2d(rate);
  const long long hundredths = std::llround(value * 100);
  if (hundredths % 100) return Format(", %3.2f %s", value, unit);
  if (hundredths % 100000) return Format(", %1.0f %s", value, unit);
  return Format(", %1.0fk %s", value / 1000, unit);
}

std::string SecondsText(int64_t microseconds) {
  return Format("%d.%.6d", static_cast<int>(microseconds / 1000000),
                static_cast<int>(microseconds % 1000000));
}

// Local date and time of seconds since 1970 as "yyyy-mm-dd hh:nn:ss".
std::string LocalDateText(int64_t seconds) {
  const time_t value = static_cast<time_t>(seconds);
  std::tm local{};
  localtime_r(&value, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string MetadataOrNA(const AVDictionary* metadata, const char* key, const char* newerKey) {
  const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
  if (!entry) entry = av_dict_get(metadata, newerKey, nullptr, 0);
  return entry ? entry->value : "N/A";
}

} // namespace

std::string TCustomAVProbe::StreamLine(int index) const {
  const AVStream* stream = FContext->streams[index];
  const AVCodecParameters* codec = stream->codecpar;
  std::string line = Format("Stream #%d", index);
  if (FContext->iformat && (FContext->iformat->flags & AVFMT_SHOW_IDS)) line += Format("[0x%x]", stream->id);
  if (const AVDictionaryEntry* language = av_dict_get(stream->metadata, "language", nullptr, 0))
    line += Format("(%s)", language->value);
  int divisor = static_cast<int>(av_gcd(stream->time_base.num, stream->time_base.den));
  if (divisor == 0) divisor = 1;
  line += Format(", %d/%d", stream->time_base.num / divisor, stream->time_base.den / divisor);

  char description[256] = "";
  if (AVCodecContext* context = avcodec_alloc_context3(nullptr)) {
    if (avcodec_parameters_to_context(context, codec) >= 0)
      avcodec_string(description, sizeof description, context, 0);
    avcodec_free_context(&context);
  }
  line += std::string(": ") + description;
  const AVRational par = stream->sample_aspect_ratio;
  if (par.num && av_cmp_q(par, codec->sample_aspect_ratio) != 0) {
    AVRational dar;
    av_reduce(&dar.num, &dar.den, static_cast<int64_t>(codec->width) * par.num,
              static_cast<int64_t>(codec->height) * par.den, 1024 * 1024);
    line += Format(", PAR %d:%d DAR %d:%d", par.num, par.den, dar.num, dar.den);
  }
  if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
    if (stream->avg_frame_rate.num && stream->avg_frame_rate.den)
      line += RateText(stream->avg_frame_rate, "fps");
    if (stream->r_frame_rate.num && stream->r_frame_rate.den) line += RateText(stream->r_frame_rate, "tbr");
    if (stream->time_base.num && stream->time_base.den) line += RateText(av_inv_q(stream->time_base), "tbn");
  }
  if (stream->start_time != AV_NOPTS_VALUE && stream->time_base.num)
    line += ", StartTime: " +
            SecondsText(av_rescale_q(stream->start_time, stream->time_base, AVRational{1, 1000000}));
  if (stream->duration == AV_NOPTS_VALUE || !stream->time_base.num)
    line += ", Duration: N/A";
  else
    line +=
        ", Duration: " + TimeText(av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000000}));
  AppendMetadata(line, stream->metadata, "  ");
  return line;
}

std::string TCustomAVProbe::GetInfoText() {
  if (!FContext) {
    FLastErrMsg = "file not loaded.";
    return "";
  }
  std::string text = "File Name: " + WideToNarrow(FileName());
  text += "\nFormat Name: " + FormatName();
  const char* longName = FContext->iformat ? FContext->iformat->long_name : nullptr;
  text += Format("\nFormat Long Name: %s", longName ? longName : "");
  text += "\nFile Size: " + SizeText(FFileSize);
  const int64_t duration = FContext->duration == AV_NOPTS_VALUE ? -1 : FContext->duration;
  text += duration < 0 ? "\nDuration: N/A" : "\nDuration: " + TimeText(duration);
  if (FContext->start_time != AV_NOPTS_VALUE && FContext->start_time >= 0)
    text += "\nStartTime: " + SecondsText(FContext->start_time);
  text += FContext->bit_rate < 1 ? "\nBit Rate: N/A"
                                 : Format("\nBit Rate: %d kb/s", static_cast<int>(FContext->bit_rate / 1000));
  TFileStreamInfo info;
  GetFileInfo(info);
  if (info.TimeStamp > 0) text += "\nTime Stamp: " + LocalDateText(info.TimeStamp);
  AppendMetadata(text, FContext->metadata, "");

  std::set<unsigned> listed;
  for (unsigned p = 0; p < FContext->nb_programs; ++p) {
    const AVProgram* program = FContext->programs[p];
    // Today's demuxers name a program's provider and name "service_provider" and "service_name".
    const std::string provider = MetadataOrNA(program->metadata, "provider_name", "service_provider");
    const std::string programName = MetadataOrNA(program->metadata, "name", "service_name");
    text += Format("\nProgram %d %s", program->id, (provider + "@" + programName).c_str());
    AppendMetadata(text, program->metadata, "  ");
    for (unsigned s = 0; s < program->nb_stream_indexes; ++s) {
      const unsigned index = program->stream_index[s];
      if (index >= FContext->nb_streams || !listed.insert(index).second) continue;
      text += "\n" + StreamLine(static_cast<int>(index));
    }
  }
  for (unsigned index = 0; index < FContext->nb_streams; ++index)
    if (!listed.count(index)) text += "\n" + StreamLine(static_cast<int>(index));
  return text;
}

} // namespace kavro
