#include "exfat/exfat_chain.h"

#include <optional>
#include <unordered_set>

#include "common/le_bytes.h"

namespace salvex {

ExfatChainEnd FollowExfatChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                               std::uint32_t firstCluster, std::uint64_t maxClusters,
                               std::vector<std::uint32_t>& chain) {
  constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
  chain.clear();
  if (maxClusters == 0) return ExfatChainEnd::maxLinks;
  chain.push_back(firstCluster);
  std::unordered_set<std::uint32_t> seen{firstCluster};
  SectorBuffer sector{};
  std::optional<std::uint64_t> held;
  for (std::uint32_t cluster = firstCluster;;) {
    if (chain.size() >= maxClusters) return ExfatChainEnd::maxLinks;
    const std::uint64_t fatSector = std::uint64_t{volume.fat1Start} + cluster / kEntriesPerSector;
    if (held != fatSector) {
      held.reset();
      if (!reader.ReadSectors(fatSector, 1, sector)) return ExfatChainEnd::unreadable;
      held = fatSector;
    }
    const std::uint32_t next = u32le(sector, (cluster % kEntriesPerSector) * 4);
    if (next < 2) return ExfatChainEnd::free;
    if (next >= 0xFFFFFFF8u) return ExfatChainEnd::endOfChain;
    if (next >= 0xFFFFFFF6u || next > lastCluster) return ExfatChainEnd::broken;
    if (!seen.insert(next).second) return ExfatChainEnd::loops;
    chain.push_back(next);
    cluster = next;
  }
}

}  // namespace salvex
