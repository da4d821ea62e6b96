#include "carve/carve_families.h"
#include "content/riff_check.h"

namespace salvex {

using namespace std::string_view_literals;

namespace {

bool LooksLikeWavOrWebpStart(Bytes start) {
  return LooksLikeRiffStart(start) && (HasText(start, 8, "WAVE") || HasText(start, 8, "WEBP"));
}

}  // namespace

// WAV and WebP: RIFF files whose one data or picture chunk carries no check, so a sector inside that starts another
// file is where they were overwritten.
CarveFormat WavFamily() {
  CarveFormat format;
  format.family = "wav";
  format.aliases = {"webp"};
  format.signatures = {{0, "RIFF"sv}};
  format.header = LooksLikeWavOrWebpStart;
  format.walk = WalkRiff;
  format.cutAtOtherStarts = true;
  return format;
}

}  // namespace salvex
