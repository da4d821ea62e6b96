#include "fat/cluster_chain.h"

#include <array>
#include <optional>
#include <unordered_set>

#include "common/le_bytes.h"
#include "fat/fat_entry.h"
#include "fat/fat_sector_cache.h"

namespace salvex {
namespace {

constexpr std::uint32_t kFat32LinkBits = 0x0FFFFFFF;

// Looks FAT entries up one sector at a time, keeping the last sectors read:
// consecutive links usually lie in the same FAT sector. With a cache, the
// sectors come from it instead. A FAT12 entry that straddles two sectors
// takes its second byte from the next one.
class FatEntryReader {
 public:
  FatEntryReader(SectorReader& reader, FsType fsType, SectorNumber tableStart, FatSectorCache* cache)
      : reader_(reader), cache_(cache), fsType_(fsType), tableStart_(tableStart) {}

  // The entry of `cluster`, or nothing when its FAT sector cannot be read.
  std::optional<std::uint32_t> EntryOf(std::uint32_t cluster) {
    const std::uint64_t byte = FatEntryOffset(cluster, fsType_);
    const std::uint64_t sector = std::uint64_t{tableStart_} + byte / kSectorSize;
    const auto index = static_cast<std::size_t>(byte % kSectorSize);
    const auto first = SectorBytes(sector, 0);
    if (!first) return std::nullopt;
    if (index + FatEntryReadBytes(fsType_) <= kSectorSize) return FatEntryAt(*first, index, cluster, fsType_);
    // Copied before the next sector is fetched, which may replace the first.
    std::array<std::uint8_t, 2> pair{(*first)[index], 0};
    const auto second = SectorBytes(sector + 1, 1);
    if (!second) return std::nullopt;
    pair[1] = (*second)[0];
    return FatEntryAt(pair, 0, cluster, fsType_);
  }

 private:
  struct Slot {
    std::optional<std::uint64_t> sector;
    SectorBuffer buffer{};
  };

  std::optional<Bytes> SectorBytes(std::uint64_t sector, std::size_t slot) {
    if (cache_ != nullptr) return cache_->Sector(sector);
    Slot& kept = slots_[slot];
    if (!kept.sector || *kept.sector != sector) {
      kept.sector.reset();
      if (!reader_.ReadSectors(sector, 1, kept.buffer)) return std::nullopt;
      kept.sector = sector;
    }
    return Bytes(kept.buffer);
  }

  SectorReader& reader_;
  FatSectorCache* cache_;
  FsType fsType_;
  SectorNumber tableStart_;
  std::array<Slot, 2> slots_{};
};

// Follows links from `firstCluster` until one does not lead on, `keepGoing`
// says no, or (when `detectLoops`) a cluster comes round again.
template <typename KeepGoing>
ClusterChainBuild FollowChain(SectorReader& reader, const VolumeParameters& volume, SectorNumber tableStart,
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

namespace {

// The bits of an entry that hold a link, and the first of the values that
// mark a bad cluster or are reserved (the bad mark is the seventh: 0xFF7,
// 0xFFF7, 0x0FFFFFF7); end-of-chain marks follow them.
struct LinkRange {
  std::uint32_t bits;
  std::uint32_t firstReserved;
};

LinkRange LinkRangeOf(FsType fsType) {
  switch (fsType) {
    case FsType::fat12: return {0x0FFF, 0x0FF0};
    case FsType::fat32: return {kFat32LinkBits, 0x0FFFFFF0};
    // exFAT keeps all 32 bits: 0xFFFFFFF7 is its bad mark, 0xFFFFFFF8 on its
    // end of chain, and no cluster count reaches the values before them.
    case FsType::exfat: return {0xFFFFFFFF, 0xFFFFFFF0};
    default: return {0xFFFF, 0xFFF0};
  }
}

}  // namespace

std::uint32_t FatLinkCluster(std::uint32_t value, FsType fsType) { return value & LinkRangeOf(fsType).bits; }

FatLink ClassifyFatLink(std::uint32_t value, FsType fsType, std::uint32_t lastCluster) {
  const LinkRange range = LinkRangeOf(fsType);
  const std::uint32_t link = value & range.bits;
  if (link < 2) return FatLink::free;
  if (link >= range.firstReserved + 8) return FatLink::endOfChain;
  if (link >= range.firstReserved) return FatLink::broken;
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
  const SectorNumber tableStart = fatCopy == 2 ? volume.fat2Start : volume.fat1Start;
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
