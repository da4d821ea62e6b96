#include "carve/carve_families.h"
#include "content/archive_checks.h"

namespace salvex {

using namespace std::string_view_literals;

// gzip: members inflated to their CRC-32.
CarveFormat GzipFamily() {
  CarveFormat format;
  format.family = "gz";
  format.aliases = {"gzip"};
  format.signatures = {{0, "\x1F\x8B\x08"sv}};
  format.header = LooksLikeGzipStart;
  format.walk = WalkGzip;
  return format;
}

}  // namespace salvex
