#pragma once

#include "fat/directory_entry.h"
#include "volume/volume_context.h"
#include "items/item_store.h"

namespace salvex {

// The Standard Scan of a FAT12, FAT16 or FAT32 volume: clears the FAT items, reads
// the root directory, then every live folder found in the order found,
// breadth first, then every deleted folder the same way, adding every live and
// deleted entry to the store. A deleted folder whose first cluster a live
// folder or file now holds is listed as overwritten and not read.
// Stop ends it between sectors; what was found stays. Clears the Stop flag at
// the end; returns false when Stop cut the walk short.
bool WalkFatVolume(VolumeContext& context, ItemStore& store);

// The cluster and size bounds of the volume: the larger of what its last
// sector and what its FAT's size allow; zeros (unknown) when neither leaves
// a data area.
EntryLimits FatEntryLimits(const VolumeParameters& volume, SectorNumber lastSector);

}  // namespace salvex
