#include "snapshot/snapshot_range.h"

namespace salvex {

SnapshotRange RangeOf(const ScanState& scan) {
  return {scan.selectedFsType, scan.rangeStart, scan.rangeSize, scan.rangeEnd, scan.partitionIndex};
}

void ApplyRange(const SnapshotRange& range, ScanState& scan) {
  scan.selectedFsType = range.selectedFsType;
  scan.rangeStart = range.rangeStart;
  scan.rangeSize = range.rangeSize;
  scan.rangeEnd = range.rangeEnd;
  scan.partitionIndex = range.partitionIndex;
}

void WriteRange(SnapshotWriter& out, const SnapshotRange& range) {
  out.U16(static_cast<std::uint16_t>(range.selectedFsType));
  out.U32(range.rangeStart);
  out.U32(range.rangeSize);
  out.U32(range.rangeEnd);
  out.U16(range.partitionIndex);
}

SnapshotRange ReadRange(SnapshotReader& in) {
  SnapshotRange range;
  range.selectedFsType = static_cast<FsType>(in.U16());
  range.rangeStart = in.U32();
  range.rangeSize = in.U32();
  range.rangeEnd = in.U32();
  range.partitionIndex = in.U16();
  return range;
}

}  // namespace salvex
