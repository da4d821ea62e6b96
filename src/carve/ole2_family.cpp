#include "carve/carve_families.h"
#include "content/ole2_check.h"

namespace salvex {

using namespace std::string_view_literals;

// Compound files (DOC, XLS, PPT, MSG): the pictures a document holds are looked for inside it.
CarveFormat Ole2Family() {
  CarveFormat format;
  format.family = "ole";
  format.aliases = {"doc", "xls", "ppt", "msg"};
  format.signatures = {{0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv}};
  format.header = LooksLikeOle2Start;
  format.walk = WalkOle2;
  format.holdsFiles = true;
  return format;
}

}  // namespace salvex
