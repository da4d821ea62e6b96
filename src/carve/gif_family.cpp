#include "carve/carve_families.h"
#include "content/gif_check.h"

namespace salvex {

CarveFormat GifFamily() {
  CarveFormat format;
  format.family = "gif";
  format.signatures = {{0, "GIF87a"}, {0, "GIF89a"}};
  format.header = LooksLikeGifStart;
  format.walk = [](ContentSource& source, IntactCheckBudget&) { return WalkGif(source); };
  format.searchedEverywhere = true;
  return format;
}

}  // namespace salvex
