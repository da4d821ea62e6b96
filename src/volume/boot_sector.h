#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// The boot-sector fields that give a FAT volume its geometry.
struct FatBootFields {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t reservedSectors = 0;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t fatCount = 0;      // copies of the FAT: 2 as a rule, 1 on cameras and small media
  std::uint32_t rootEntries = 0;   // FAT12 and FAT16 only
  std::uint32_t rootCluster = 0;   // FAT32 only
};

FatBootFields DecodeFat16BootFields(Bytes sector);
FatBootFields DecodeFat32BootFields(Bytes sector);

// The boot-sector fields that locate an NTFS volume's MFT.
struct NtfsBootFields {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t mftCluster = 0;       // low 32 bits
  std::uint32_t mftMirrCluster = 0;   // low 32 bits
  std::uint32_t clustersPerIndexBuffer = 0;
};

NtfsBootFields DecodeNtfsBootFields(Bytes sector);

// A FAT volume's length in sectors: the 32-bit field at 32, or, when that is
// 0 (volumes under 65536 sectors), the 16-bit field at 19.
std::uint32_t FatTotalSectors(Bytes sector);

// The FAT type of a FAT12 or FAT16 boot sector by Microsoft's rule on its
// count of data clusters: under 4085 FAT12, under 65525 FAT16, else FAT32.
// FsType::none when its fields leave no data area or give no cluster size.
FsType FatTypeByClusterCount(Bytes sector);

// FAT volumes keep one or two copies of their FAT; a boot sector that claims
// none, or more, is damaged.
constexpr bool IsValidFatCount(std::uint32_t value) { return value == 1 || value == 2; }

// 1, 2, 4, ..., 128.
constexpr bool IsValidSectorsPerCluster(std::uint32_t value) {
  return value != 0 && value <= 128 && (value & (value - 1)) == 0;
}

}  // namespace salvex
