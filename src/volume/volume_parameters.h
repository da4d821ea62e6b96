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

// The geometry of the volume being worked on. All sector numbers are absolute
// 32-bit sector numbers on the selected disk; like the on-disk formats, the
// arithmetic on them is unsigned 32-bit.
struct VolumeParameters {
  FsType fsType = FsType::none;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t rootDirSectors = 0;   // FAT12/16: sectors of the fixed root directory
  std::uint32_t rootDirStart = 0;     // FAT12/16: its first sector; FAT32: the root's cluster
  std::uint32_t reservedSectors = 0;
  std::uint32_t clusterBase = 0;      // the sector where cluster 0 would begin
  std::uint32_t fat1Start = 0;
  std::uint32_t fat2Start = 0;
  std::uint32_t mftStart = 0;         // NTFS: sector of the first $MFT record, or 0
  std::uint32_t mftMirrStart = 0;     // NTFS: sector of the first $MFTMirr record, or 0
  std::uint32_t ntfsConst2 = 0;       // always 2 for NTFS; kept for snapshot files
  std::uint32_t indexBufferSectors = 0;
  std::uint32_t volumeEnd = 0;        // last sector of a found file system, 0 = unknown
  std::uint16_t foundFsOrdinal = 0;

  bool operator==(const VolumeParameters&) const = default;

  // First sector of `cluster`; its sectors follow contiguously.
  std::uint32_t ClusterToSector(std::uint32_t cluster) const { return clusterBase + cluster * sectorsPerCluster; }
};

}  // namespace salvex
