#pragma once

#include <cstdint>

#include "disk/sector_reader.h"

namespace salvex {

// Disk sectors of 512 bytes (the unit the engines address every disk in)
// per logical sector of the disk: 8 on a 4Kn disk or a USB enclosure that
// presents 4096-byte sectors, whose partition tables count in those. What
// the device says, where it is one; for an image, what its tables say: a
// GPT header one logical sector in, or an MBR whose first partition holds
// a boot sector only at its start counted in larger sectors, or a volume
// formatted on the whole disk with its own sector size. 1 when
// nothing says otherwise.
std::uint32_t DiskSectorScale(SectorReader& reader);

}  // namespace salvex
