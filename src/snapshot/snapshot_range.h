#pragma once

#include <cstdint>

#include "disk/scan_state.h"
#include "snapshot/snapshot_bytes.h"

namespace salvex {

// The wizard's range and partition choice, as both snapshot kinds store it.
void WriteRange(SnapshotWriter& out, const SectorRange& range);
SectorRange ReadRange(SnapshotReader& in);

}  // namespace salvex
