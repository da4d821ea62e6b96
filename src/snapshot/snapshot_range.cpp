#include "snapshot/snapshot_range.h"

namespace salvex {

void WriteRange(SnapshotWriter& out, const SectorRange& range) {
  out.U16(static_cast<std::uint16_t>(range.selectedFsType));
  out.Sector(range.rangeStart);
  out.Sector(range.rangeSize);
  out.Sector(range.rangeEnd);
  out.U16(range.partitionIndex);
}

SectorRange ReadRange(SnapshotReader& in) {
  SectorRange range;
  range.selectedFsType = static_cast<FsType>(in.U16());
  range.rangeStart = in.Sector();
  range.rangeSize = in.Sector();
  range.rangeEnd = in.Sector();
  range.partitionIndex = in.U16();
  return range;
}

}  // namespace salvex
