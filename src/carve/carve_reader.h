#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "common/le_bytes.h"
#include "disk/sector_reader.h"

namespace salvex {

// The disk as a carve reads it: by byte offset, through a cache of a few
// aligned blocks, so that the pass over the range, the checks that read a
// candidate ahead of it and the writing of what was found share what was
// read once. A sector that cannot be read reads as zeros and is counted.
// Memory stays at kBlocks blocks whatever the disk's size.
class CarveReader {
 public:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  static constexpr std::size_t kBlocks = 24;

  explicit CarveReader(SectorReader& reader);

  std::uint64_t DiskBytes() const { return diskBytes_; }
  // Up to `length` (at most kBlockBytes) bytes from `offset`: fewer only at
  // the disk's end. The view lasts until the next Read.
  Bytes Read(std::uint64_t offset, std::size_t length);
  // Sectors in [start, end) that could not be read, of the blocks read.
  std::uint32_t UnreadableIn(std::uint64_t start, std::uint64_t end) const;
  // Blocks read from the disk so far (a block read again after it left the
  // cache counts again).
  std::uint64_t BlocksRead() const { return blocksRead_; }

 private:
  struct Block {
    std::uint64_t index = 0;
    std::vector<std::uint8_t> bytes;
  };
  const Block& Fetch(std::uint64_t index);

  SectorReader& reader_;
  std::uint64_t diskBytes_;
  std::list<Block> blocks_;  // most recently used first
  std::vector<std::uint8_t> joined_;
  std::vector<std::uint64_t> unreadable_;  // sectors, sorted
  std::uint64_t blocksRead_ = 0;
};

}  // namespace salvex
