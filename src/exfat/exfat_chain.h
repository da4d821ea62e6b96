#pragma once

#include <cstdint>
#include <vector>

#include "disk/sector_reader.h"
#include "volume/volume_parameters.h"

namespace salvex {

class ExfatBitmap;

// Why an exFAT chain walk stopped.
enum class ExfatChainEnd {
  endOfChain,  // 0xFFFFFFF8 and above
  free,        // an entry of 0 or 1
  broken,      // a bad-cluster mark (0xFFFFFFF7), 0xFFFFFFF6, or a cluster past the volume
  loops,       // back to a cluster already in the chain
  unreadable,  // a FAT sector that could not be read
  maxLinks,    // `maxClusters` clusters read and the chain goes on
  joins,       // into a cluster an earlier walk sharing `walked` passed
};

// Follows the FAT (its first copy, 32-bit entries with every bit counting)
// from `firstCluster`, which is taken as it is, collecting at most
// `maxClusters` clusters; each cluster once, so the walk ends on any FAT.
// With `walked`, the walks that share it never pass one cluster twice: a
// walk ends where it meets a cluster an earlier one passed (then a first
// cluster already passed leaves `chain` empty), and marks its own. However
// many files claim one chain, it is then read once.
ExfatChainEnd FollowExfatChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                               std::uint32_t firstCluster, std::uint64_t maxClusters,
                               std::vector<std::uint32_t>& chain, ExfatBitmap* walked = nullptr);

}  // namespace salvex
