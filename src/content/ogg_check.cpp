#include "content/ogg_check.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint64_t kMaxPages = 50'000'000;
constexpr std::size_t kMaxStreams = 256;

// Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, starting from 0.
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    table[i] = crc;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

std::uint32_t Crc(std::uint32_t crc, Bytes bytes) {
  for (const std::uint8_t byte : bytes) crc = (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
  return crc;
}

enum class PageCheck { ok, cutShort, damaged };

struct Page {
  std::uint8_t flags = 0;
  std::uint32_t serial = 0;
  std::uint32_t sequence = 0;
  std::uint64_t length = 0;
};

PageCheck ReadPage(ContentSource& source, std::uint64_t at, Page& page) {
  if (!SourceFits(source, at, 27)) return PageCheck::cutShort;
  if (!SourceHasText(source, at, "OggS") || SourceU8(source, at + 4) != 0) return PageCheck::damaged;
  page.flags = SourceU8(source, at + 5);
  page.serial = SourceU32le(source, at + 14);
  page.sequence = SourceU32le(source, at + 18);
  const std::uint32_t stated = SourceU32le(source, at + 22);
  const std::uint8_t segments = SourceU8(source, at + 26);
  if (page.flags > 7) return PageCheck::damaged;
  if (!SourceFits(source, at + 27, segments)) return PageCheck::cutShort;
  std::vector<std::uint8_t> header(27 + std::size_t{segments});
  const Bytes bytes = source.Read(at, header.size());
  std::copy(bytes.begin(), bytes.end(), header.begin());
  std::uint64_t body = 0;
  for (std::size_t i = 0; i < segments; ++i) body += header[27 + i];
  page.length = header.size() + body;
  if (!SourceFits(source, at, page.length)) return PageCheck::cutShort;
  // The CRC is over the page with its own field as zeros.
  std::fill(header.begin() + 22, header.begin() + 26, 0);
  std::uint32_t crc = Crc(0, header);
  crc = Crc(crc, source.Read(at + header.size(), static_cast<std::size_t>(body)));
  return crc == stated ? PageCheck::ok : PageCheck::damaged;
}

// The first page's packet names the codec.
const char* ExtensionOf(ContentSource& source) {
  const std::uint64_t body = 27 + std::uint64_t{SourceU8(source, 26)};
  if (SourceHasText(source, body, "OpusHead")) return "opus";
  if (SourceHasText(source, body + 1, "theora")) return "ogv";
  if (SourceHasText(source, body + 1, "FLAC") || SourceHasText(source, body, "fLaC")) return "oga";
  return "ogg";
}

}  // namespace

bool LooksLikeOggStart(Bytes start) {
  return HasText(start, 0, "OggS") && u8(start, 4) == 0 && (u8(start, 5) & 0x02) != 0 && (u8(start, 5) & ~0x07) == 0 &&
         u32le(start, 18) == 0;
}

ContentExtent WalkOgg(ContentSource& source, IntactCheckBudget& budget) {
  if (!LooksLikeOggStart(source.Read(0, 27))) return ContentExtent::NotThisKind("no first Ogg page");
  std::map<std::uint32_t, std::uint32_t> open;  // each open stream's last sequence number
  std::uint64_t at = 0;
  for (std::uint64_t pages = 0; pages < kMaxPages; ++pages) {
    if (pages % 4096 == 0 && budget.Stopped()) return ContentExtent::Unjudged(0, "stopped");
    Page page;
    switch (ReadPage(source, at, page)) {
      case PageCheck::ok: break;
      case PageCheck::cutShort: return ContentExtent::CutShort(at, "ends inside a page");
      case PageCheck::damaged: return ContentExtent::Damaged(at, "a page whose CRC or header fails");
    }
    const auto stream = open.find(page.serial);
    if (page.flags & 0x02) {
      // Streams begin together, before any other page.
      if (stream != open.end() || open.size() >= kMaxStreams) return ContentExtent::Damaged(at, "a stream begun twice");
      open.emplace(page.serial, page.sequence);
    } else if (stream == open.end() || page.sequence != stream->second + 1) {
      return ContentExtent::Damaged(at, "a page out of its stream's order");
    } else {
      stream->second = page.sequence;
    }
    at += page.length;
    if (page.flags & 0x04) open.erase(page.serial);
    if (open.empty()) {
      ContentExtent whole = ContentExtent::Whole(at);
      whole.extension = ExtensionOf(source);
      return whole;
    }
  }
  return ContentExtent::Damaged(at, "more pages than any file holds");
}

}  // namespace salvex
