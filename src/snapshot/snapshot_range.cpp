#include "snapshot/snapshot_range.h"

namespace salvex {

void WriteRange(SnapshotWriter& out, const SectorRange& range) {
  out.U16(static_cast<std::uint16_t>(range.selectedFsType));
  out.U32(range.rangeStart);
  out.U32(range.rangeSize);
  out.U32(range.rangeEnd);
  out.U16(range.partitionIndex);
}

SectorRange ReadRange(SnapshotReader& in) {
  SectorRange range;
  range.selectedFsType = static_cast<FsType>(in.U16());
  range.rangeStart = in.U32();
  range.rangeSize = in.U32();
  range.rangeEnd = in.U32();
  range.partitionIndex = in.U16();
  return range;
}

}  // namespace salvex
