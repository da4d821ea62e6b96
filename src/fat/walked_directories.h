#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "fat/cluster_chain.h"

namespace salvex {

// The clusters a walk or a mount read as directories. A deleted file cannot
// start in one of them, and a directory cluster the sweep found outside them
// holds entries no folder reached.
struct WalkedDirectories {
  // A deleted folder whose last cluster read was full, with no end mark: its
  // directory probably went on in the next cluster, whose FAT link is gone.
  struct OpenEnd {
    std::uint32_t folderCluster = 0;
    std::uint32_t clustersRead = 0;
  };

  std::unordered_set<std::uint32_t> clusters;
  std::unordered_map<std::uint32_t, OpenEnd> openEnds;  // by the cluster after the last one read

  // `chain` is the folder's chain as read; `endSeen`, whether its end mark was met.
  void Record(std::uint32_t folderCluster, const ClusterChain& chain, bool endSeen, bool deleted) {
    clusters.insert(chain.begin(), chain.end());
    if (!endSeen && deleted && !chain.empty()) {
      openEnds.emplace(chain.back() + 1, OpenEnd{folderCluster, static_cast<std::uint32_t>(chain.size())});
    }
  }
};

}  // namespace salvex
