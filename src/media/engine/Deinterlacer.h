// A deinterlacer of our own for planar pictures with 8-bit samples: every line becomes a blend of
// itself and its neighbours (1:2:1), which removes the comb of interlaced motion.
#pragma once

struct AVFrame;

namespace kavro {

// Writes the deinterlaced source into target (same size and format); False for a format it does
// not handle.
bool DeinterlacePicture(const AVFrame* source, AVFrame* target);

} // namespace kavro
