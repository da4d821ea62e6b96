#pragma once

#include <cstdint>

#include "disk/disk_table.h"
#include "disk/scan_state.h"
#include "partition/partition_record.h"
#include "platform/ui_port.h"

namespace salvex {

// The user picked record `index` of the table: its type and extent become the
// scan range. False (state unchanged) when there is no such record, or
// when it holds no
// file system read here (`noFileSystem`) and the scan is not an Advance
// Scan, which then sweeps its range for FAT32 until the user chooses.
bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index);

// The user picked the whole disk, which only the Advance Scan offers: FAT32
// over sectors 0 to totalSectors. False (state unchanged) in a Standard Scan.
bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk);

}  // namespace salvex
