#include "carve/carve_families.h"
#include "content/iso_bmff_check.h"

namespace salvex {

using namespace std::string_view_literals;

// ISO base media files: MP4, MOV, 3GP, M4A, HEIC and the like; the walk names which by the major brand.
CarveFormat IsoBmffFamily() {
  CarveFormat format;
  format.family = "mp4";
  format.aliases = {"mov", "m4a", "m4v", "3gp", "heic", "avif", "cr3"};
  format.signatures = {{4, "ftyp"sv}, {4, "moov"sv}, {4, "wide"sv}};
  format.header = LooksLikeIsoBmffStart;
  format.walk = WalkIsoBmff;
  return format;
}

}  // namespace salvex
