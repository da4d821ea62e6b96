#include "carve/carve_families.h"
#include "content/tiff_check.h"

namespace salvex {

using namespace std::string_view_literals;

// TIFF and the camera raw files built on it.
CarveFormat TiffFamily() {
  CarveFormat format;
  format.family = "tif";
  format.aliases = {"tiff", "cr2", "nef", "arw", "dng", "orf", "rw2", "pef", "raw"};
  format.signatures = {{0, "II*\0"sv}, {0, "MM\0*"sv}, {0, "IIRO"sv}, {0, "IIU\0"sv}, {0, "MMOR"sv}};
  format.header = LooksLikeTiffStart;
  format.walk = WalkTiff;
  return format;
}

}  // namespace salvex
