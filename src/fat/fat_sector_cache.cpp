#include "fat/fat_sector_cache.h"

#include <algorithm>

namespace salvex {

std::optional<std::span<const std::uint8_t>> FatSectorCache::Sector(std::uint64_t sector) {
  ++uses_;
  const std::uint64_t first = sector - sector % kBlockSectors;
  const auto offset = static_cast<std::size_t>(sector - first) * kSectorSize;
  for (Block& block : blocks_) {
    if (!block.bytes.empty() && block.first == first) {
      block.lastUse = uses_;
      return std::span<const std::uint8_t>(block.bytes).subspan(offset, kSectorSize);
    }
  }
  Block& oldest = *std::min_element(blocks_.begin(), blocks_.end(),
                                    [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; });
  std::vector<std::uint8_t> bytes(std::size_t{kBlockSectors} * kSectorSize);
  if (reader_.TryReadSectors(first, kBlockSectors, bytes)) {
    oldest = {first, std::move(bytes), uses_};
    return std::span<const std::uint8_t>(oldest.bytes).subspan(offset, kSectorSize);
  }
  // The block may reach past the disk's end, or hold a bad sector.
  if (!reader_.ReadSectors(sector, 1, single_)) return std::nullopt;
  return std::span<const std::uint8_t>(single_);
}

}  // namespace salvex
