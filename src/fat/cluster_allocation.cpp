#include "fat/cluster_allocation.h"

#include <algorithm>
#include <bit>

#include "common/le_bytes.h"
#include "fat/fat_entry.h"

namespace salvex {
namespace {

// 128 KiB a read; for FAT12 a multiple of three sectors (255), so that no
// entry is split between two reads.
std::uint32_t FatReadSectors(FsType fsType) { return fsType == FsType::fat12 ? 255 : 256; }

// The link of `cluster` in `fat`, which holds the FAT from its byte `base`
// on, with the reserved upper four bits of FAT32 masked off.
std::uint32_t Link(Bytes fat, std::uint64_t base, std::uint64_t cluster, FsType fsType) {
  const auto offset = static_cast<std::size_t>(FatEntryOffset(cluster, fsType) - base);
  const std::uint32_t raw = FatEntryAt(fat, offset, cluster, fsType);
  return fsType == FsType::fat32 ? raw & 0x0FFFFFFF : raw;
}

}  // namespace

ClusterAllocation ClusterAllocation::Read(SectorReader& reader, const VolumeParameters& volume,
                                          std::uint32_t lastCluster, const std::atomic<bool>* stop) {
  ClusterAllocation map;
  if (volume.fat1Start == 0 || lastCluster < 2 || !IsFatType(volume.fsType)) return map;
  const std::uint64_t fatBytes = FatEntryOffset(lastCluster, volume.fsType) + FatEntryReadBytes(volume.fsType);
  std::uint64_t sectors = (fatBytes + kSectorSize - 1) / kSectorSize;
  // The FAT ends where the next one begins, when that is known.
  if (volume.sectorsPerFat != 0) sectors = std::min<std::uint64_t>(sectors, volume.sectorsPerFat);
  // And where the disk ends: a damaged boot sector can claim a FAT of
  // gigabytes on a small disk.
  const std::uint64_t diskSectors = reader.Source() ? reader.Source()->SizeBytes() / kSectorSize : 0;
  sectors = std::min<std::uint64_t>(sectors, diskSectors > volume.fat1Start ? diskSectors - volume.fat1Start : 0);
  if (sectors == 0) return map;
  const std::uint64_t limit =
      std::min<std::uint64_t>(std::uint64_t{lastCluster} + 1, FatEntriesIn(sectors * kSectorSize, volume.fsType));
  map.limit_ = limit;
  for (Bits* bits : {&map.allocated_, &map.linked_, &map.linkedTwice_}) bits->assign(limit / 64 + 1, 0);
  const std::uint32_t readSectors = FatReadSectors(volume.fsType);
  std::vector<std::uint8_t> chunk(std::size_t{readSectors} * kSectorSize);
  for (std::uint64_t done = 0; done < sectors; done += readSectors) {
    if (stop && stop->load(std::memory_order_relaxed)) return {};
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(readSectors, sectors - done));
    const std::span<std::uint8_t> piece(chunk.data(), std::size_t{count} * kSectorSize);
    ReadSectorsZeroed(reader, std::uint64_t{volume.fat1Start} + done, count, piece);
    const std::uint64_t firstCluster = FatEntriesIn(done * kSectorSize, volume.fsType);
    if (firstCluster >= limit) break;
    const std::uint64_t entries =
        std::min<std::uint64_t>(FatEntriesIn(std::uint64_t{count} * kSectorSize, volume.fsType), limit - firstCluster);
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint32_t link = Link(piece, done * kSectorSize, firstCluster + i, volume.fsType);
      if (firstCluster + i < 2 || link == 0) continue;
      Set(map.allocated_, firstCluster + i);
      if (link >= 2 && link < limit) Set(map.Test(map.linked_, link) ? map.linkedTwice_ : map.linked_, link);
    }
  }
  map.Finish();
  return map;
}

void ClusterAllocation::Finish() {
  before_.assign(allocated_.size(), 0);
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < allocated_.size(); ++i) {
    before_[i] = total;
    total += static_cast<std::uint32_t>(std::popcount(allocated_[i]));
  }
}

std::uint64_t ClusterAllocation::Rank(std::uint64_t cluster) const {
  const std::uint64_t word = cluster / 64;
  const std::uint64_t below = (std::uint64_t{1} << (cluster % 64)) - 1;
  return before_[word] + static_cast<std::uint64_t>(std::popcount(allocated_[word] & below));
}

bool ClusterAllocation::AnyAllocated(std::uint64_t first, std::uint64_t count) const {
  return CountAllocated(first, count) != 0;
}

std::uint64_t ClusterAllocation::CountAllocated(std::uint64_t first, std::uint64_t count) const {
  if (!Known() || first >= limit_ || count == 0) return 0;
  const std::uint64_t end = count > limit_ - first ? limit_ : first + count;
  return Rank(end) - Rank(first);
}

}  // namespace salvex
