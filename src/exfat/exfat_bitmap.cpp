#include "exfat/exfat_bitmap.h"

namespace salvex {

bool ExfatBitmap::IsUsed(std::uint32_t cluster) const {
  if (cluster < 2) return false;
  const std::uint64_t bit = std::uint64_t{cluster} - 2;
  return (u8(bits_, static_cast<std::size_t>(bit / 8)) >> (bit % 8) & 1) != 0;
}

bool ExfatBitmap::AnyUsed(const std::vector<ClusterRun>& runs) const {
  if (!Known()) return false;
  for (const ClusterRun& run : runs) {
    for (std::uint64_t i = 0; i < run.count; ++i) {
      const std::uint64_t cluster = std::uint64_t{run.first} + i;
      // A run past the bitmap's end holds no cluster anyone can use.
      if (cluster > UINT32_MAX || cluster - 2 >= std::uint64_t{bits_.size()} * 8) break;
      if (IsUsed(static_cast<std::uint32_t>(cluster))) return true;
    }
  }
  return false;
}

std::vector<ClusterRun> RunsOfChain(const std::vector<std::uint32_t>& chain) {
  std::vector<ClusterRun> runs;
  for (const std::uint32_t cluster : chain) {
    if (!runs.empty() && std::uint64_t{runs.back().first} + runs.back().count == cluster) {
      ++runs.back().count;
    } else {
      runs.push_back({cluster, 1});
    }
  }
  return runs;
}

}  // namespace salvex
