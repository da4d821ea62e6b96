#pragma once

#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "disk/sector_reader.h"
#include "partition/partition_record.h"
#include "platform/ui_port.h"

namespace salvex {

inline constexpr const char* kSearchingForPartitions = "Searching For Partitions";
inline constexpr const char* kNoPartitionStandardMessage = "No partition found, use advance mode to recover the data";
inline constexpr const char* kNoPartitionAdvanceMessage =
    "No partition found, select file system type, and press next to search the full disk or you can define the "
    "searching range";
inline constexpr const char* kNoPartitionFileTypeMessage =
    "No partition found: click the disk to search all of it by file type";

// Looks for lost partitions where they usually begin: one track after the
// start of every cylinder, else at the cylinder's start, and on every 1 MiB
// boundary (every 2,048th sector), where a FAT32 volume with a damaged boot
// sector is known by its backup six sectors in, and an NTFS volume by the copy
// in its last sector. Only the probed sectors are read. What it finds replaces
// the partition table (at most 25 records, by start sector, each start once).
// Stop ends it before the next probe. Says so in an error box when nothing
// was found.
void QuickPartitionSearch(SectorReader& reader, const DiskInfo& disk, ScanState& scan, PartitionTable& table,
                          UiPort& ui);

}  // namespace salvex
