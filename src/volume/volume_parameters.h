#pragma once

#include <cstdint>

#include "common/sector.h"

namespace salvex {

// FAT12, FAT16 or FAT32.
constexpr bool IsFatType(FsType fsType) {
  return fsType == FsType::fat12 || fsType == FsType::fat16 || fsType == FsType::fat32;
}

// FAT12 or FAT16: a fixed root directory after the FATs.
constexpr bool HasFixedRoot(FsType fsType) { return fsType == FsType::fat12 || fsType == FsType::fat16; }

// The geometry of the volume being worked on. Sector numbers are absolute
// 64-bit sector numbers on the selected disk; counts of sectors and
// clusters are 32-bit, as the on-disk formats define them.
struct VolumeParameters {
  FsType fsType = FsType::none;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t rootDirSectors = 0;   // FAT12/16: sectors of the fixed root directory
  SectorNumber rootDirStart = 0;      // FAT12/16: its first sector; FAT32: the root's cluster
  std::uint32_t reservedSectors = 0;
  SectorNumber clusterBase = 0;      // the sector where cluster 0 would begin
  SectorNumber fat1Start = 0;
  SectorNumber fat2Start = 0;
  SectorNumber mftStart = 0;         // NTFS: sector of the first $MFT record, or 0
  SectorNumber mftMirrStart = 0;     // NTFS: sector of the first $MFTMirr record, or 0
  std::uint32_t ntfsConst2 = 0;       // always 2 for NTFS; kept for snapshot files
  std::uint32_t indexBufferSectors = 0;
  SectorNumber volumeEnd = 0;         // last sector of a found file system, 0 = unknown
  std::uint16_t foundFsOrdinal = 0;

  bool operator==(const VolumeParameters&) const = default;

  // FAT32 and exFAT: the root's first cluster, which rootDirStart holds
  // there (set from a 32-bit field).
  std::uint32_t RootCluster() const { return static_cast<std::uint32_t>(rootDirStart); }

  // First sector of `cluster`; its sectors follow contiguously.
  SectorNumber ClusterToSector(std::uint32_t cluster) const {
    return clusterBase + SectorNumber{cluster} * sectorsPerCluster;
  }
};

}  // namespace salvex
