#pragma once

#include <cstdint>

#include "common/sector.h"
#include "disk/sector_reader.h"

namespace salvex {

// The sector size, in bytes, that the boot sector of the volume of `type`
// at `volumeStart` gives: 512 to 4096. 512 when it gives none of those (or
// the sector cannot be read): the engines' own unit.
std::uint32_t VolumeSectorBytes(SectorReader& reader, SectorNumber volumeStart, FsType type);

}  // namespace salvex
