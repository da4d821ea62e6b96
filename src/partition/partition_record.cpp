#include "partition/partition_record.h"

namespace salvex {

bool PartitionTable::Add(const PartitionRecord& record) {
  if (IsFull()) return false;
  records[partitionCount++] = record;
  return true;
}

std::string PartitionCaption(std::size_t index, FsType fsType) {
  return "Partition " + std::to_string(index + 1) + " - " + FsTypeText(fsType);
}

std::string PartitionCaption(std::size_t index, const PartitionRecord& record) {
  if (record.wholeDisk) return std::string("Whole Disk - ") + FsTypeText(record.fsType);
  return PartitionCaption(index, record.fsType);
}

}  // namespace salvex
