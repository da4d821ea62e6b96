#include "fat/cluster_chain.h"

#include <optional>
#include <unordered_set>

#include "common/le_bytes.h"
#include "fat/fat_sector_cache.h"

namespace salvex {
namespace {

constexpr std::uint32_t kFat32LinkBits = 0x0FFFFFFF;

// Looks FAT entries up one sector at a time, keeping the last sector read:
// consecutive links usually lie in the same FAT sector. With a cache, the
// sectors come from it instead.
class FatEntryReader {
 public:
  FatEntryReader(SectorReader& reader, FsType fsType, std::uint32_t tableStart, FatSectorCache* cache)
      : reader_(reader), cache_(cache), isFat32_(fsType == FsType::fat32), tableStart_(tableStart) {}

  // The entry of `cluster`, or nothing when its FAT sector cannot be read.
  std::optional<std::uint32_t> EntryOf(std::uint32_t cluster) {
    const std::uint32_t perSector = isFat32_ ? 128 : 256;
    const std::uint64_t sector = std::uint64_t{tableStart_} + cluster / perSector;
    const std::size_t index = cluster % perSector;
    if (cache_ != nullptr) {
      const auto bytes = cache_->Sector(sector);
      if (!bytes) return std::nullopt;
      return isFat32_ ? u32le(*bytes, index * 4) : u16le(*bytes, index * 2);
    }
    if (!cachedSector_ || *cachedSector_ != sector) {
      cachedSector_.reset();
      if (!reader_.ReadSectors(sector, 1, buffer_)) return std::nullopt;
      cachedSector_ = sector;
    }
    return isFat32_ ? u32le(buffer_, index * 4) : u16le(buffer_, index * 2);
  }

 private:
  SectorReader& reader_;
  FatSectorCache* cache_;
  bool isFat32_;
  std::uint32_t tableStart_;
  std::optional<std::uint64_t> cachedSector_;
  SectorBuffer buffer_{};
};

// Follows links from `firstCluster` until one does not lead on, `keepGoing`
// says no, or (when `detectLoops`) a cluster comes round again.
template <typename KeepGoing>
ClusterChainBuild FollowChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t tableStart,
                              std::uint32_t lastCluster, std::uint32_t firstCluster, bool detectLoops,
                              KeepGoing keepGoing, ClusterChain& chain, FatSectorCache* cache = nullptr) {
  chain.clear();
  chain.push_back(firstCluster);
  if (tableStart == 0) return {ChainEnd::noTable};
  FatEntryReader fat(reader, volume.fsType, tableStart, cache);
  std::unordered_set<std::uint32_t> seen;
  if (detectLoops) seen.insert(firstCluster);
  std::uint32_t cluster = firstCluster;
  while (true) {
    if (const auto stop = keepGoing(chain)) return {*stop};
    const auto entry = fat.EntryOf(cluster);
    if (!entry) return {ChainEnd::unreadable};
    switch (ClassifyFatLink(*entry, volume.fsType, lastCluster)) {
      case FatLink::next: break;
      case FatLink::endOfChain: return {ChainEnd::endOfChain};
      case FatLink::free: return {ChainEnd::free};
      case FatLink::broken: return {ChainEnd::broken, *entry};
    }
    cluster = FatLinkCluster(*entry, volume.fsType);
    // A chain that comes back to one of its clusters would have the same
    // sectors read again and again.
    if (detectLoops && !seen.insert(cluster).second) return {ChainEnd::loops};
    chain.push_back(cluster);
  }
}

}  // namespace

std::uint32_t FatLinkCluster(std::uint32_t value, FsType fsType) {
  return fsType == FsType::fat32 ? value & kFat32LinkBits : value;
}

FatLink ClassifyFatLink(std::uint32_t value, FsType fsType, std::uint32_t lastCluster) {
  const bool isFat32 = fsType == FsType::fat32;
  const std::uint32_t link = FatLinkCluster(value, fsType);
  if (link < 2) return FatLink::free;
  if (link >= (isFat32 ? 0x0FFFFFF8u : 0xFFF8u)) return FatLink::endOfChain;
  // 0xFFF7 marks a bad cluster; the values just below are reserved.
  if (link >= (isFat32 ? 0x0FFFFFF0u : 0xFFF0u)) return FatLink::broken;
  if (lastCluster != 0 && link > lastCluster) return FatLink::broken;
  return FatLink::next;
}

ClusterChainBuild BuildDirectoryChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                      std::uint32_t firstCluster, ClusterChain& chain) {
  const std::uint64_t cap = lastCluster != 0 ? lastCluster : kMaxUnboundedDirectoryClusters;
  const auto keepGoing = [cap](const ClusterChain& built) -> std::optional<ChainEnd> {
    if (built.size() >= cap) return ChainEnd::maxLinks;
    return std::nullopt;
  };
  return FollowChain(reader, volume, volume.fat1Start, lastCluster, firstCluster, true, keepGoing, chain);
}

ClusterChainBuild BuildFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                 std::uint32_t firstCluster, std::uint32_t maxLinks, int fatCopy,
                                 const ChainCancel& cancel, ClusterChain& chain, FatSectorCache* cache) {
  const std::uint32_t tableStart = fatCopy == 2 ? volume.fat2Start : volume.fat1Start;
  // The length cap bounds a looping chain: the caller sees it as too long.
  const auto keepGoing = [&](const ClusterChain& built) -> std::optional<ChainEnd> {
    if (built.size() > maxLinks) return ChainEnd::maxLinks;
    if (cancel.Requested()) return ChainEnd::cancelled;
    return std::nullopt;
  };
  return FollowChain(reader, volume, tableStart, lastCluster, firstCluster, false, keepGoing, chain, cache);
}

ClusterChainBuild BuildChainWhile(SectorReader& reader, const VolumeParameters& volume, std::uint32_t lastCluster,
                                  std::uint32_t firstCluster, std::uint32_t maxLinks,
                                  const std::function<bool(std::uint32_t)>& admit, ClusterChain& chain) {
  const auto keepGoing = [&](const ClusterChain& built) -> std::optional<ChainEnd> {
    if (built.size() > 1 && !admit(built.back())) return ChainEnd::refused;
    if (built.size() > maxLinks) return ChainEnd::maxLinks;
    return std::nullopt;
  };
  return FollowChain(reader, volume, volume.fat1Start, lastCluster, firstCluster, false, keepGoing, chain);
}

ClusterChain ChainOfRuns(const std::vector<ClusterRun>& runs) {
  ClusterChain chain;
  std::uint64_t total = 0;
  for (const ClusterRun& run : runs) total += run.count;
  chain.reserve(total);
  for (const ClusterRun& run : runs) {
    for (std::uint32_t i = 0; i < run.count; ++i) chain.push_back(run.first + i);
  }
  return chain;
}

}  // namespace salvex
