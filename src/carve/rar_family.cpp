#include "carve/carve_families.h"
#include "content/archive_checks.h"

namespace salvex {

using namespace std::string_view_literals;

// RAR 4 and 5: headers whose CRCs hold, to the end-of-archive header.
CarveFormat RarFamily() {
  CarveFormat format;
  format.family = "rar";
  format.signatures = {{0, "Rar!\x1A\x07"sv}};
  format.header = LooksLikeRarStart;
  format.walk = WalkRar;
  return format;
}

}  // namespace salvex
