#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "disk/sector_reader.h"
#include "items/items.h"
#include "volume/volume_parameters.h"

namespace salvex {

class FatSectorCache;

// The clusters of one file or directory, in chain order.
using ClusterChain = std::vector<std::uint32_t>;

// What a FAT entry says of the cluster after the one it belongs to.
enum class FatLink {
  next,        // a cluster of the volume
  endOfChain,  // 0xFF8-0xFFF (FAT12), 0xFFF8-0xFFFF (FAT16), 0x0FFFFFF8-0x0FFFFFFF (FAT32), 0xFFFFFFF8- (exFAT)
  free,        // 0 or 1: a cleared entry, as deleted files leave
  broken,      // a bad-cluster mark, a reserved value, or a cluster past the volume
};

// Reads a FAT entry as a link. FAT32 entries keep their upper four bits for
// other uses: only the low 28 bits count. exFAT entries use all 32 bits
// (0xFFFFFFF7 bad, 0xFFFFFFF8 and above the end of a chain). `lastCluster` 0: the volume's end
// is unknown, and only the format's own limits apply.
FatLink ClassifyFatLink(std::uint32_t value, FsType fsType, std::uint32_t lastCluster);

// The cluster number a FAT entry holds (FAT12: its 12 bits, FAT32: its low
// 28, exFAT: all 32).
std::uint32_t FatLinkCluster(std::uint32_t value, FsType fsType);

// Why a chain build stopped.
enum class ChainEnd {
  endOfChain,
  free,        // a cleared entry
  broken,      // see FatLink::broken; ClusterChainBuild::brokenLink holds the value
  loops,       // a link back to a cluster already in the chain
  unreadable,  // a FAT sector that could not be read
  maxLinks,    // longer than the caller allows
  refused,     // the caller's test turned a cluster away
  cancelled,
  noTable,     // the FAT's place is unknown
};

struct ClusterChainBuild {
  ChainEnd end = ChainEnd::endOfChain;
  std::uint32_t brokenLink = 0;  // the entry's value, when `end` is broken
};

// Without a known volume size a directory is read through at most this
// many clusters: the 65,536 entries a FAT folder may hold, in the smallest
// clusters.
inline constexpr std::uint32_t kMaxUnboundedDirectoryClusters = 65536 * 32 / 512;

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
// without any check, to its end: every cluster once, so a chain is never
// longer than the volume (`lastCluster`) has clusters.
ClusterChainBuild BuildDirectoryChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                      std::uint32_t firstCluster, ClusterChain& chain);

// Follows a file's chain in FAT #1 (`fatCopy` 1) or FAT #2 (`fatCopy` 2). It
// stops once the chain holds more than `maxLinks` clusters, so a chain longer
// than the caller expects comes back with maxLinks + 1 clusters. FAT
// sectors come from `cache` when one is given.
ClusterChainBuild BuildFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                 std::uint32_t firstCluster, std::uint32_t maxLinks, int fatCopy,
                                 const ChainCancel& cancel, ClusterChain& chain, FatSectorCache* cache = nullptr);

// Follows FAT #1 from `firstCluster` as BuildFileChain does, ending
// (ChainEnd::refused) at the first later cluster that `admit` turns away;
// that cluster is the chain's last.
ClusterChainBuild BuildChainWhile(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                  std::uint32_t firstCluster, std::uint32_t maxLinks,
                                  const std::function<bool(std::uint32_t)>& admit, ClusterChain& chain);

// The clusters of `runs`, one by one, in order.
ClusterChain ChainOfRuns(const std::vector<ClusterRun>& runs);

}  // namespace salvex
