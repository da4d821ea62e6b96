#include "content/tiff_check.h"

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "content/jpeg_check.h"
#include "content/tiff_ifd.h"

namespace salvex {
namespace {

constexpr std::uint16_t kStripOffsets = 273;
constexpr std::uint16_t kStripByteCounts = 279;
constexpr std::uint16_t kTileOffsets = 324;
constexpr std::uint16_t kTileByteCounts = 325;
constexpr std::uint16_t kSubIfds = 330;
constexpr std::uint16_t kJpegOffset = 513;
constexpr std::uint16_t kJpegLength = 514;
constexpr std::uint16_t kMake = 271;
constexpr std::uint16_t kExifIfd = 34665;
constexpr std::uint16_t kGpsIfd = 34853;
constexpr std::uint16_t kDngVersion = 50706;
constexpr std::size_t kMaxIfds = 256;
constexpr std::size_t kMaxPieces = 1u << 20;  // strips or tiles of one directory

struct TiffWalk {
  std::uint64_t end = 8;
  std::string make;
  bool dng = false;
  bool damaged = false;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> previews;  // JPEG offset and length
};

void Extend(TiffWalk& walk, std::uint64_t offset, std::uint64_t length) {
  walk.end = std::max(walk.end, offset + length);
}

// The pieces (strips or tiles) an IFD's offsets and byte counts name.
void AddPieces(const TiffReader& tiff, const TiffEntry* offsets, const TiffEntry* counts, TiffWalk& walk) {
  if (!offsets || !counts) return;
  const std::vector<std::uint32_t> starts = tiff.Numbers(*offsets, kMaxPieces);
  const std::vector<std::uint32_t> lengths = tiff.Numbers(*counts, kMaxPieces);
  for (std::size_t i = 0; i < std::min(starts.size(), lengths.size()); ++i) Extend(walk, starts[i], lengths[i]);
}

void WalkIfd(const TiffReader& tiff, std::uint32_t offset, std::set<std::uint32_t>& seen, TiffWalk& walk) {
  while (offset != 0 && seen.size() < kMaxIfds && seen.insert(offset).second) {
    const std::optional<TiffReader::Ifd> ifd = tiff.ReadIfd(offset);
    if (!ifd) {
      walk.damaged = true;
      return;
    }
    Extend(walk, offset, 2 + ifd->entries.size() * 12 + 4);
    const TiffEntry* strips = nullptr;
    const TiffEntry* stripCounts = nullptr;
    const TiffEntry* tiles = nullptr;
    const TiffEntry* tileCounts = nullptr;
    std::uint32_t jpegOffset = 0;
    std::uint32_t jpegLength = 0;
    for (const TiffEntry& entry : ifd->entries) {
      if (entry.TypeBytes() == 0) {
        walk.damaged = true;
        return;
      }
      if (!entry.ValueInEntry()) Extend(walk, entry.valueOrOffset, entry.ValueBytes());
      switch (entry.tag) {
        case kStripOffsets: strips = &entry; break;
        case kStripByteCounts: stripCounts = &entry; break;
        case kTileOffsets: tiles = &entry; break;
        case kTileByteCounts: tileCounts = &entry; break;
        case kJpegOffset: jpegOffset = entry.valueOrOffset; break;
        case kJpegLength: jpegLength = entry.valueOrOffset; break;
        case kMake: walk.make = tiff.Text(entry, 32); break;
        case kDngVersion: walk.dng = true; break;
        case kExifIfd:
        case kGpsIfd: WalkIfd(tiff, entry.valueOrOffset, seen, walk); break;
        case kSubIfds:
          for (const std::uint32_t sub : tiff.Numbers(entry, 64)) WalkIfd(tiff, sub, seen, walk);
          break;
        default: break;
      }
      if (walk.damaged) return;
    }
    AddPieces(tiff, strips, stripCounts, walk);
    AddPieces(tiff, tiles, tileCounts, walk);
    if (jpegOffset != 0 && jpegLength != 0) {
      Extend(walk, jpegOffset, jpegLength);
      walk.previews.emplace_back(jpegOffset, jpegLength);
    }
    offset = ifd->next;
  }
}

const char* ExtensionOf(Bytes header, const TiffWalk& walk) {
  if (walk.dng) return "dng";
  if (HasText(header, 8, "CR")) return "cr2";
  if (HasText(header, 0, "IIRO") || HasText(header, 0, "MMOR")) return "orf";
  if (HasText(header, 0, "IIU")) return "rw2";
  std::string make = walk.make;
  for (char& c : make) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (make.rfind("NIKON", 0) == 0) return "nef";
  if (make.rfind("SONY", 0) == 0) return "arw";
  if (make.rfind("CANON", 0) == 0) return "cr2";
  if (make.rfind("OLYMPUS", 0) == 0) return "orf";
  if (make.rfind("PANASONIC", 0) == 0) return "rw2";
  if (make.rfind("PENTAX", 0) == 0) return "pef";
  return "tif";
}

}  // namespace

bool LooksLikeTiffStart(Bytes start) {
  const bool little = HasText(start, 0, "II");
  const bool big = HasText(start, 0, "MM");
  if (!little && !big) return false;
  const std::uint16_t magic = little ? u16le(start, 2) : static_cast<std::uint16_t>(u8(start, 2) << 8 | u8(start, 3));
  // 42, and the marks Olympus (0x4F52, 0x5352) and Panasonic (0x55) put there.
  if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55) return false;
  const std::uint32_t first = little ? u32le(start, 4) : u32be(start, 4);
  return first >= 8 && first < (1u << 30);
}

ContentExtent WalkTiff(ContentSource& source, IntactCheckBudget&) {
  const Bytes start = source.Read(0, 12);
  if (!LooksLikeTiffStart(start)) return ContentExtent::NotThisKind("no TIFF header");
  std::array<std::uint8_t, 12> header{};
  std::copy(start.begin(), start.end(), header.begin());
  const std::optional<TiffReader> tiff = TiffReader::At(source, 0);
  if (!tiff) return ContentExtent::NotThisKind("no TIFF header");
  TiffWalk walk;
  std::set<std::uint32_t> seen;
  WalkIfd(*tiff, tiff->FirstIfd(), seen, walk);
  const auto verdict = [&](ContentExtent extent) {
    extent.extension = ExtensionOf(header, walk);
    return extent;
  };
  if (walk.damaged || seen.empty()) return verdict(ContentExtent::Damaged(0, "a directory TIFF does not allow"));
  if (!SourceFits(source, 0, walk.end)) {
    return verdict(ContentExtent::CutShort(source.Size(), "its directories point past the bytes at hand"));
  }
  for (const auto& [offset, length] : walk.previews) {
    SliceSource preview(source, offset, length);
    if (WalkJpeg(preview).extent.soundness != Soundness::whole) {
      return verdict(ContentExtent::Damaged(offset, "an embedded preview that does not hold together"));
    }
  }
  return verdict(ContentExtent::Unchecked(walk.end));
}

}  // namespace salvex
