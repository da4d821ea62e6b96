#pragma once

#include <cstdint>
#include <string_view>

#include "common/le_bytes.h"
#include "volume/volume_parameters.h"

namespace salvex {

// The clusters an NTFS volume holds, from its first sector (its cluster 0)
// to `lastSector`; 0 when that is not known.
std::uint64_t NtfsVolumeClusters(const VolumeParameters& volume, SectorNumber lastSector);

// A file's size as it may be listed: at most what the volume holds, so a
// damaged record cannot announce a file of exabytes. `beyondVolume` says the
// record claimed more, or that its data runs pass the volume's last cluster.
// `stream`: the named data stream whose runs count ("" the unnamed data).
struct VolumeBoundSize {
  std::uint64_t size = 0;
  bool beyondVolume = false;
};
VolumeBoundSize BoundToVolume(Bytes record, std::uint64_t size, std::uint64_t volumeClusters,
                              std::uint32_t sectorsPerCluster, std::string_view stream = {});

}  // namespace salvex
