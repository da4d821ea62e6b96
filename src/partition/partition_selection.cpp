#include "partition/partition_selection.h"

#include <string>

namespace salvex {

bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index) {
  if (index >= table.partitionCount) return false;
  const PartitionRecord& record = table.records[index];
  if (record.noFileSystem && scan.scanType != ScanType::advance) return false;
  // Swept for FAT32 unless the user says otherwise, as the whole disk is.
  const FsType type = record.noFileSystem ? FsType::fat32 : record.fsType;
  ApplyRange({type, record.startSector, record.sectorCount, record.startSector + record.sectorCount - 1, index}, scan);
  return true;
}

bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk) {
  if (scan.scanType != ScanType::advance) return false;
  ApplyRange({FsType::fat32, 0, disk.totalSectors, disk.totalSectors, 0}, scan);
  return true;
}

}  // namespace salvex
