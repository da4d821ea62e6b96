#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "disk/sector_reader.h"
#include "volume/volume_parameters.h"

namespace salvex {

// The clusters of one file or directory, in chain order.
using ClusterChain = std::vector<std::uint32_t>;

// A directory is read through at most this many clusters.
inline constexpr std::uint32_t kMaxDirectoryClusters = 100;

// True when a FAT entry ends a chain: 0 and 1 (a cleared entry, as deleted
// files leave), and 0xFFFF / 0x0FFFFFFF and above. The values just below
// (0xFFF8.., 0x0FFFFFF8..) are followed like any cluster number.
bool EndsChain(std::uint32_t value, FsType fsType);

// Flags that end a file chain build early (the extraction's Stop and Skip).
struct ChainCancel {
  const std::atomic<bool>* stopSaving = nullptr;
  const std::atomic<bool>* skipFile = nullptr;

  bool Requested() const {
    return (stopSaving && stopSaving->load(std::memory_order_relaxed)) ||
           (skipFile && skipFile->load(std::memory_order_relaxed));
  }
};

// Follows a directory's chain in FAT #1 from `firstCluster`, which is taken
// without any check; at most 100 clusters. A failed FAT read ends the chain,
// and so does a link back to a cluster already in it.
void BuildDirectoryChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                         ClusterChain& chain);

// Follows a file's chain in FAT #1 (`fatCopy` 1) or FAT #2 (`fatCopy` 2). It
// stops once the chain holds more than `maxLinks` clusters, so a chain longer
// than the caller expects comes back with maxLinks + 1 clusters.
void BuildFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                    std::uint32_t maxLinks, int fatCopy, const ChainCancel& cancel, ClusterChain& chain);

}  // namespace salvex
