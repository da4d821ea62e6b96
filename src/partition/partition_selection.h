#pragma once

#include <cstdint>

#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "partition/partition_record.h"
#include "platform/ui_port.h"

namespace salvex {

// The user picked record `index` of the table: its type and extent become the
// scan range. False (state unchanged) when there is no such record, or
// when it holds no file system read here (`noFileSystem`) and the scan is a
// Standard Scan. An Advance Scan then sweeps its range for FAT32 until the
// user chooses; a Search by File Type reads its every sector (type none).
bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index);

// The user picked the whole disk, which the Standard Scan does not offer:
// sectors 0 to totalSectors, as FAT32 for the Advance Scan's sweep, of no
// type for a Search by File Type. False (state unchanged) in a Standard Scan.
bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk);

}  // namespace salvex
