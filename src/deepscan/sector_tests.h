#pragma once

#include <cstdint>
#include <optional>

#include "common/le_bytes.h"
#include "deepscan/hits.h"

namespace salvex {

// What a swept sector looks like, judged from its bytes alone.
enum class FatSectorKind {
  other,
  signedOther,   // 0x55 0xAA but no FAT text: never taken for a folder
  bootSector,    // "32" at 85 or "16" at 57, with the signature
  folderCluster, // "." then ".." at the start
  directoryEntries,  // directory entries, but no "." and ".." pair
};

FatSectorKind ClassifyFatSector(Bytes sector);

// The folder-cluster hit for a sector that begins like a FAT folder at
// absolute sector `sectorNumber`, or nothing when its clusters cannot be
// real (0, 1, all ones, or not below the sector).
std::optional<FolderClusterHit> ReadFolderClusterHit(Bytes sector, SectorNumber sectorNumber);

// Whether every entry of the sector, up to an end mark, is one a FAT driver
// writes (a long-name part, or a short entry with an upper-case 8.3 name and
// valid fields), and at least one short entry names a first cluster.
bool HoldsDirectoryEntries(Bytes sector);

enum class NtfsSectorKind { other, signedOther, bootSector, fileRecord, indexBlock };

NtfsSectorKind ClassifyNtfsSector(Bytes sector);

}  // namespace salvex
