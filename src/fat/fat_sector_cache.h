#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/sector.h"
#include "disk/sector_reader.h"

namespace salvex {

// FAT sectors kept between the chains of many files: a folder's files lie
// side by side in the FAT, so one read of a block of FAT sectors serves
// hundreds of chains. Keyed by absolute sector, so one cache serves every
// FAT of the disk being read; the disk is only ever read, so nothing kept
// goes stale.
class FatSectorCache {
 public:
  static constexpr std::uint32_t kBlockSectors = 64;
  static constexpr std::size_t kBlocks = 8;

  explicit FatSectorCache(SectorReader& reader) : reader_(reader) {}

  // The sector `sector`, or nothing when it cannot be read. A block that
  // does not read whole is not kept: its sectors are read one by one, with
  // the reader's retries, as an uncached read would be.
  std::optional<std::span<const std::uint8_t>> Sector(std::uint64_t sector);

 private:
  struct Block {
    std::uint64_t first = 0;
    std::vector<std::uint8_t> bytes;  // empty: unused
    std::uint64_t lastUse = 0;
  };

  SectorReader& reader_;
  std::array<Block, kBlocks> blocks_{};
  std::uint64_t uses_ = 0;
  SectorBuffer single_{};
};

}  // namespace salvex
