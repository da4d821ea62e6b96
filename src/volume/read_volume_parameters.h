#pragma once

#include "volume/volume_context.h"

namespace salvex {

// Fills the volume parameters of the chosen range from its boot sector (and
// the FAT32 backup at +6, the NTFS copy at the range's end, or the exFAT
// backup boot region at +12). First copies
// the range's type into `fsType`. False when no usable boot sector was found;
// true also for a type other than FAT12, FAT16, FAT32, NTFS or exFAT, which is left alone.
bool ReadVolumeParameters(VolumeContext& context);

}  // namespace salvex
