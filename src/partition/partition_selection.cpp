#include "partition/partition_selection.h"

#include <string>

namespace salvex {

bool SelectPartition(ScanState& scan, const PartitionTable& table, std::uint16_t index) {
  if (index >= table.partitionCount) return false;
  const PartitionRecord& record = table.records[index];
  scan.selectedFsType = record.fsType;
  scan.rangeStart = record.startSector;
  scan.rangeSize = record.sectorCount;
  scan.rangeEnd = record.startSector + record.sectorCount - 1;
  scan.partitionIndex = index;
  return true;
}

bool SelectWholeDisk(ScanState& scan, const DiskInfo& disk) {
  if (scan.scanType != ScanType::advance) return false;
  scan.selectedFsType = FsType::fat32;
  scan.rangeStart = 0;
  scan.partitionIndex = 0;
  scan.rangeSize = disk.totalSectors;
  scan.rangeEnd = disk.totalSectors;
  return true;
}

PanelRows PartitionPanelRows(const ScanState& scan) {
  return {
      {"Partition Type", FsTypeText(scan.selectedFsType)},
      {"Partition Start", std::to_string(scan.rangeStart)},
      {"Partition End", std::to_string(scan.rangeEnd)},
      {"Partition Size", std::to_string(scan.rangeSize / 2048) + " MB ( Aprox )"},
  };
}

}  // namespace salvex
