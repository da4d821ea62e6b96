#include "carve/carve_families.h"
#include "content/zip_check.h"

namespace salvex {

// ZIP and the formats built on it: the walk names which by the members.
CarveFormat ZipFamily() {
  CarveFormat format;
  format.family = "zip";
  format.aliases = {"docx", "xlsx", "pptx", "odt", "ods", "odp", "odg", "epub", "jar", "apk"};
  format.signatures = {{0, "PK\x03\x04"}};
  format.header = LooksLikeZipStart;
  format.walk = WalkZip;
  return format;
}

}  // namespace salvex
