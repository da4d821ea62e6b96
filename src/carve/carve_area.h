#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "carve/block_bits.h"
#include "volume/volume_context.h"

namespace salvex {

// A stretch of the disk, in bytes from its start: [start, end).
struct ByteRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;

  std::uint64_t Size() const { return end - start; }
  bool Contains(std::uint64_t offset) const { return offset >= start && offset < end; }
  bool operator==(const ByteRange&) const = default;
};

// What a carve reads, and the grain its files were laid out in. Files of a
// volume start at a cluster and, written by its allocator, run on through
// the clusters that follow; so a volume whose geometry is known is carved
// in clusters, and, unless every sector is asked for, only in those its
// allocation calls free: what a live file holds is that file's, and listed
// by the scan already. Without a volume, every sector of the range is read.
struct CarveArea {
  std::uint64_t first = 0;  // the first byte read
  std::uint64_t end = 0;    // one past the last
  // Where block 0 begins: cluster 2 of a volume, the range's first byte
  // otherwise. Before it (the reserved sectors and FATs, when every sector
  // is read) the grain is the sector.
  std::uint64_t blockBase = 0;
  std::uint32_t blockBytes = 512;  // a cluster, or a sector
  // The blocks a live file or folder holds, by the volume's FAT or bitmap;
  // empty (all free) when not known.
  BlockBits live;
  bool allocationKnown = false;
  // Only blocks that are not live are read (and nothing before blockBase).
  bool freeOnly = false;

  // The run of bytes to read that holds `offset`, or the first one after
  // it; {end, end} when none is left.
  ByteRange OpenRunFrom(std::uint64_t offset) const;
  // Where the stretch from `offset` in which every block is live, or every
  // one is not, ends (within the area): a file found in free clusters is
  // cut where a live file's begin.
  std::uint64_t SameStateEnd(std::uint64_t offset) const;
  // Whether `offset` lies in a block a live file holds.
  bool IsLive(std::uint64_t offset) const;
  // The first byte of the block (or, before blockBase, the sector) that
  // holds `offset`.
  std::uint64_t BlockStart(std::uint64_t offset) const;
  // Whether `offset` is the first byte of a block.
  bool IsBlockStart(std::uint64_t offset) const { return BlockStart(offset) == offset; }
  // The bytes a pass reads: the sum of the open runs.
  std::uint64_t OpenBytes() const;
};

// Every sector from `firstSector` up to `endSector` (not included), in sectors.
CarveArea SectorArea(std::uint64_t firstSector, std::uint64_t endSector);

// The data area of the volume the context describes (FAT12, FAT16, FAT32
// or exFAT), in clusters, with the clusters its FAT or allocation bitmap
// gives to files marked live; with `freeOnly`, only the others are read,
// else every sector of the range. Nothing when the geometry leaves no
// cluster, or Stop came while the allocation was read. `note` says when
// the allocation could not be read (every cluster then counts as free).
std::optional<CarveArea> VolumeArea(VolumeContext& context, bool freeOnly, std::string& note);

}  // namespace salvex
