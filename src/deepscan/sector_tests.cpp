#include "deepscan/sector_tests.h"

#include "fat/directory_entry.h"

namespace salvex {

FatSectorKind ClassifyFatSector(Bytes sector) {
  if (HasBootSignature(sector)) {
    const bool fat32 = u8(sector, 85) == '3' && u8(sector, 86) == '2';
    const bool fat16 = u8(sector, 57) == '1' && u8(sector, 58) == '6';
    return fat32 || fat16 ? FatSectorKind::bootSector : FatSectorKind::signedOther;
  }
  if (BeginsWithDotEntries(sector) && u8(sector, 34) == ' ') {
    return FatSectorKind::folderCluster;
  }
  return FatSectorKind::other;
}

std::optional<FolderClusterHit> ReadFolderClusterHit(Bytes sector, std::uint32_t sectorNumber) {
  FolderClusterHit hit;
  hit.sector = sectorNumber;
  hit.cluster = u16le(sector, 26) | (static_cast<std::uint32_t>(u16le(sector, 20)) << 16);
  hit.parentCluster = u16le(sector, 58) | (static_cast<std::uint32_t>(u16le(sector, 52)) << 16);
  hit.writeDate = u16le(sector, 24);
  hit.accessDate = u16le(sector, 18);
  // Cluster 2 is a FAT16 volume's first folder (a FAT32 root has no "."
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
