#include "carve/carve_families.h"
#include "content/bmp_check.h"

namespace salvex {

CarveFormat BmpFamily() {
  CarveFormat format;
  format.family = "bmp";
  format.aliases = {"dib"};
  format.signatures = {{0, "BM"}};
  format.header = LooksLikeBmpStart;
  format.walk = [](ContentSource& source, IntactCheckBudget&) { return WalkBmp(source); };
  format.cutAtOtherStarts = true;
  return format;
}

}  // namespace salvex
