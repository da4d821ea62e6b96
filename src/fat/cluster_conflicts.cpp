#include "fat/cluster_conflicts.h"

#include <algorithm>
#include <set>

namespace salvex {

std::vector<std::pair<std::uint32_t, std::uint32_t>> OverlappingFiles(std::vector<FileExtent> extents,
                                                                       std::size_t maxPerExtent) {
  std::sort(extents.begin(), extents.end(),
            [](const FileExtent& a, const FileExtent& b) { return a.first < b.first; });
  // Extents begun and not yet ended, by their end, longest last.
  std::multiset<std::pair<std::uint64_t, std::uint32_t>> open;
  std::set<std::pair<std::uint32_t, std::uint32_t>> pairs;
  for (const FileExtent& extent : extents) {
    if (extent.count == 0) continue;
    while (!open.empty() && open.begin()->first <= extent.first) open.erase(open.begin());
    std::size_t paired = 0;
    for (auto it = open.rbegin(); it != open.rend() && paired < maxPerExtent; ++it) {
      if (it->second == extent.file) continue;
      pairs.insert(std::minmax(it->second, extent.file));
      ++paired;
    }
    open.insert({extent.first + extent.count, extent.file});
  }
  return {pairs.begin(), pairs.end()};
}

}  // namespace salvex
