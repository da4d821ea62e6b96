#pragma once

#include <atomic>
#include <cstdint>

#include "common/sector.h"

namespace salvex {

// Search by File Type looks for files by their content, over a partition
// (its free clusters, or every sector) or the whole disk.
enum class ScanType : std::uint16_t { standard = 1, advance = 2, byFileType = 3 };

// What the user has chosen so far: the wizard's step, the scan type, the disk
// and the partition or sector range that the engines work on.
struct ScanState {
  int wizardStep = 0;
  ScanType scanType = ScanType::standard;
  std::uint16_t diskIndex = 0;
  // Set by the user interface (Stop), polled by every scanning loop.
  std::atomic<bool> stopRequested{false};
  FsType selectedFsType = FsType::none;
  SectorNumber rangeStart = 0;
  SectorNumber rangeSize = 0;
  SectorNumber rangeEnd = 0;
  std::uint16_t partitionIndex = 0;

  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }
};

// A partition or sector range with its file-system type: what the scans
// work on, and what both snapshot kinds store of the user's choice.
struct SectorRange {
  FsType selectedFsType = FsType::none;
  SectorNumber rangeStart = 0;
  SectorNumber rangeSize = 0;
  SectorNumber rangeEnd = 0;
  std::uint16_t partitionIndex = 0;

  bool operator==(const SectorRange&) const = default;
};

inline SectorRange RangeOf(const ScanState& scan) {
  return {scan.selectedFsType, scan.rangeStart, scan.rangeSize, scan.rangeEnd, scan.partitionIndex};
}

// The one place where the scan state's range is set.
inline void ApplyRange(const SectorRange& range, ScanState& scan) {
  scan.selectedFsType = range.selectedFsType;
  scan.rangeStart = range.rangeStart;
  scan.rangeSize = range.rangeSize;
  scan.rangeEnd = range.rangeEnd;
  scan.partitionIndex = range.partitionIndex;
}

}  // namespace salvex
