#include "carve/carve_families.h"
#include "content/ogg_check.h"

namespace salvex {

using namespace std::string_view_literals;

// Ogg: pages whose CRCs hold; the walk names the codec.
CarveFormat OggFamily() {
  CarveFormat format;
  format.family = "ogg";
  format.aliases = {"opus", "oga", "ogv"};
  format.signatures = {{0, "OggS"sv}};
  format.header = LooksLikeOggStart;
  format.walk = WalkOgg;
  return format;
}

}  // namespace salvex
