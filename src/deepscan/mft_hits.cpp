#include "deepscan/mft_hits.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "common/sector.h"
#include "ntfs/fixups.h"
#include "ntfs/mft_record.h"
#include "ntfs/mft_run_list.h"

namespace salvex {
namespace {

constexpr std::uint32_t kMaxIndexBlockBytes = 65536;
constexpr std::uint32_t kRootRecord = 5;
constexpr std::uint32_t kExtendRecord = 11;

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// NTFS 3.1 records (Windows XP and later, mkntfs, ntfs-3g) carry their own
// number at 0x2C, before the update sequence, which then starts at 0x30 or
// later. A deleted folder's index is empty and no index entry names it any
// more: this is the only number it still has, and counting its position
// goes wrong wherever the MFT is in pieces.
std::uint32_t NumberInHeader(Bytes record) {
  constexpr std::size_t kNumberOffset = 0x2C;
  return u16le(record, 4) >= kNumberOffset + 4 ? u32le(record, kNumberOffset) : 0;
}

}  // namespace

bool RecordMftHitFrom(Bytes record, SectorNumber sector, HitLists& hits) {
  // An extension record holds attributes of another record: not a file.
  if (u64le(record, 0x20) != 0) return false;
  std::optional<FileNameInfo> name = FindPreferredFileName(record);
  if (!name) return false;
  const std::uint8_t flags = u8(record, 22);
  if (IsFolderRecord(flags)) {
    MftFolderHit hit;
    hit.sector = sector;
    hit.parentRecord = name->parentRecord;
    hit.created = name->created;
    hit.changed = name->changed;
    hit.deleted = flags == 2;
    if (EqualsIgnoringCase(name->name, ".")) {
      hit.recordNumber = kRootRecord;
    } else if (EqualsIgnoringCase(name->name, "$Extend")) {
      hit.recordNumber = kExtendRecord;
    } else {
      hit.recordNumber = FindIndexRootOwner(record);
      if (hit.recordNumber == 0) hit.recordNumber = NumberInHeader(record);
    }
    hit.indexCluster = FindIndexAllocationStart(record);
    hit.name = std::move(name->name);
    hits.mftFolders.push_back(std::move(hit));
    ++hits.foldersFound;
    return true;
  }
  if (flags == 0 || flags == 1) {
    MftFileHit hit;
    hit.sector = sector;
    hit.parentRecord = name->parentRecord;
    hit.created = name->created;
    hit.changed = name->changed;
    hit.size = FindDataSize(record).value_or(0);
    hit.deleted = flags == 0;
    hit.name = std::move(name->name);
    hits.mftFiles.push_back(std::move(hit));
    ++hits.filesFound;
    return true;
  }
  return false;
}

bool RecordMftHit(SectorReader& reader, SectorNumber sector, HitLists& hits) {
  std::array<std::uint8_t, kMftRecordSize> record{};
  ReadMftRecord(reader, sector, record);
  return RecordMftHitFrom(record, sector, hits);
}

std::optional<IndexBlockHit> ReadIndexBlockHit(Bytes block, SectorNumber sector) {
  const std::uint64_t size = block.size();
  const std::uint64_t entries = 24 + std::uint64_t{u32le(block, 24)};
  if (entries + 20 > size) return std::nullopt;
  const std::uint32_t owner = u32le(block, static_cast<std::size_t>(entries) + 16);
  if (owner < kRootRecord || owner == 0xFFFFFFFF) return std::nullopt;
  IndexBlockHit hit;
  hit.sector = sector;
  hit.ownerRecord = owner;
  hit.vcn = u32le(block, 16);
  hit.sectors = static_cast<std::uint8_t>(size / kSectorSize);
  return hit;
}

bool RecordIndexBlockHit(SectorReader& reader, SectorNumber sector, Bytes sweptSector, HitLists& hits) {
  const std::uint64_t size = std::uint64_t{u32le(sweptSector, 32)} + 24;
  if (size > kMaxIndexBlockBytes) return false;
  // The block is read in whole sectors (at most 255 of them); the rest of a
  // ragged size stays zero.
  const auto sectors = static_cast<std::uint8_t>(size / kSectorSize);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(size), 0);
  std::vector<std::uint8_t> whole(std::size_t{sectors} * kSectorSize, 0);
  ReadSectorsZeroed(reader, sector, sectors, whole);
  std::copy_n(whole.begin(), std::min(whole.size(), block.size()), block.begin());
  ApplyFixups(block);
  const std::optional<IndexBlockHit> hit = ReadIndexBlockHit(block, sector);
  if (!hit) return false;
  hits.indexBlocks.push_back(*hit);
  ++hits.indexBlocksFound;
  return true;
}

}  // namespace salvex
