#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace salvex {

// What is known of a stretch of the source, with the characters a ddrescue
// mapfile uses for it.
enum class BlockStatus : char {
  nonTried = '?',    // not read yet
  nonTrimmed = '*',  // a large read failed here; its edges are still to be read sector by sector
  nonScraped = '/',  // trimmed; the sectors inside are still to be read one by one
  badSector = '-',   // read sector by sector, and failed
  finished = '+',    // read, and in the image
};

// Where a run is (the mapfile's current_status): a phase, or done.
enum class RescuePhase : char {
  copying = '?',
  trimming = '*',
  scraping = '/',
  retrying = '-',
  finished = '+',
};

struct MapBlock {
  std::uint64_t pos = 0;
  std::uint64_t size = 0;
  BlockStatus status = BlockStatus::nonTried;

  std::uint64_t End() const { return pos + size; }
  friend bool operator==(const MapBlock&, const MapBlock&) = default;
};

// Bytes and blocks of each status, kept as the map changes so that progress
// costs nothing to report.
struct MapTotals {
  std::uint64_t bytes[5] = {};
  std::uint64_t areas[5] = {};

  std::uint64_t Bytes(BlockStatus status) const { return bytes[Index(status)]; }
  std::uint64_t Areas(BlockStatus status) const { return areas[Index(status)]; }
  static int Index(BlockStatus status);
};

// The state of a rescue over [0, extent): every byte has one status, the
// blocks follow each other without gaps, and neighbours never share a
// status. Setting a status costs a logarithm of the block count, so a disk
// with a million scattered bad sectors is still handled at once.
class RescueMap {
 public:
  // One non-tried block over the whole extent (nothing when it is 0).
  explicit RescueMap(std::uint64_t extent = 0);

  std::uint64_t Extent() const { return extent_; }
  // Grows the map to `extent`, the new part non-tried; a smaller extent is
  // ignored.
  void Extend(std::uint64_t extent);

  // Gives [pos, pos + size) the status, clipped to the extent.
  void Set(std::uint64_t pos, std::uint64_t size, BlockStatus status);

  // The block holding byte `pos`, when pos is inside the extent.
  bool BlockAt(std::uint64_t pos, MapBlock& block) const;
  // The first block at or after `pos` with the status; false when none.
  bool NextWithStatus(std::uint64_t pos, BlockStatus status, MapBlock& block) const;
  // Bytes of [pos, pos + size) whose status is not finished (past the
  // extent counts as not finished: nothing was read there).
  std::uint64_t UnfinishedBytesIn(std::uint64_t pos, std::uint64_t size) const;

  // Sectors of `sectorBytes` among [firstSector, firstSector + count)
  // that hold a byte whose status is not finished.
  std::uint64_t UnfinishedSectorsIn(std::uint64_t firstSector, std::uint64_t count, std::uint32_t sectorBytes) const;

  std::vector<MapBlock> Blocks() const;
  const MapTotals& Totals() const { return totals_; }
  // Nothing is left to copy, trim or scrape: only finished and bad areas.
  bool AllTried() const;

  // The mapfile's current_pos, current_status and current_pass.
  std::uint64_t currentPos = 0;
  RescuePhase phase = RescuePhase::copying;
  int pass = 1;

 private:
  struct Stretch {
    std::uint64_t end;
    BlockStatus status;
  };
  using Stretches = std::map<std::uint64_t, Stretch>;

  // Makes `pos` the start of a block (splitting the one that holds it).
  void SplitAt(std::uint64_t pos);
  void Count(BlockStatus status, std::uint64_t bytes, int areas);
  void Erase(Stretches::iterator it);
  Stretches::iterator Insert(std::uint64_t pos, Stretch stretch);

  std::uint64_t extent_ = 0;
  Stretches stretches_;  // keyed by each block's first byte
  MapTotals totals_;
};

}  // namespace salvex
