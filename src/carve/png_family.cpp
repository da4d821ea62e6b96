#include "carve/carve_families.h"
#include "content/png_check.h"

namespace salvex {

CarveFormat PngFamily() {
  CarveFormat format;
  format.family = "png";
  format.signatures = {{0, "\x89PNG\r\n\x1A\n"}};
  format.header = LooksLikePngStart;
  format.walk = [](ContentSource& source, IntactCheckBudget&) { return WalkPng(source); };
  format.searchedEverywhere = true;
  return format;
}

}  // namespace salvex
