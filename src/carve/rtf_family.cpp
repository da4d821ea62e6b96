#include "carve/carve_families.h"
#include "content/rtf_check.h"

namespace salvex {

using namespace std::string_view_literals;

// RTF: groups that close.
CarveFormat RtfFamily() {
  CarveFormat format;
  format.family = "rtf";
  format.signatures = {{0, "{\\rtf"sv}};
  format.header = LooksLikeRtfStart;
  format.walk = WalkRtf;
  return format;
}

}  // namespace salvex
