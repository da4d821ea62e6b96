#include "deepscan/sector_tests.h"

#include "fat/directory_entry.h"

namespace salvex {
namespace {

constexpr std::size_t kEntrySize = 32;
constexpr std::uint8_t kLongNameAttribute = 0x0F;
constexpr unsigned kMaxLongNameParts = 20;
constexpr std::uint8_t kCaseFlagBits = 0x18;

bool IsLongNamePart(Bytes entry) {
  if (u8(entry, 12) != 0 || u16le(entry, 26) != 0) return false;
  const std::uint8_t sequence = u8(entry, 0);
  if (sequence == 0xE5) return true;
  return (sequence & 0xA0) == 0 && (sequence & 0x1F) >= 1 && (sequence & 0x1F) <= kMaxLongNameParts;
}

// Short names are stored in upper case; 0xE5 marks a deleted entry and 0x05
// a name that starts with that byte.
bool IsShortNameByte(std::uint8_t byte, bool first) {
  if (first && (byte == 0xE5 || byte == 0x05)) return true;
  if (first && byte == ' ') return false;
  return byte >= 0x20 && byte < 0x7F && !(byte >= 'a' && byte <= 'z');
}

bool IsShortEntry(Bytes entry) {
  for (std::size_t i = 0; i < 11; ++i) {
    if (!IsShortNameByte(entry[i], i == 0)) return false;
  }
  const std::uint32_t cluster = u16le(entry, 26) | (static_cast<std::uint32_t>(u16le(entry, 20)) << 16);
  return CheckEntryPlausibility(entry, cluster, {}) == EntryFault::none;
}

}  // namespace

FatSectorKind ClassifyFatSector(Bytes sector) {
  if (HasBootSignature(sector)) {
    const bool fat32 = u8(sector, 85) == '3' && u8(sector, 86) == '2';
    // "FAT16" or "FAT12" at 54.
    const bool fixedRoot = u8(sector, 57) == '1' && (u8(sector, 58) == '6' || u8(sector, 58) == '2');
    return fat32 || fixedRoot ? FatSectorKind::bootSector : FatSectorKind::signedOther;
  }
  if (BeginsWithDotEntries(sector) && u8(sector, 34) == ' ') {
    return FatSectorKind::folderCluster;
  }
  // The first entry's byte 12 is 0 or case flags in any directory sector,
  // and its first byte is not the end mark: this turns most other sectors
  // away before the entries are looked at, which the sweep's speed needs.
  if (sector.size() < kSectorSize || (sector[12] & ~kCaseFlagBits) != 0 || sector[0] == 0) return FatSectorKind::other;
  return HoldsDirectoryEntries(sector) ? FatSectorKind::directoryEntries : FatSectorKind::other;
}

bool HoldsDirectoryEntries(Bytes sector) {
  if (sector.size() < kSectorSize || BeginsWithDotEntries(sector)) return false;
  bool namesCluster = false;
  for (std::size_t offset = 0; offset < kSectorSize; offset += kEntrySize) {
    const Bytes entry = sector.subspan(offset, kEntrySize);
    if (entry[0] == 0) break;
    if (entry[11] == kLongNameAttribute) {
      if (!IsLongNamePart(entry)) return false;
      continue;
    }
    if (!IsShortEntry(entry)) return false;
    namesCluster = namesCluster || u16le(entry, 26) != 0 || u16le(entry, 20) != 0;
  }
  return namesCluster;
}

std::optional<FolderClusterHit> ReadFolderClusterHit(Bytes sector, SectorNumber sectorNumber) {
  FolderClusterHit hit;
  hit.sector = sectorNumber;
  hit.cluster = u16le(sector, 26) | (static_cast<std::uint32_t>(u16le(sector, 20)) << 16);
  hit.parentCluster = u16le(sector, 58) | (static_cast<std::uint32_t>(u16le(sector, 52)) << 16);
  hit.writeDate = u16le(sector, 24);
  hit.accessDate = u16le(sector, 18);
  // Cluster 2 is a FAT12 or FAT16 volume's first folder (a FAT32 root has no "."
  // entry, so no hit can claim it there).
  if (hit.cluster < 2 || hit.cluster == 0xFFFFFFFF || hit.parentCluster == 0xFFFFFFFF || hit.cluster >= sectorNumber) {
    return std::nullopt;
  }
  return hit;
}

NtfsSectorKind ClassifyNtfsSector(Bytes sector) {
  if (HasBootSignature(sector)) return HasText(sector, 3, "NTFS") ? NtfsSectorKind::bootSector : NtfsSectorKind::signedOther;
  if (HasText(sector, 0, "FILE")) return u16le(sector, 28) == 1024 ? NtfsSectorKind::fileRecord : NtfsSectorKind::other;
  if (HasText(sector, 0, "INDX")) return NtfsSectorKind::indexBlock;
  return NtfsSectorKind::other;
}

}  // namespace salvex
