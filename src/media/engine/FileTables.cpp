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

TInputFile::~TInputFile() {
  CloseInputContext(&Context);
}

TOutputFile::~TOutputFile() {
  for (TOutputStream& stream : Streams)
    avcodec_free_context(&stream.Codec);
  if (Context) {
    if (!(Context->oformat->flags & AVFMT_NOFILE)) CloseOutputIO(&Context->pb, Url);
    avformat_free_context(Context);
  }
  if (!HeaderWritten) RemoveCreatedFile();
}

void TOutputFile::RemoveCreatedFile() const {
  if (!CreatedFile) return;
  const std::string path = IsUnicodeURL(Url) ? WideToUtf8(URLToFileName(Url)) : Url;
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
}

} // namespace kavro
