#pragma once

#include <cstdint>

#include "disk/scan_state.h"
#include "snapshot/snapshot_bytes.h"

namespace salvex {

// The wizard's range and partition choice, as both snapshot kinds store it.
struct SnapshotRange {
  FsType selectedFsType = FsType::none;
  std::uint32_t rangeStart = 0;
  std::uint32_t rangeSize = 0;
  std::uint32_t rangeEnd = 0;
  std::uint16_t partitionIndex = 0;
};

SnapshotRange RangeOf(const ScanState& scan);
void ApplyRange(const SnapshotRange& range, ScanState& scan);
void WriteRange(SnapshotWriter& out, const SnapshotRange& range);
SnapshotRange ReadRange(SnapshotReader& in);

}  // namespace salvex
