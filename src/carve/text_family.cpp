#include "carve/carve_families.h"
#include "content/text_check.h"

namespace salvex {

// Plain text, CSV, HTML, XML and JSON, by a conservative rule; tried last, and only where a cluster begins.
CarveFormat TextFamily() {
  CarveFormat format;
  format.family = "txt";
  format.aliases = {"text", "csv", "html", "xml", "json"};
  format.header = LooksLikeTextStart;
  format.walk = WalkText;
  format.startsWithText = true;
  format.onlyAtBlockStarts = true;
  format.openEnded = true;
  return format;
}

}  // namespace salvex
