#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/sector.h"

namespace salvex {

struct PartitionRecord {
  SectorNumber startSector = 0;  // absolute sector of the partition's boot sector
  SectorNumber sectorCount = 0;
  FsType fsType = FsType::none;
  std::uint64_t treeItem = 0;     // the partitions tree's node; set by the tree panel
  // A volume that fills the disk from sector 0, with no partition table.
  bool wholeDisk = false;
  // A GPT basic-data partition whose first sector holds no FAT, exFAT or
  // NTFS boot sector (zeros, say): empty, or a file system not read here.
  // Listed, with fsType none, so that the user sees it; no Standard Scan
  // reads it, an Advance Scan may sweep it.
  bool noFileSystem = false;
};

// What they say of a partition with no file system that is read here.
inline constexpr const char* kNoFileSystemNote =
    "holds no FAT, exFAT or NTFS boot sector: it is empty, or holds a file system this program does not read "
    "(an Advance Scan can still look for a lost volume in it)";
// The type text of such a partition.
inline constexpr const char* kUnknownTypeText = "Unknown";

// Why the user's choice of `record` cannot be scanned.
inline const char* UnscannableNote(const PartitionRecord&) { return kNoFileSystemNote; }

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
