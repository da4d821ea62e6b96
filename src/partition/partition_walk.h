#pragma once

#include <cstdint>

#include "disk/sector_reader.h"
#include "partition/partition_record.h"

namespace salvex {

// Walks the master boot record at `tableSector` and the extended chain behind
// it, replacing the contents of `table` with the FAT12, FAT16, FAT32, exFAT and NTFS
// partitions found (at most 25). At sector 0, a protective MBR hands over to
// the GUID partition table (WalkGpt). Entries count in the disk's logical
// sectors, `sectorScale` disk sectors of 512 bytes each (`tableSector`
// too); the records in 512-byte sectors. Returns the number of records.
std::uint32_t WalkPartitionTables(SectorReader& reader, std::uint32_t tableSector, PartitionTable& table,
                                  std::uint32_t sectorScale = 1);

// The walks made when the user leaves the disk step. A disk whose sector 0 is
// a FAT12, FAT16, FAT32, exFAT or NTFS boot sector, and whose entries at 446 are no
// plausible table (or a table naming no partition), is one volume: a single
// `wholeDisk` record. Else: sector 0, sector 0 again
// (a first read of a waking disk may fail), then 61 and 62, where some disk
// managers keep a copy of the table; stops at the first walk that finds a
// partition; when none does, the GUID tables are read even without a
// protective MBR. The tables are read in the disk's logical sectors
// (DiskSectorScale). Returns the number of records.
std::uint32_t FindPartitions(SectorReader& reader, PartitionTable& table);

}  // namespace salvex
