#include <algorithm>

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

// Coded data decodes on through foreign bytes for a while before it fails.
// Bytes no coder writes mark where they began sooner: a stretch with no
// 0xFF at all and nearly every byte below 0x80 (text, or zeros) cannot be
// Huffman-coded data, whose bytes are spread over all values.
constexpr std::size_t kStretch = 2048;

bool LooksForeign(Bytes stretch) {
  std::size_t low = 0;
  for (const std::uint8_t byte : stretch) {
    if (byte == 0xFF) return false;
    if (byte < 0x80) ++low;
  }
  return low * 20 >= stretch.size() * 19;
}

std::uint64_t FirstForeignStretch(ContentSource& source, std::uint64_t from, std::uint64_t to) {
  for (std::uint64_t at = (from + 511) / 512 * 512; at + kStretch <= to; at += 512) {
    if (LooksForeign(source.Read(at, kStretch))) return at;
  }
  return to;
}

ContentExtent WalkJpegToItsEnd(ContentSource& source, IntactCheckBudget&) {
  JpegWalkOptions options;
  options.followAppended = true;
  JpegWalk walk = WalkJpeg(source, options);
  // Where the decoding failed, or the foreign bytes that made it fail
  // began: the block holding that is where the damage starts.
  if (walk.extent.soundness == Soundness::damaged && walk.decoded && walk.failedAt > walk.scanData) {
    walk.extent.soundUpTo = std::min(walk.failedAt, FirstForeignStretch(source, walk.scanData, walk.failedAt));
  }
  return walk.extent;
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
  format.damageSeenLate = true;
  return format;
}

}  // namespace salvex
