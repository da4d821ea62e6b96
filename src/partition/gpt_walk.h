#pragma once

#include "disk/sector_reader.h"
#include "partition/partition_record.h"

namespace salvex {

// Replaces the contents of `table` with the partitions of the disk's GUID
// partition table, in table order (at most 25): the Microsoft basic data and
// EFI System entries, and any entry whose first sector holds a FAT12, FAT16, FAT32
// or NTFS boot sector. A basic-data entry without one is `noFileSystem`. False, and the table empty, when the disk holds no
// sound GPT, primary or backup.
// Its LBAs count the disk's logical sectors, `sectorScale` 512-byte sectors
// each; the records count 512-byte sectors.
bool WalkGpt(SectorReader& reader, PartitionTable& table, std::uint32_t sectorScale = 1);

}  // namespace salvex
