#pragma once

#include <cstdint>
#include <optional>

#include "common/le_bytes.h"
#include "partition/partition_record.h"

namespace salvex {

// Why a sector was or was not taken for the boot sector of a volume that
// fills a disk without a partition table (a USB stick or SD card formatted
// whole, or the copy of one partition).
enum class BootSectorVerdict {
  fat12,
  fat16,
  fat32,
  ntfs,
  exfat,
  noSignature,
  noFileSystemText,    // neither "FAT12", "FAT16", "FAT32", "NTFS" nor "EXFAT"
  badSectorSize,       // not 512, 1024, 2048 or 4096 bytes a sector
  badClusterSize,      // sectors per cluster not a power of two up to 128, an exFAT cluster over 32 MiB
  badFatFields,        // no reserved sectors, no or more than two FATs, an empty FAT or root, a bad media byte
  noVolumeSize,        // a total of 0 sectors
  badExfatFields,      // an exFAT boot sector with fields no exFAT volume has
};

// Judges `sector` by its own fields alone (an exFAT boot sector by the
// fields that can be judged without the rest of its boot region). Between
// FAT12 and FAT16 the count of clusters decides, not the text.
BootSectorVerdict JudgeBootSector(Bytes sector);

// The one record of a disk whose sector 0 is `sector`, a FAT12, FAT16,
// FAT32, NTFS or exFAT boot sector: sector 0 to the volume's own end (NTFS's copy of its boot
// sector included), no further than the disk's `diskSectors`. Nothing when
// the sector is no boot sector.
std::optional<PartitionRecord> WholeDiskVolume(Bytes sector, std::uint64_t diskSectors);

// Whether the four entries at byte 446 of `sector` read as a partition table
// of a disk of `diskSectors`: at least one entry in use, every boot flag 0x00
// or 0x80, and every entry in use starting after sector 0 and ending on the
// disk. The boot code of a volume's boot sector fails this almost always.
bool HoldsPlausibleTable(Bytes sector, std::uint64_t diskSectors);

}  // namespace salvex
