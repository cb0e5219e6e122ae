#include "engine/BuiltinPresets.h"

#include <strings.h>

namespace kavro {
namespace {

// The x264 speed presets and their first passes, lossless quantiser 0, profiles, and the
// device presets of this program, in the vocabulary of today's libx264.
#define KAVRO_DEVICE_SHARED(coder, partitions)                                                               \
  "coder=" coder "\nflags=+loop\ncmp=chroma\npartitions=" partitions "\nme_method=umh\nsubq=7\n"             \
  "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"   \
  "qmax=51\nqdiff=4\n"
#define KAVRO_DEVICE_TAIL "refs=1\ndirect-pred=spatial\ntrellis=2\n"
#define KAVRO_DEVICE_RATE_TAIL "bufsize=4000000\nbt=256000\nsc_threshold=40\n"

constexpr TBuiltinPreset Presets[] = {
    {"libx264-baseline", "profile=66\ncoder=0\nbf=0\nweightb=0\n8x8dct=0\nwpredp=0\n"},
    {"libx264-default", "preset=medium\n"},
    {"libx264-fast", "preset=fast\n"},
    {"libx264-fast_firstpass", "preset=fast\nfastfirstpass=1\n"},
    {"libx264-faster", "preset=faster\n"},
    {"libx264-faster_firstpass", "preset=faster\nfastfirstpass=1\n"},
    {"libx264-fastfirstpass", "preset=fast\nfastfirstpass=1\n"},
    {"libx264-hq", "preset=slow\n"},
    {"libx264-ipod320", "profile=66\nlevel=30\ncoder=0\nbf=0\nweightb=0\n8x8dct=0\nwpredp=0\nmaxrate=768000\n"
                        "bufsize=3000000\n"},
    {"libx264-ipod640",
     "profile=66\nlevel=30\ncoder=0\nbf=0\nweightb=0\n8x8dct=0\nwpredp=0\nmaxrate=10000000\n"
     "bufsize=10000000\n"},
    {"libx264-lossless_fast", "preset=fast\nqp=0\n"},
    {"libx264-lossless_max", "preset=placebo\nqp=0\n"},
    {"libx264-lossless_medium", "preset=medium\nqp=0\n"},
    {"libx264-lossless_slow", "preset=slow\nqp=0\n"},
    {"libx264-lossless_slower", "preset=slower\nqp=0\n"},
    {"libx264-lossless_ultrafast", "preset=ultrafast\nqp=0\n"},
    {"libx264-main", "profile=77\n8x8dct=0\n"},
    {"libx264-max", "preset=placebo\n"},
    {"libx264-medium", "preset=medium\n"},
    {"libx264-medium_firstpass", "preset=medium\nfastfirstpass=1\n"},
    {"libx264-normal", "preset=medium\n"},
    {"libx264-placebo", "preset=placebo\n"},
    {"libx264-placebo_firstpass", "preset=placebo\nfastfirstpass=1\n"},
    {"libx264-slow", "preset=slow\n"},
    {"libx264-slow_firstpass", "preset=slow\nfastfirstpass=1\n"},
    {"libx264-slower", "preset=slower\n"},
    {"libx264-slower_firstpass", "preset=slower\nfastfirstpass=1\n"},
    {"libx264-slowfirstpass", "preset=slow\nfastfirstpass=1\n"},
    {"libx264-superfast", "preset=superfast\n"},
    {"libx264-superfast_firstpass", "preset=superfast\nfastfirstpass=1\n"},
    {"libx264-ultrafast", "preset=ultrafast\n"},
    {"libx264-ultrafast_firstpass", "preset=ultrafast\nfastfirstpass=1\n"},
    {"libx264-veryfast", "preset=veryfast\n"},
    {"libx264-veryfast_firstpass", "preset=veryfast\nfastfirstpass=1\n"},
    {"libx264-veryslow", "preset=veryslow\n"},
    {"libx264-veryslow_firstpass", "preset=veryslow\nfastfirstpass=1\n"},
    // Players decode one profile and level: the iPod Baseline 3.0, the PSP Main 3.0. A general MP4 is
    // Main, which every H.264 player decodes; it and the PS3 (High) take the level x264 finds for the
    // size and rate, and no cap on the user's rate.
    {"libx264-psp", "profile=77\nlevel=30\n" KAVRO_DEVICE_SHARED(
                        "1", "i4x4,p8x8,b8x8") "bf=3\n" KAVRO_DEVICE_TAIL
                                               "b=1250000\nmaxrate=1500000\n" KAVRO_DEVICE_RATE_TAIL},
    {"libx264-ps3", KAVRO_DEVICE_SHARED("1", "i4x4,i8x8,p8x8,b8x8") "bf=3\n" KAVRO_DEVICE_TAIL},
    {"libx264-ipod",
     "profile=66\nlevel=30\n" KAVRO_DEVICE_SHARED(
         "0", "i4x4,p8x8") "bf=0\n" KAVRO_DEVICE_TAIL "b=1000000\nmaxrate=1250000\n" KAVRO_DEVICE_RATE_TAIL},
    {"libx264-mp4",
     "profile=77\n" KAVRO_DEVICE_SHARED("1", "i4x4,i8x8,p8x8,b8x8") "bf=3\n" KAVRO_DEVICE_TAIL},
};

} // namespace

std::span<const TBuiltinPreset> BuiltinPresets() {
  return Presets;
}

const TBuiltinPreset* FindBuiltinPreset(const std::string& name) {
  for (const TBuiltinPreset& preset : Presets)
    if (strcasecmp(preset.Name, name.c_str()) == 0) return &preset;
  return nullptr;
}

} // namespace kavro
