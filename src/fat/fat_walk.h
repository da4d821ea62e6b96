#pragma once

#include "fat/directory_entry.h"
#include "volume/volume_context.h"
#include "items/item_store.h"

namespace salvex {

// The Standard Scan of a FAT16 or FAT32 volume: clears the FAT items, reads
// the root directory, then every folder found (deleted ones included) in the
// order found, breadth first, adding every live and deleted entry to the store.
// Stop ends it between sectors; what was found stays. Clears the Stop flag at
// the end; returns false when Stop cut the walk short.
bool WalkFatVolume(VolumeContext& context, ItemStore& store);

// The cluster and size bounds of the volume: the larger of what its last
// sector and what its FAT's size allow; zeros (unknown) when neither leaves
// a data area.
EntryLimits FatEntryLimits(const VolumeParameters& volume, std::uint32_t lastSector);

}  // namespace salvex
