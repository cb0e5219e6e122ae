#include "FFUtils.h"

#include <sys/stat.h>

#include "UnicodeProtocol.h"
#include "platform/Exceptions.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace kavro {

std::string TimeText(int64_t microseconds) {
  if (microseconds < 0) return "N/A";
  const int64_t milliseconds = microseconds / 1000;
  return Format("%.2d:%.2d:%.2d.%.3d", static_cast<int>(milliseconds / 3600000),
                static_cast<int>(milliseconds / 60000 % 60), static_cast<int>(milliseconds / 1000 % 60),
                static_cast<int>(milliseconds % 1000));
}

std::string SizeText(int64_t bytes) {
  if (bytes <= 1024) return Format("%d Byte", static_cast<int>(bytes));
  if (bytes <= 1048576) return Format("%.2f KB", bytes / 1024.0);
  if (bytes <= 1073741824) return Format("%.2f MB", bytes / 1048576.0);
  return Format("%.2f GB", bytes / 1073741824.0);
}

std::string ErrorText(const std::string& prefix, int code) {
  const char* text = nullptr;
  switch (code) {
  case AVERROR(ENOENT):
    text = "No such file or directory";
    break;
  case AVERROR(EIO):
    text = "I/O error";
    break;
  case AVERROR(ENOMEM):
    text = "Not enough memory";
    break;
  case AVERROR(EINVAL):
    text = "Invalid argument";
    break;
  case AVERROR_INVALIDDATA:
    text = "Invalid data found when processing input";
    break;
  case AVERROR(EPIPE):
  case AVERROR_EOF:
    text = "End of file";
    break;
  case AVERROR(EDOM):
    text = "Number syntax expected in filename";
    break;
  case AVERROR(EILSEQ):
  case AVERROR_DEMUXER_NOT_FOUND:
  case AVERROR_MUXER_NOT_FOUND:
    text = "Unknown format";
    break;
  case -10043:
  case AVERROR_PROTOCOL_NOT_FOUND:
    text = "Unsupported network protocol";
    break;
  case AVERROR_PATCHWELCOME:
    text = "Not yet implemented in FFmpeg";
    break;
  default:
    break;
  }
  if (text) return prefix + ": " + text;
  // Codes the table does not name: the libraries' own text ("Error number %d occurred" when they
  // know none either).
  char buffer[AV_ERROR_MAX_STRING_SIZE];
  av_strerror(code, buffer, sizeof buffer);
  return prefix + ": " + buffer;
}

std::string MediaTypeName(int mediaType) {
  static const char* const Names[] = {"Video", "Audio", "Data", "Subtitle", "Attachment"};
  return mediaType >= 0 && mediaType < 5 ? Names[mediaType] : "Unknown";
}

int OpenInputContext(AVFormatContext** context, const std::wstring& fileName, const AVInputFormat* format,
                     AVDictionary** options) {
  const std::string url = FileNameToURL(fileName);
  AVIOContext* io = nullptr;
  struct stat info;
  const bool waits = stat(url.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode));
  if (IsUnicodeURL(url) || waits) {
    if (!*context) *context = avformat_alloc_context();
    const int result = TUnicodeFile::OpenIOContext(url, omRead, &io, &(*context)->interrupt_callback);
    if (result < 0) {
      avformat_free_context(*context);
      *context = nullptr;
      return result;
    }
    (*context)->pb = io;
  }
  const int result = avformat_open_input(context, url.c_str(), format, options);
  // The libraries free the container on failure, never a custom I/O context.
  if (result < 0 && io) TUnicodeFile::CloseIOContext(&io);
  return result;
}

void CloseInputContext(AVFormatContext** context) {
  if (!*context) return;
  AVIOContext* io = ((*context)->flags & AVFMT_FLAG_CUSTOM_IO) ? (*context)->pb : nullptr;
  avformat_close_input(context);
  TUnicodeFile::CloseIOContext(&io);
}

std::string UnsafeFilterText(const AVFilterGraph* graph) {
  // libpostproc copies lines from before the picture when it is 16 to 31 lines high; lower pictures
  // are refused alike, so the rule is one number a user can be told.
  constexpr int PostprocessMinimumHeight = 32;
  for (unsigned i = 0; graph && i < graph->nb_filters; ++i) {
    const AVFilterContext* filter = graph->filters[i];
    if (std::string(filter->filter->name) != "pp" || filter->nb_inputs == 0 || !filter->inputs[0]) continue;
    const int height = filter->inputs[0]->h;
    if (height < PostprocessMinimumHeight)
      return "the pp filter takes pictures at least " + std::to_string(PostprocessMinimumHeight) +
             " lines high, not " + std::to_string(filter->inputs[0]->w) + "x" + std::to_string(height);
  }
  return "";
}

} // namespace kavro
