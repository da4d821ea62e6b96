#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "common/le_bytes.h"
#include "disk/sector_reader.h"
#include "volume/volume_parameters.h"

namespace salvex {

// Which clusters FAT #1 now gives to a file or folder (any entry other than
// 0), one bit per cluster, with a running count so that "is any cluster of
// this stretch in use?" costs the same for one cluster as for a million; and
// which clusters some entry links to (once, or more than once). Read once,
// front to back: the lookups of deleted files' clusters are scattered, and a
// sector read per lookup would cost far more.
class ClusterAllocation {
 public:
  ClusterAllocation() = default;

  // Reads the entries of clusters 2..lastCluster from FAT #1. A FAT sector
  // that cannot be read counts as free: nothing is known against it. Empty
  // (Known() false) when the FAT's place or the volume's size is unknown, or
  // when `stop` is raised before the FAT has been read.
  static ClusterAllocation Read(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                const std::atomic<bool>* stop = nullptr);

  bool Known() const { return limit_ > 0; }
  // One past the last cluster the map covers.
  std::uint64_t Limit() const { return limit_; }
  // True when any of the `count` clusters from `first` is in use; clusters
  // past the map count as free.
  bool AnyAllocated(std::uint64_t first, std::uint64_t count) const;
  // How many of the `count` clusters from `first` are in use.
  std::uint64_t CountAllocated(std::uint64_t first, std::uint64_t count) const;
  // Some FAT entry links to `cluster`: it is not the head of a chain.
  bool IsLinkedTo(std::uint64_t cluster) const { return Test(linked_, cluster); }
  // More than one entry links to `cluster`: two chains meet there.
  bool IsLinkedToTwice(std::uint64_t cluster) const { return Test(linkedTwice_, cluster); }

 private:
  using Bits = std::vector<std::uint64_t>;
  static void Set(Bits& bits, std::uint64_t cluster) { bits[cluster / 64] |= std::uint64_t{1} << (cluster % 64); }
  bool Test(const Bits& bits, std::uint64_t cluster) const {
    return cluster < limit_ && (bits[cluster / 64] >> (cluster % 64) & 1) != 0;
  }
  void Finish();
  std::uint64_t Rank(std::uint64_t cluster) const;  // set bits below `cluster`

  Bits allocated_;
  Bits linked_;
  Bits linkedTwice_;
  std::vector<std::uint32_t> before_;  // set bits of allocated_ in the words before each word
  std::uint64_t limit_ = 0;
};

}  // namespace salvex
