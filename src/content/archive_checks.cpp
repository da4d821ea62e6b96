#include "content/archive_checks.h"

#include <algorithm>
#include <optional>

#include "content/inflate_check.h"

namespace salvex {
namespace {

constexpr std::uint64_t kMaxRarHeaders = 10'000'000;
constexpr int kMaxGzipMembers = 4096;

// RAR 5 numbers: seven bits a byte, low first, the top bit saying more
// follow. Nothing past ten bytes.
std::optional<std::uint64_t> ReadVint(Bytes bytes, std::size_t& at) {
  std::uint64_t value = 0;
  for (int shift = 0; shift < 70; shift += 7) {
    if (at >= bytes.size()) return std::nullopt;
    const std::uint8_t byte = bytes[at++];
    value |= std::uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0) return value;
  }
  return std::nullopt;
}

ContentExtent WalkRar5(ContentSource& source, IntactCheckBudget& budget) {
  std::uint64_t at = 8;
  for (std::uint64_t headers = 0; headers < kMaxRarHeaders; ++headers) {
    if (headers % 4096 == 0 && budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    const Bytes head = source.Read(at, 32);
    if (head.size() < 7) return ContentExtent::CutShort(at, "ends before its end-of-archive header");
    std::size_t i = 4;
    const std::optional<std::uint64_t> size = ReadVint(head, i);
    if (!size || *size == 0 || *size > (1u << 21)) return ContentExtent::Damaged(at, "a header size no archive has");
    const std::uint64_t headerEnd = at + i + *size;
    if (!SourceFits(source, at, headerEnd - at)) return ContentExtent::CutShort(at, "ends inside a header");
    if (SourceCrc32(source, at + 4, headerEnd - at - 4) != SourceU32le(source, at)) {
      return ContentExtent::Damaged(at, "a header whose CRC fails");
    }
    const Bytes fields = source.Read(at + i, static_cast<std::size_t>(std::min<std::uint64_t>(*size, 64)));
    std::size_t j = 0;
    const std::optional<std::uint64_t> type = ReadVint(fields, j);
    const std::optional<std::uint64_t> flags = ReadVint(fields, j);
    if (!type || !flags) return ContentExtent::Damaged(at, "a header without its type");
    if ((*flags & 1) && !ReadVint(fields, j)) return ContentExtent::Damaged(at, "a header without its extra size");
    std::uint64_t data = 0;
    if (*flags & 2) {
      const std::optional<std::uint64_t> dataSize = ReadVint(fields, j);
      if (!dataSize) return ContentExtent::Damaged(at, "a header without its data size");
      data = *dataSize;
    }
    if (*type == 5) return ContentExtent::Unchecked(headerEnd);
    if (data > source.Size() - std::min(source.Size(), headerEnd)) return ContentExtent::CutShort(at, "ends inside a file's data");
    at = headerEnd + data;
  }
  return ContentExtent::Damaged(at, "more headers than any archive has");
}

ContentExtent WalkRar4(ContentSource& source, IntactCheckBudget& budget) {
  std::uint64_t at = 7;
  for (std::uint64_t headers = 0; headers < kMaxRarHeaders; ++headers) {
    if (headers % 4096 == 0 && budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    if (!SourceFits(source, at, 7)) return ContentExtent::CutShort(at, "ends before its end-of-archive block");
    const std::uint16_t crc = SourceU16le(source, at);
    const std::uint8_t type = SourceU8(source, at + 2);
    const std::uint16_t flags = SourceU16le(source, at + 3);
    const std::uint16_t size = SourceU16le(source, at + 5);
    if (type < 0x72 || type > 0x7B || size < 7) return ContentExtent::Damaged(at, "a block of no type RAR has");
    if (!SourceFits(source, at, size)) return ContentExtent::CutShort(at, "ends inside a block header");
    const std::optional<std::uint32_t> sum = SourceCrc32(source, at + 2, size - 2u);
    if (!sum || (*sum & 0xFFFF) != crc) return ContentExtent::Damaged(at, "a block whose CRC fails");
    std::uint64_t data = 0;
    if (flags & 0x8000) {
      data = SourceU32le(source, at + 7);
      // Files over 4 GiB keep the high half of their packed size further on.
      if (type == 0x74 && (flags & 0x100)) data |= std::uint64_t{SourceU32le(source, at + 32)} << 32;
    }
    if (type == 0x7B) return ContentExtent::Unchecked(at + size);
    if (data > source.Size() - (at + size)) return ContentExtent::CutShort(at, "ends inside a file's data");
    at += size + data;
  }
  return ContentExtent::Damaged(at, "more blocks than any archive has");
}

}  // namespace

bool LooksLikeSevenZipStart(Bytes start) {
  static constexpr std::uint8_t kSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  if (start.size() < 32 || !std::equal(std::begin(kSignature), std::end(kSignature), start.begin()) || start[6] != 0) {
    return false;
  }
  SpanSource header(start);
  return SourceCrc32(header, 12, 20) == u32le(start, 8);
}

ContentExtent WalkSevenZip(ContentSource& source, IntactCheckBudget&) {
  if (!LooksLikeSevenZipStart(source.Read(0, 32))) return ContentExtent::NotThisKind("no 7z start header");
  const std::uint64_t offset = SourceU64le(source, 12);
  const std::uint64_t size = SourceU64le(source, 20);
  const std::uint32_t crc = SourceU32le(source, 28);
  if (offset > (std::uint64_t{1} << 40) || size == 0 || size > (std::uint64_t{1} << 30)) {
    return ContentExtent::Damaged(0, "a header past any archive's size");
  }
  const std::uint64_t end = 32 + offset + size;
  if (!SourceFits(source, 0, end)) return ContentExtent::CutShort(0, "its header lies past the bytes at hand");
  if (SourceCrc32(source, 32 + offset, size) != crc) return ContentExtent::Damaged(0, "a header whose CRC fails");
  // The header is plain (1) or packed (0x17).
  const std::uint8_t kind = SourceU8(source, 32 + offset);
  if (kind != 0x01 && kind != 0x17) return ContentExtent::Damaged(0, "a header of no kind 7z has");
  return ContentExtent::Unchecked(end);
}

bool LooksLikeRarStart(Bytes start) {
  if (!HasText(start, 0, "Rar!\x1A\x07") || start.size() < 10) return false;
  return (u8(start, 6) == 0 && u8(start, 9) == 0x73) || (u8(start, 6) == 1 && u8(start, 7) == 0);
}

ContentExtent WalkRar(ContentSource& source, IntactCheckBudget& budget) {
  const Bytes start = source.Read(0, 16);
  if (!LooksLikeRarStart(start)) return ContentExtent::NotThisKind("no RAR signature");
  ContentExtent extent = u8(start, 6) == 1 ? WalkRar5(source, budget) : WalkRar4(source, budget);
  return extent;
}

bool LooksLikeGzipStart(Bytes start) {
  return u8(start, 0) == 0x1F && u8(start, 1) == 0x8B && u8(start, 2) == 8 && (u8(start, 3) & 0xE0) == 0 &&
         (u8(start, 8) == 0 || u8(start, 8) == 2 || u8(start, 8) == 4) &&
         (u8(start, 9) <= 13 || u8(start, 9) == 255);
}

ContentExtent WalkGzip(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeGzipStart(source.Read(0, 10))) return ContentExtent::NotThisKind("no gzip header");
  std::uint64_t at = 0;
  std::uint64_t spent = 0;  // bytes inflated for this file, over all its members
  for (int member = 0; member < kMaxGzipMembers; ++member) {
    if (member > 0 && !LooksLikeGzipStart(source.Read(at, 10))) break;
    const std::uint8_t flags = SourceU8(source, at + 3);
    std::uint64_t data = at + 10;
    if (flags & 0x04) data += 2 + std::uint64_t{SourceU16le(source, data)};
    for (const std::uint8_t text : {std::uint8_t{0x08}, std::uint8_t{0x10}}) {
      if ((flags & text) == 0) continue;
      // A zero-terminated name or comment, at most 64 KiB.
      const Bytes field = source.Read(data, 65536);
      const auto zero = std::find(field.begin(), field.end(), 0);
      if (zero == field.end()) return ContentExtent::CutShort(at, "ends inside its header");
      data += static_cast<std::uint64_t>(zero - field.begin()) + 1;
    }
    if (flags & 0x02) data += 2;
    // The members share the file's budget and the run's, as a ZIP's do.
    const std::uint64_t allowed = std::min(budget.perFile - std::min(spent, budget.perFile), budget.leftInRun);
    const InflateResult inflated = InflateFrom(source, data, false, allowed, budget.stop);
    const std::uint64_t cost = std::min(inflated.produced, allowed);
    spent += cost;
    budget.leftInRun -= cost;
    switch (inflated.end) {
      case InflateResult::End::streamEnd: break;
      case InflateResult::End::stopped: return ContentExtent::Unjudged(0, "stopped");
      case InflateResult::End::tooLong:
        ++budget.filesOverBudget;
        return ContentExtent::Unjudged(0, "more than a check inflates");
      case InflateResult::End::cutShort: return ContentExtent::CutShort(at, "ends inside its deflate stream");
      case InflateResult::End::damaged: return ContentExtent::Damaged(at, "a deflate stream that does not inflate");
    }
    const std::uint64_t trailer = data + inflated.packed;
    if (!SourceFits(source, trailer, 8)) return ContentExtent::CutShort(at, "ends before its trailer");
    if (SourceU32le(source, trailer) != inflated.crc ||
        SourceU32le(source, trailer + 4) != static_cast<std::uint32_t>(inflated.produced)) {
      return ContentExtent::Damaged(at, "a trailer whose CRC or size does not match");
    }
    at = trailer + 8;
  }
  return ContentExtent::Whole(at);
}

}  // namespace salvex
