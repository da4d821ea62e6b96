#include "content/png_check.h"

#include <algorithm>
#include <array>

#include "content/inflate_check.h"

namespace salvex {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// No chunk is longer than this, by the format's own rule.
constexpr std::uint32_t kMaxChunk = 0x7FFFFFFF;

bool IsLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool LooksLikePngStart(Bytes start) {
  return start.size() >= 16 && std::equal(kSignature.begin(), kSignature.end(), start.begin()) &&
         u32be(start, 8) == 13 && HasText(start, 12, "IHDR");
}

ContentExtent WalkPng(ContentSource& source) {
  const Bytes start = source.Read(0, 16);
  if (!LooksLikePngStart(start)) return ContentExtent::NotThisKind("no PNG signature and IHDR chunk");
  std::uint64_t at = 8;
  while (true) {
    if (!SourceFits(source, at, 12)) return ContentExtent::CutShort(at, "ends before its IEND chunk");
    const std::uint32_t length = SourceU32be(source, at);
    const Bytes type = source.Read(at + 4, 4);
    if (length > kMaxChunk || !std::all_of(type.begin(), type.end(), IsLetter)) {
      return ContentExtent::Damaged(at, "a chunk whose type or length no writer makes");
    }
    const bool end = HasText(type, 0, "IEND");
    if (!SourceFits(source, at + 8, std::uint64_t{length} + 4)) return ContentExtent::CutShort(at, "ends inside a chunk");
    if (SourceCrc32(source, at + 4, std::uint64_t{length} + 4) != SourceU32be(source, at + 8 + length)) {
      return ContentExtent::Damaged(at, "a chunk whose CRC does not match");
    }
    at += std::uint64_t{length} + 12;
    if (end) return ContentExtent::Whole(at);
  }
}

}  // namespace salvex
