#include "engine/FileTables.h"

#include <sys/stat.h>
#include <unistd.h>

#include "FFUtils.h"
#include "UnicodeProtocol.h"
#include "platform/WideString.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kavro {
namespace {

std::string PathOf(const std::string& url) {
  return IsUnicodeURL(url) ? WideToUtf8(URLToFileName(url)) : url;
}

} // namespace

TInputFile::~TInputFile() {
  CloseInputContext(&Context);
}

TOutputFile::~TOutputFile() {
  for (TOutputStream& stream : Streams) {
    if (stream.Codec) av_freep(&stream.Codec->stats_in); // a second pass's statistics belong to us
    avcodec_free_context(&stream.Codec);
  }
  CloseIO();
  avformat_free_context(Context);
  if (!HeaderWritten) RemoveCreatedFile();
}

int TOutputFile::CloseIO() {
  if (!Context || (Context->oformat->flags & AVFMT_NOFILE) || !Context->pb) return 0;
  return Target.Close(Context);
}

void TOutputFile::RemoveCreatedFile() const {
  if (!CreatedFile) return;
  const std::string path = PathOf(Url);
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
}

int64_t TOutputFile::DiskSize() const {
  struct stat info;
  return lstat(PathOf(Url).c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

} // namespace kavro
