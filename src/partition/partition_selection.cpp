#include "partition/partition_selection.h"

#include <string>

namespace salvex {

bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index) {
  if (index >= table.partitionCount) return false;
  const PartitionRecord& record = table.records[index];
  if (record.noFileSystem && scan.scanType == ScanType::standard) return false;
  // Swept for FAT32 unless the user says otherwise, as the whole disk is.
  const FsType unknown = scan.scanType == ScanType::advance ? FsType::fat32 : FsType::none;
  const FsType type = record.noFileSystem ? unknown : record.fsType;
  ApplyRange({type, record.startSector, record.sectorCount, record.startSector + record.sectorCount - 1, index}, scan);
  return true;
}

bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk) {
  if (scan.scanType == ScanType::standard) return false;
  const FsType type = scan.scanType == ScanType::advance ? FsType::fat32 : FsType::none;
  ApplyRange({type, 0, disk.totalSectors, disk.totalSectors, 0}, scan);
  return true;
}

}  // namespace salvex
