#pragma once

#include <cstdint>

#include "common/le_bytes.h"
#include "common/sector.h"

namespace salvex {

// Disk sectors (512 bytes) per sector of the volume whose boot sector this
// is: 1, 2, 4 or 8 for the 512 to 4096 bytes a FAT or NTFS boot sector may
// give at byte 11; 0 for any other size. A volume formatted with 4096-byte
// sectors (a 4Kn disk, a USB enclosure that presents them) counts all its
// offsets in those.
std::uint32_t BootSectorScale(Bytes sector);

// The boot-sector fields that give a FAT volume its geometry, in 512-byte
// disk sectors whatever the volume's own sector size: the engines address
// every disk so. A sector size field other than 512 to 4096 is taken for
// damage and read as 512; a field whose value cannot be scaled (a cluster
// of no power of two, a count past 32 bits) reads 0.
struct FatBootFields {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t reservedSectors = 0;
  std::uint32_t sectorsPerFat = 0;
  std::uint32_t fatCount = 0;      // copies of the FAT: 2 as a rule, 1 on cameras and small media
  std::uint32_t rootEntries = 0;   // FAT12 and FAT16 only
  std::uint32_t rootSectors = 0;   // FAT12 and FAT16: the fixed root, in whole volume sectors
  std::uint32_t rootCluster = 0;   // FAT32 only
  std::uint32_t sectorScale = 0;   // disk sectors per volume sector: 1, 2, 4 or 8
};

FatBootFields DecodeFat16BootFields(Bytes sector);
FatBootFields DecodeFat32BootFields(Bytes sector);

// The boot-sector fields that locate an NTFS volume's MFT; the cluster
// size in disk sectors, as for FAT.
struct NtfsBootFields {
  std::uint32_t sectorsPerCluster = 0;
  std::uint32_t mftCluster = 0;       // low 32 bits
  std::uint32_t mftMirrCluster = 0;   // low 32 bits
  std::uint32_t clustersPerIndexBuffer = 0;
};

NtfsBootFields DecodeNtfsBootFields(Bytes sector);

// The size in bytes of an NTFS volume's file records, from the signed byte
// at 0x40: clusters when positive, else 2 to the power of its negation
// (0xF6: 1024). 0 when the fields give no size.
std::uint64_t NtfsRecordBytes(Bytes sector);

// A FAT volume's length in disk sectors: the 32-bit field at 32, or, when
// that is 0 (volumes under 65536 sectors), the 16-bit field at 19, times
// the sector scale.
std::uint64_t FatTotalSectors(Bytes sector);

// An NTFS volume's length in disk sectors, without the last sector that
// holds the copy of its boot sector (the 64-bit field at 40, scaled).
std::uint64_t NtfsTotalSectors(Bytes sector);

// The FAT type of a FAT12 or FAT16 boot sector by Microsoft's rule on its
// count of data clusters: under 4085 FAT12, under 65525 FAT16, else FAT32.
// FsType::none when its fields leave no data area or give no cluster size.
FsType FatTypeByClusterCount(Bytes sector);

// FAT volumes keep one or two copies of their FAT; a boot sector that claims
// none, or more, is damaged.
constexpr bool IsValidFatCount(std::uint32_t value) { return value == 1 || value == 2; }

// 1, 2, 4, ..., 128 sectors of the volume's own size: up to 1024 disk
// sectors on a volume of 4096-byte sectors.
constexpr bool IsValidSectorsPerCluster(std::uint32_t value) {
  return value != 0 && value <= 1024 && (value & (value - 1)) == 0;
}

// The cluster-size byte of a boot sector: 1, 2, 4, ..., 128.
constexpr bool IsValidSectorsPerClusterField(std::uint32_t value) {
  return value != 0 && value <= 128 && (value & (value - 1)) == 0;
}

}  // namespace salvex
