#include "content/ole2_check.h"

#include <algorithm>
#include <string>
#include <vector>

namespace salvex {
namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA;
// A FAT of more entries names more than any file of 16 GiB holds.
constexpr std::uint64_t kMaxFatSectors = 1u << 15;
constexpr std::size_t kMaxEntries = 1u << 20;

struct Compound {
  std::uint32_t sectorBytes = 512;
  std::vector<std::uint32_t> fat;
};

std::uint64_t SectorOffset(const Compound& file, std::uint32_t sector) {
  return (std::uint64_t{sector} + 1) * file.sectorBytes;
}

// The sectors of the chain from `first`, at most `limit` of them; empty
// when it leaves the FAT, loops, or does not end with end-of-chain.
std::vector<std::uint32_t> Chain(const std::vector<std::uint32_t>& fat, std::uint32_t first, std::size_t limit) {
  std::vector<std::uint32_t> chain;
  std::uint32_t sector = first;
  while (sector != kEndOfChain) {
    if (sector > kMaxRegular || sector >= fat.size() || chain.size() >= limit) return {};
    chain.push_back(sector);
    sector = fat[sector];
  }
  return chain;
}

// The FAT, from the header's 109 DIFAT entries and the DIFAT sectors after.
bool ReadFat(ContentSource& source, Compound& file) {
  const std::uint32_t fatSectors = SourceU32le(source, 44);
  if (fatSectors == 0 || fatSectors > kMaxFatSectors) return false;
  std::vector<std::uint32_t> fatList;
  for (std::uint32_t i = 0; i < 109 && fatList.size() < fatSectors; ++i) fatList.push_back(SourceU32le(source, 76 + 4 * i));
  std::uint32_t difat = SourceU32le(source, 68);
  const std::uint32_t perDifat = file.sectorBytes / 4 - 1;
  for (std::uint32_t hops = 0; fatList.size() < fatSectors; ++hops) {
    if (difat > kMaxRegular || hops > kMaxFatSectors) return false;
    const std::uint64_t at = SectorOffset(file, difat);
    for (std::uint32_t i = 0; i < perDifat && fatList.size() < fatSectors; ++i) fatList.push_back(SourceU32le(source, at + 4 * i));
    difat = SourceU32le(source, at + 4 * perDifat);
  }
  const std::uint32_t perSector = file.sectorBytes / 4;
  file.fat.reserve(std::size_t{fatSectors} * perSector);
  for (const std::uint32_t sector : fatList) {
    if (sector > kMaxRegular) return false;
    const std::uint64_t at = SectorOffset(file, sector);
    if (!SourceFits(source, at, file.sectorBytes)) return false;
    const Bytes bytes = source.Read(at, file.sectorBytes);
    for (std::uint32_t i = 0; i < perSector; ++i) file.fat.push_back(u32le(bytes, 4 * std::size_t{i}));
  }
  // Each FAT sector must be marked as one in the FAT.
  return std::all_of(fatList.begin(), fatList.end(),
                     [&](std::uint32_t sector) { return sector < file.fat.size() && file.fat[sector] == kFatSector; });
}

std::string EntryName(Bytes entry) {
  const std::uint16_t length = std::min<std::uint16_t>(u16le(entry, 64), 64);
  std::string name;
  for (std::size_t i = 0; i + 2 <= length && u16le(entry, i) != 0; i += 2) {
    const std::uint16_t c = u16le(entry, i);
    name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return name;
}

}  // namespace

bool LooksLikeOle2Start(Bytes start) {
  static constexpr std::uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (start.size() < 76 || !std::equal(std::begin(kSignature), std::end(kSignature), start.begin())) return false;
  const std::uint16_t shift = u16le(start, 30);
  return u16le(start, 28) == 0xFFFE && (shift == 9 || shift == 12) && u16le(start, 32) == 6;
}

ContentExtent WalkOle2(ContentSource& source, IntactCheckBudget&) {
  if (!LooksLikeOle2Start(source.Read(0, 76))) return ContentExtent::NotThisKind("no compound file header");
  Compound file;
  file.sectorBytes = SourceU16le(source, 30) == 12 ? 4096 : 512;
  if (!ReadFat(source, file)) {
    return SourceFits(source, 0, std::uint64_t{file.sectorBytes} * 2)
               ? ContentExtent::CutShort(0, "its FAT lies past the bytes at hand or is not one")
               : ContentExtent::CutShort(0, "ends inside its header");
  }
  std::uint32_t last = 0;
  for (std::uint32_t i = 0; i < file.fat.size(); ++i) {
    if (file.fat[i] != kFree) last = i;
  }
  const std::uint64_t end = SectorOffset(file, last) + file.sectorBytes;
  const auto damaged = [&](const char* why) { return ContentExtent::Damaged(0, why); };
  if (!SourceFits(source, 0, end)) return ContentExtent::CutShort(0, "its FAT names sectors past the bytes at hand");
  const std::vector<std::uint32_t> directory = Chain(file.fat, SourceU32le(source, 48), file.fat.size());
  if (directory.empty()) return damaged("a directory chain that does not hold");
  // The directory's entries, 128 bytes each.
  std::vector<std::uint8_t> entries;
  for (const std::uint32_t sector : directory) {
    const Bytes bytes = source.Read(SectorOffset(file, sector), file.sectorBytes);
    entries.insert(entries.end(), bytes.begin(), bytes.end());
    if (entries.size() / 128 > kMaxEntries) return damaged("a directory larger than any");
  }
  const Bytes table(entries);
  if (u8(table, 66) != 5) return damaged("a directory whose first entry is not the root");
  const std::uint32_t cutoff = SourceU32le(source, 56);
  const std::uint64_t miniStreamSize = u64le(table, 120);
  const std::vector<std::uint32_t> miniFat = [&] {
    std::vector<std::uint32_t> values;
    for (const std::uint32_t sector : Chain(file.fat, SourceU32le(source, 60), file.fat.size())) {
      const Bytes bytes = source.Read(SectorOffset(file, sector), file.sectorBytes);
      for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) values.push_back(u32le(bytes, i));
    }
    return values;
  }();
  const char* extension = "ole";
  for (std::size_t at = 0; at + 128 <= table.size(); at += 128) {
    const Bytes entry = table.subspan(at, 128);
    const std::uint8_t type = entry[66];
    if (type == 0) continue;
    if (type != 1 && type != 2 && type != 5) return damaged("a directory entry of no type the format has");
    const std::uint16_t nameLength = u16le(entry, 64);
    if (nameLength > 64 || nameLength % 2 != 0) return damaged("a directory entry whose name does not fit");
    const std::string name = EntryName(entry);
    if (name == "WordDocument") extension = "doc";
    if ((name == "Workbook" || name == "Book") && std::string_view(extension) == "ole") extension = "xls";
    if (name == "PowerPoint Document") extension = "ppt";
    if (name.rfind("__substg1.0_", 0) == 0 && std::string_view(extension) == "ole") extension = "msg";
    if (type != 2) continue;
    const std::uint64_t size = file.sectorBytes == 512 ? u32le(entry, 120) : u64le(entry, 120);
    const std::uint32_t start = u32le(entry, 116);
    if (size == 0) continue;
    const bool mini = size < cutoff;
    const std::uint64_t unit = mini ? 64 : file.sectorBytes;
    const std::uint64_t needed = (size + unit - 1) / unit;
    const std::vector<std::uint32_t> chain = Chain(mini ? miniFat : file.fat, start, static_cast<std::size_t>(needed + 1));
    if (chain.size() != needed) return damaged("a stream whose chain does not hold its size");
    if (mini && std::any_of(chain.begin(), chain.end(),
                            [&](std::uint32_t sector) { return std::uint64_t{sector} * 64 >= miniStreamSize; })) {
      return damaged("a small stream past the mini stream");
    }
  }
  ContentExtent extent = ContentExtent::Unchecked(end);
  extent.extension = extension;
  return extent;
}

}  // namespace salvex
