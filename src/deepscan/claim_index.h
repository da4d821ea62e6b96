#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/sector.h"

namespace salvex {

// The cluster sizes a FAT or NTFS volume can have, in sectors.
inline constexpr std::array<std::uint32_t, 8> kClusterSizes{1, 2, 4, 8, 16, 32, 64, 128};

// For each cluster size, the hits grouped by the volume start they imply:
// sector - size x cluster, in 64-bit sector arithmetic. A hit
// fits a geometry (start, size) exactly when it is in that group, so finding
// the partners of a hit, or every hit a geometry claims, is a lookup instead
// of a walk over the whole list. Groups keep the hits' list order.
class ClaimIndex {
 public:
  // `sectorAndCluster(i)` gives hit i's sector and cluster, or nothing for a
  // hit that takes no part.
  template <typename SectorAndCluster>
  ClaimIndex(std::size_t hitCount, SectorAndCluster sectorAndCluster) {
    for (std::size_t size = 0; size < kClusterSizes.size(); ++size) {
      auto& group = bySize_[size];
      group.reserve(hitCount);
      for (std::uint32_t i = 0; i < hitCount; ++i) {
        const std::optional<std::pair<SectorNumber, std::uint32_t>> hit = sectorAndCluster(i);
        if (!hit) continue;
        group.push_back({hit->first - SectorNumber{kClusterSizes[size]} * hit->second, i});
      }
      std::sort(group.begin(), group.end());  // by start, then list order
    }
  }

  // The hits (list positions, ascending) whose sector = start + clusterSize x cluster.
  std::vector<std::uint32_t> HitsFitting(SectorNumber start, std::uint32_t clusterSize) const {
    std::vector<std::uint32_t> positions;
    const auto [first, last] = Range(start, clusterSize);
    for (auto it = first; it != last; ++it) positions.push_back(it->second);
    return positions;
  }

  // The same range as pairs, to walk without copying. A size the index
  // does not keep (a boot sector of 4096-byte sectors may give clusters of
  // up to 1024 disk sectors) has no hits.
  using Group = std::vector<std::pair<SectorNumber, std::uint32_t>>;
  std::pair<Group::const_iterator, Group::const_iterator> Range(SectorNumber start, std::uint32_t clusterSize) const {
    const std::size_t index = SizeIndex(clusterSize);
    if (index >= bySize_.size()) return {bySize_[0].end(), bySize_[0].end()};
    const auto& group = bySize_[index];
    return std::equal_range(group.begin(), group.end(), std::pair{start, 0u},
                            [](const auto& a, const auto& b) { return a.first < b.first; });
  }

 private:
  static std::size_t SizeIndex(std::uint32_t clusterSize) {
    return static_cast<std::size_t>(std::find(kClusterSizes.begin(), kClusterSizes.end(), clusterSize) -
                                    kClusterSizes.begin());
  }

  std::array<Group, kClusterSizes.size()> bySize_;
};

}  // namespace salvex
