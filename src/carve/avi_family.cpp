#include "carve/carve_families.h"
#include "content/riff_check.h"

namespace salvex {

using namespace std::string_view_literals;

namespace {

bool LooksLikeAviStart(Bytes start) { return LooksLikeRiffStart(start) && HasText(start, 8, "AVI "); }

}  // namespace

// AVI: a RIFF file of the AVI form, walked chunk by chunk and held against its index.
CarveFormat AviFamily() {
  CarveFormat format;
  format.family = "avi";
  format.signatures = {{0, "RIFF"sv}};
  format.header = LooksLikeAviStart;
  format.walk = WalkRiff;
  return format;
}

}  // namespace salvex
