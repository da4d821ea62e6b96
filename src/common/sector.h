#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace salvex {

// Disks are always addressed in 512-byte sectors.
inline constexpr std::size_t kSectorSize = 512;

using SectorBuffer = std::array<std::uint8_t, kSectorSize>;

// An absolute sector number on a disk. 64 bits, so that disks and volumes
// past 2 TiB are named whole; cluster numbers stay 32-bit, as FAT32 and
// exFAT define them.
using SectorNumber = std::uint64_t;

// File-system type codes, as stored in partition records, volume parameters
// and snapshot files.
enum class FsType : std::uint16_t {
  none = 0,
  fat12 = 50,
  fat16 = 100,
  fat32 = 200,
  ntfs = 300,
  exfat = 400,
};

// "FAT16", "FAT32", "NTFS", "exFAT", or "" for any other code.
const char* FsTypeText(FsType type);

}  // namespace salvex
