#include "session/captions.h"

namespace salvex {

std::string DiskCaption(std::size_t index) { return "Storage Device" + std::to_string(index); }

PanelRows DiskPanelRows(const DiskInfo& disk) {
  return {
      {"Model", disk.model},
      {"Capacity", std::to_string(disk.sizeSectors / 2048) + " MB ( Approx )"},
      {"Cylinders", std::to_string(disk.cylinders)},
      {"Head", std::to_string(disk.heads)},
      {"Sectors Per Track", std::to_string(disk.sectorsPerTrack)},
  };
}

std::string PartitionCaption(std::size_t index, FsType fsType) {
  return "Partition " + std::to_string(index + 1) + " - " + FsTypeText(fsType);
}

std::string PartitionCaption(std::size_t index, const PartitionRecord& record) {
  if (record.wholeDisk) return std::string("Whole Disk - ") + FsTypeText(record.fsType);
  if (record.noFileSystem) return "Partition " + std::to_string(index + 1) + " - " + kUnknownTypeText;
  return PartitionCaption(index, record.fsType);
}

std::string FoundFileSystemCaption(const FoundFileSystem& found) {
  return std::string(FsTypeText(found.fsType)) + " @" + std::to_string(FirstSectorOf(found));
}

}  // namespace salvex
