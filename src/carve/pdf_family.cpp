#include "carve/carve_families.h"
#include "content/pdf_check.h"

namespace salvex {

CarveFormat PdfFamily() {
  CarveFormat format;
  format.family = "pdf";
  format.signatures = {{0, "%PDF-"}};
  format.header = LooksLikePdfStart;
  format.walk = WalkPdf;
  format.searchedEverywhere = true;
  return format;
}

}  // namespace salvex
