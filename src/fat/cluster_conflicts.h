#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace salvex {

// Clusters that one file would be read from: `count` from `first`.
struct FileExtent {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
  std::uint32_t file = 0;  // the file's position in its list
};

// The pairs of different files whose extents share a cluster, each pair
// once (lower position first). Any extent that overlaps others is paired
// with at least one of them, and with at most `maxPerExtent` of those
// already open when it starts, so that many files over the same clusters
// cost n * maxPerExtent rather than n squared.
std::vector<std::pair<std::uint32_t, std::uint32_t>> OverlappingFiles(std::vector<FileExtent> extents,
                                                                       std::size_t maxPerExtent);

}  // namespace salvex
