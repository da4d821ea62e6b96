#include "carve/carve_families.h"
#include "content/archive_checks.h"

namespace salvex {

using namespace std::string_view_literals;

// 7z: a start header and a header whose CRCs hold.
CarveFormat SevenZipFamily() {
  CarveFormat format;
  format.family = "7z";
  format.signatures = {{0, "7z\xBC\xAF\x27\x1C"sv}};
  format.header = LooksLikeSevenZipStart;
  format.walk = WalkSevenZip;
  return format;
}

}  // namespace salvex
