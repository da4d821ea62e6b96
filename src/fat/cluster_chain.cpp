#include "fat/cluster_chain.h"

#include <algorithm>
#include <optional>

#include "common/le_bytes.h"

namespace salvex {
namespace {

// Looks FAT entries up one sector at a time, keeping the last sector read:
// consecutive links usually lie in the same FAT sector.
class FatEntryReader {
 public:
  FatEntryReader(SectorReader& reader, FsType fsType, std::uint32_t tableStart)
      : reader_(reader), isFat32_(fsType == FsType::fat32), tableStart_(tableStart) {}

  // The entry of `cluster`, or nothing when its FAT sector cannot be read.
  std::optional<std::uint32_t> EntryOf(std::uint32_t cluster) {
    const std::uint32_t perSector = isFat32_ ? 128 : 256;
    const std::uint32_t sector = tableStart_ + cluster / perSector;
    if (!cachedSector_ || *cachedSector_ != sector) {
      cachedSector_.reset();
      if (!reader_.ReadSectors(sector, 1, buffer_)) return std::nullopt;
      cachedSector_ = sector;
    }
    const std::size_t index = cluster % perSector;
    return isFat32_ ? u32le(buffer_, index * 4) : u16le(buffer_, index * 2);
  }

 private:
  SectorReader& reader_;
  bool isFat32_;
  std::uint32_t tableStart_;
  std::optional<std::uint32_t> cachedSector_;
  SectorBuffer buffer_{};
};

}  // namespace

bool EndsChain(std::uint32_t value, FsType fsType) {
  if (value < 2) return true;
  return fsType == FsType::fat32 ? value >= 0x0FFFFFFF : value >= 0xFFFF;
}

void BuildDirectoryChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                         ClusterChain& chain) {
  chain.clear();
  chain.push_back(firstCluster);
  if (volume.fat1Start == 0) return;
  FatEntryReader fat(reader, volume.fsType, volume.fat1Start);
  std::uint32_t cluster = firstCluster;
  while (chain.size() < kMaxDirectoryClusters) {
    const auto next = fat.EntryOf(cluster);
    if (!next || EndsChain(*next, volume.fsType)) return;
    // A chain that comes back to one of its clusters would have the same
    // directory sectors read, and their entries listed, again and again.
    if (std::find(chain.begin(), chain.end(), *next) != chain.end()) return;
    chain.push_back(*next);
    cluster = *next;
  }
}

void BuildFileChain(SectorReader& reader, const VolumeParameters& volume, std::uint32_t firstCluster,
                    std::uint32_t maxLinks, int fatCopy, const ChainCancel& cancel, ClusterChain& chain) {
  chain.clear();
  chain.push_back(firstCluster);
  const std::uint32_t tableStart = fatCopy == 2 ? volume.fat2Start : volume.fat1Start;
  if (tableStart == 0) return;
  FatEntryReader fat(reader, volume.fsType, tableStart);
  std::uint32_t cluster = firstCluster;
  while (!cancel.Requested()) {
    const auto next = fat.EntryOf(cluster);
    if (!next || EndsChain(*next, volume.fsType)) return;
    chain.push_back(*next);
    cluster = *next;
    if (chain.size() > maxLinks) return;
  }
}

}  // namespace salvex
