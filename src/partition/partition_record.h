#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/sector.h"

namespace salvex {

struct PartitionRecord {
  std::uint32_t startSector = 0;  // absolute sector of the partition's boot sector
  std::uint32_t sectorCount = 0;
  FsType fsType = FsType::none;
  std::uint64_t treeItem = 0;     // the partitions tree's node; set by the tree panel
  // A GPT partition that starts or ends past sector 4294967295 (2 TiB):
  // 32-bit sector numbers cannot name it, so it is listed with its true
  // extent here (startSector and sectorCount stay 0) and never scanned.
  bool beyondReach = false;
  std::uint64_t wideStart = 0;
  std::uint64_t wideCount = 0;
  // A volume that fills the disk from sector 0, with no partition table.
  bool wholeDisk = false;
  // A GPT basic-data partition whose first sector holds no FAT, exFAT or
  // NTFS boot sector (zeros, say): empty, or a file system not read here.
  // Listed, with fsType none, so that the user sees it; no Standard Scan
  // reads it, an Advance Scan may sweep it.
  bool noFileSystem = false;
};

// What the front ends say of a partition that lies beyond sector 4294967295.
inline constexpr const char* kBeyondReachNote =
    "lies past sector 4294967295 (2 TiB): beyond what this version reads";
// What they say of a partition with no file system that is read here.
inline constexpr const char* kNoFileSystemNote =
    "holds no FAT, exFAT or NTFS boot sector: it is empty, or holds a file system this program does not read "
    "(an Advance Scan can still look for a lost volume in it)";
// The type text of such a partition.
inline constexpr const char* kUnknownTypeText = "Unknown";

// Why the user's choice of `record` cannot be scanned, as the notes above.
inline const char* UnscannableNote(const PartitionRecord& record) {
  return record.beyondReach ? kBeyondReachNote : kNoFileSystemNote;
}

inline constexpr std::size_t kMaxPartitions = 25;

// The partitions found by the table walk or the quick search, in discovery order.
struct PartitionTable {
  std::array<PartitionRecord, kMaxPartitions> records{};
  std::uint32_t partitionCount = 0;

  bool IsFull() const { return partitionCount >= kMaxPartitions; }
  void Clear() { partitionCount = 0; }
  // Appends a record; false (and nothing stored) when the table is full.
  bool Add(const PartitionRecord& record);
};


}  // namespace salvex
