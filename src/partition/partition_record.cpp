#include "partition/partition_record.h"

namespace salvex {

bool PartitionTable::Add(const PartitionRecord& record) {
  if (IsFull()) return false;
  records[partitionCount++] = record;
  return true;
}

}  // namespace salvex
