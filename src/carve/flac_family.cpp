#include "carve/carve_families.h"
#include "content/flac_check.h"

namespace salvex {

using namespace std::string_view_literals;

// FLAC: frames whose CRCs hold.
CarveFormat FlacFamily() {
  CarveFormat format;
  format.family = "flac";
  format.signatures = {{0, "fLaC"sv}};
  format.header = LooksLikeFlacStart;
  format.walk = WalkFlac;
  return format;
}

}  // namespace salvex
