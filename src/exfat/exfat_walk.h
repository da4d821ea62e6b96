#pragma once

#include <cstdint>
#include <string>

#include "items/item_store.h"
#include "volume/volume_context.h"

namespace salvex {

// The Standard Scan of an exFAT volume, into the FAT half of the store
// (folders keyed by their first cluster, the root by kFatRootKey): clears the
// FAT items, reads the allocation bitmap and the root directory, then every
// live folder in the order found, breadth first, then every deleted folder
// the same way. A deleted item whose clusters the bitmap gives to something
// else now is marked overwritten (a folder so marked is not read). Stop
// ends it between directories; what was found stays. Clears the Stop flag at
// the end; returns false when Stop cut the walk short.
bool WalkExfatVolume(VolumeContext& context, ItemStore& store);

// The allocation bitmap of the volume, as its root directory names it:
// what a carve of its free clusters leaves alone. Unknown (every cluster
// free) when the root names none or it cannot be read.
class ExfatBitmap;
ExfatBitmap ReadExfatAllocationBitmap(VolumeContext& context);

struct ExfatEntrySet;

// The item of a file's entry set in the folder keyed `parent`: its name,
// first cluster, times, size and valid data length; where its clusters lie
// is the caller's to say.
FatFileItem ExfatFileItem(const ExfatEntrySet& set, std::uint32_t parent, bool deleted);

// The name of the item of an entry set: its own, else (no name entry held
// one) "Dir" or "File" and its first cluster, as lost folders are named.
std::string ExfatItemName(const ExfatEntrySet& set);

// The highest cluster number of the volume: the smaller of what the volume's
// last sector and its FAT allow; 0 when neither leaves a cluster.
std::uint32_t ExfatLastCluster(const VolumeParameters& volume, SectorNumber lastSector);
// The same by the volume's last sector alone, for a volume whose FAT is not
// known (one found without it).
std::uint32_t ExfatHeapLastCluster(const VolumeParameters& volume, SectorNumber lastSector);

}  // namespace salvex
