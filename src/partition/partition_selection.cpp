#include "partition/partition_selection.h"

#include <string>

namespace salvex {

bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index) {
  if (index >= table.partitionCount || table.records[index].beyondReach) return false;
  const PartitionRecord& record = table.records[index];
  ApplyRange({record.fsType, record.startSector, record.sectorCount, record.startSector + record.sectorCount - 1, index},
             scan);
  return true;
}

bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk) {
  if (scan.scanType != ScanType::advance) return false;
  ApplyRange({FsType::fat32, 0, disk.totalSectors, disk.totalSectors, 0}, scan);
  return true;
}

}  // namespace salvex
