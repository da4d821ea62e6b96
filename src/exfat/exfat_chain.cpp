#include "exfat/exfat_chain.h"

#include <optional>
#include <unordered_set>

#include "common/le_bytes.h"
#include "exfat/exfat_bitmap.h"

namespace salvex {

ExfatChainEnd FollowExfatChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                               std::uint32_t firstCluster, std::uint64_t maxClusters,
                               std::vector<std::uint32_t>& chain, ExfatBitmap* walked) {
  constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
  chain.clear();
  if (maxClusters == 0) return ExfatChainEnd::maxLinks;
  if (walked && walked->IsUsed(firstCluster)) return ExfatChainEnd::joins;
  chain.push_back(firstCluster);
  std::unordered_set<std::uint32_t> seen{firstCluster};
  const auto mark = [&] {
    if (walked) walked->MarkUsed(RunsOfChain(chain));
  };
  SectorBuffer sector{};
  std::optional<std::uint64_t> held;
  for (std::uint32_t cluster = firstCluster;;) {
    ExfatChainEnd end = ExfatChainEnd::maxLinks;
    if (chain.size() >= maxClusters) {
      mark();
      return end;
    }
    const std::uint64_t fatSector = std::uint64_t{volume.fat1Start} + cluster / kEntriesPerSector;
    if (held != fatSector) {
      held.reset();
      if (!reader.ReadSectors(fatSector, 1, sector)) {
        mark();
        return ExfatChainEnd::unreadable;
      }
      held = fatSector;
    }
    const std::uint32_t next = u32le(sector, (cluster % kEntriesPerSector) * 4);
    if (next < 2) {
      end = ExfatChainEnd::free;
    } else if (next >= 0xFFFFFFF8u) {
      end = ExfatChainEnd::endOfChain;
    } else if (next >= 0xFFFFFFF6u || next > lastCluster) {
      end = ExfatChainEnd::broken;
    } else if (!seen.insert(next).second) {
      end = ExfatChainEnd::loops;
    } else if (walked && walked->IsUsed(next)) {
      end = ExfatChainEnd::joins;
    } else {
      chain.push_back(next);
      cluster = next;
      continue;
    }
    mark();
    return end;
  }
}

}  // namespace salvex
