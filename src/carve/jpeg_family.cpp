#include "carve/carve_families.h"
#include "content/jpeg_check.h"

namespace salvex {
namespace {

// After the start-of-image marker comes a segment of the kinds writers put
// first (an APPn, tables, a comment or a frame), with a length it can have.
bool JpegHeader(Bytes start) {
  if (u8(start, 0) != 0xFF || u8(start, 1) != 0xD8 || u8(start, 2) != 0xFF) return false;
  const std::uint8_t marker = u8(start, 3);
  const bool usualFirst = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xDB || marker == 0xC4 || marker == 0xC0 ||
                          marker == 0xC2 || marker == 0xDD || marker == 0xFE;
  const std::uint16_t length = static_cast<std::uint16_t>(u8(start, 4) << 8 | u8(start, 5));
  return usualFirst && length >= 2;
}

ContentExtent WalkJpegToItsEnd(ContentSource& source, IntactCheckBudget&) {
  JpegWalkOptions options;
  options.followAppended = true;
  return WalkJpeg(source, options).extent;
}

}  // namespace

CarveFormat JpegFamily() {
  CarveFormat format;
  format.family = "jpg";
  format.aliases = {"jpeg", "jpe", "jfif"};
  format.signatures = {{0, "\xFF\xD8\xFF"}};
  format.header = JpegHeader;
  format.walk = WalkJpegToItsEnd;
  format.searchedEverywhere = true;
  return format;
}

}  // namespace salvex
