#include "engine/Deinterlacer.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace kavro {

bool DeinterlacePicture(const AVFrame* source, AVFrame* target) {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(source->format));
  if (!format || !(format->flags & AV_PIX_FMT_FLAG_PLANAR) || (format->flags & AV_PIX_FMT_FLAG_HWACCEL))
    return false;
  for (int c = 0; c < format->nb_components; ++c)
    if (format->comp[c].depth != 8) return false;
  const int planes = av_pix_fmt_count_planes(static_cast<AVPixelFormat>(source->format));
  for (int p = 0; p < planes; ++p) {
    const bool chroma = p == 1 || p == 2;
    const int width = chroma ? AV_CEIL_RSHIFT(source->width, format->log2_chroma_w) : source->width;
    const int height = chroma ? AV_CEIL_RSHIFT(source->height, format->log2_chroma_h) : source->height;
    for (int y = 0; y < height; ++y) {
      const uint8_t* above =
          source->data[p] + static_cast<ptrdiff_t>(y > 0 ? y - 1 : y) * source->linesize[p];
      const uint8_t* line = source->data[p] + static_cast<ptrdiff_t>(y) * source->linesize[p];
      const uint8_t* below =
          source->data[p] + static_cast<ptrdiff_t>(y + 1 < height ? y + 1 : y) * source->linesize[p];
      uint8_t* out = target->data[p] + static_cast<ptrdiff_t>(y) * target->linesize[p];
      for (int x = 0; x < width; ++x)
        out[x] = static_cast<uint8_t>((above[x] + 2 * line[x] + below[x] + 2) >> 2);
    }
  }
  return true;
}

} // namespace kavro
