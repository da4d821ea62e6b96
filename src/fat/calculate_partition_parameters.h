#pragma once

#include "common/le_bytes.h"
#include "volume/volume_context.h"

namespace salvex {

// Infers a FAT volume's geometry when its boot sector is unusable: sweeps the
// range for the first sectors of directories and fits one geometry to the
// first pair whose cluster numbers and sectors agree. False when the sweep
// ends (end of range, or Stop) without such a pair, and for non-FAT types.
bool CalculatePartitionParameters(VolumeContext& context);

// True for a directory's first sector: its first entry is "." and its second
// "..", both padded with spaces.
bool IsDirectoryStart(Bytes sector);

}  // namespace salvex
