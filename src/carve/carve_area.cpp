#include "carve/carve_area.h"

#include <algorithm>

#include "common/sector.h"
#include "exfat/exfat_bitmap.h"
#include "exfat/exfat_walk.h"
#include "fat/cluster_allocation.h"
#include "fat/fat_walk.h"

namespace salvex {

ByteRange CarveArea::OpenRunFrom(std::uint64_t offset) const {
  offset = std::max(offset, first);
  if (offset >= end) return {end, end};
  if (!freeOnly || !allocationKnown) return {offset, end};
  // Before the blocks: nothing is read of it when only free blocks are.
  offset = std::max(offset, blockBase);
  const std::uint64_t blocks = live.Count();
  std::uint64_t block = (offset - blockBase) / blockBytes;
  if (block < blocks && live.Test(block)) {
    block = live.Next(block, false);
    offset = blockBase + block * blockBytes;
  }
  if (offset >= end) return {end, end};
  const std::uint64_t nextLive = block < blocks ? live.Next(block, true) : blocks;
  const std::uint64_t runEnd = nextLive >= blocks ? end : blockBase + nextLive * blockBytes;
  return {offset, std::min(runEnd, end)};
}

std::uint64_t CarveArea::SameStateEnd(std::uint64_t offset) const {
  if (offset >= end) return end;
  if (offset < blockBase) return std::min(blockBase, end);
  if (!allocationKnown) return end;
  const std::uint64_t block = (offset - blockBase) / blockBytes;
  const std::uint64_t next = live.Next(block, !live.Test(block));
  return next >= live.Count() ? end : std::min(end, blockBase + next * blockBytes);
}

bool CarveArea::IsLive(std::uint64_t offset) const {
  return allocationKnown && offset >= blockBase && live.Test((offset - blockBase) / blockBytes);
}

std::uint64_t CarveArea::BlockStart(std::uint64_t offset) const {
  if (offset < blockBase) return offset / kSectorSize * kSectorSize;
  return blockBase + (offset - blockBase) / blockBytes * blockBytes;
}

std::uint64_t CarveArea::OpenBytes() const {
  std::uint64_t total = 0;
  for (ByteRange run = OpenRunFrom(first); run.start < end; run = OpenRunFrom(run.end)) total += run.Size();
  return total;
}

CarveArea SectorArea(std::uint64_t firstSector, std::uint64_t endSector) {
  CarveArea area;
  area.first = firstSector * kSectorSize;
  area.end = std::max(endSector, firstSector) * kSectorSize;
  area.blockBase = area.first;
  area.blockBytes = kSectorSize;
  return area;
}

std::optional<CarveArea> VolumeArea(VolumeContext& context, bool freeOnly, std::string& note) {
  const VolumeParameters& volume = context.volume;
  const SectorNumber lastSector = LastVolumeSector(volume, context.scan);
  std::uint32_t lastCluster = 0;
  if (IsFatType(volume.fsType)) lastCluster = FatEntryLimits(volume, lastSector).lastCluster;
  if (volume.fsType == FsType::exfat) lastCluster = ExfatLastCluster(volume, lastSector);
  if (lastCluster < 2 || volume.sectorsPerCluster == 0) return std::nullopt;
  CarveArea area;
  area.blockBytes = volume.sectorsPerCluster * static_cast<std::uint32_t>(kSectorSize);
  area.blockBase = std::uint64_t{volume.ClusterToSector(2)} * kSectorSize;
  const std::uint64_t clusters = std::uint64_t{lastCluster} - 1;
  area.end = area.blockBase + clusters * area.blockBytes;
  if (const DiskSource* disk = context.reader.Source()) area.end = std::min(area.end, disk->SizeBytes());
  area.first = freeOnly ? area.blockBase : std::uint64_t{context.scan.rangeStart} * kSectorSize;
  area.freeOnly = freeOnly;
  area.live = BlockBits(clusters);
  if (IsFatType(volume.fsType)) {
    const ClusterAllocation allocation =
        ClusterAllocation::Read(context.reader, volume, lastCluster, &context.scan.stopRequested);
    if (context.scan.StopRequested()) return std::nullopt;
    area.allocationKnown = allocation.Known();
    for (std::uint64_t cluster = 2; area.allocationKnown && cluster <= lastCluster; ++cluster) {
      if (allocation.AnyAllocated(cluster, 1)) area.live.Set(cluster - 2);
    }
  } else {
    const ExfatBitmap bitmap = ReadExfatAllocationBitmap(context);
    area.allocationKnown = bitmap.Known();
    for (std::uint64_t cluster = 2; area.allocationKnown && cluster <= lastCluster; ++cluster) {
      if (bitmap.IsUsed(static_cast<std::uint32_t>(cluster))) area.live.Set(cluster - 2);
    }
  }
  if (!area.allocationKnown) note = "the volume's allocation could not be read: every cluster is taken for free";
  return area;
}

}  // namespace salvex
