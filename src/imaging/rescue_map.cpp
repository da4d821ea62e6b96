#include "imaging/rescue_map.h"

#include <algorithm>
#include <iterator>

namespace salvex {

int MapTotals::Index(BlockStatus status) {
  switch (status) {
    case BlockStatus::nonTried:
      return 0;
    case BlockStatus::nonTrimmed:
      return 1;
    case BlockStatus::nonScraped:
      return 2;
    case BlockStatus::badSector:
      return 3;
    case BlockStatus::finished:
      break;
  }
  return 4;
}

RescueMap::RescueMap(std::uint64_t extent) { Extend(extent); }

void RescueMap::Extend(std::uint64_t extent) {
  if (extent <= extent_) return;
  const std::uint64_t from = extent_;
  extent_ = extent;
  // A new block, merged into a non-tried last block by Set.
  Insert(from, {extent, BlockStatus::nonTried});
  Set(from, extent - from, BlockStatus::nonTried);
}

void RescueMap::Count(BlockStatus status, std::uint64_t bytes, int areas) {
  const int index = MapTotals::Index(status);
  if (areas >= 0) {
    totals_.bytes[index] += bytes;
    totals_.areas[index] += static_cast<std::uint64_t>(areas);
  } else {
    totals_.bytes[index] -= bytes;
    totals_.areas[index] -= static_cast<std::uint64_t>(-areas);
  }
}

void RescueMap::Erase(Stretches::iterator it) {
  Count(it->second.status, it->second.end - it->first, -1);
  stretches_.erase(it);
}

RescueMap::Stretches::iterator RescueMap::Insert(std::uint64_t pos, Stretch stretch) {
  Count(stretch.status, stretch.end - pos, 1);
  return stretches_.emplace(pos, stretch).first;
}

void RescueMap::SplitAt(std::uint64_t pos) {
  if (pos == 0 || pos >= extent_) return;
  auto it = stretches_.upper_bound(pos);
  if (it == stretches_.begin()) return;
  --it;
  if (it->first == pos) return;
  const Stretch whole = it->second;
  const std::uint64_t start = it->first;
  Erase(it);
  Insert(start, {pos, whole.status});
  Insert(pos, whole);
}

void RescueMap::Set(std::uint64_t pos, std::uint64_t size, BlockStatus status) {
  if (pos >= extent_ || size == 0) return;
  const std::uint64_t end = std::min(extent_, pos + std::min(size, extent_ - pos));
  SplitAt(pos);
  SplitAt(end);
  auto it = stretches_.lower_bound(pos);
  while (it != stretches_.end() && it->first < end) {
    const auto next = std::next(it);
    Erase(it);
    it = next;
  }
  std::uint64_t start = pos;
  std::uint64_t stop = end;
  // Neighbours of the same status become one block.
  if (const auto after = stretches_.find(end); after != stretches_.end() && after->second.status == status) {
    stop = after->second.end;
    Erase(after);
  }
  if (auto before = stretches_.lower_bound(pos); before != stretches_.begin()) {
    --before;
    if (before->second.status == status && before->second.end == pos) {
      start = before->first;
      Erase(before);
    }
  }
  Insert(start, {stop, status});
}

bool RescueMap::BlockAt(std::uint64_t pos, MapBlock& block) const {
  if (pos >= extent_) return false;
  auto it = stretches_.upper_bound(pos);
  --it;  // block 0 starts at 0, so there is one before
  block = {it->first, it->second.end - it->first, it->second.status};
  return true;
}

bool RescueMap::NextWithStatus(std::uint64_t pos, BlockStatus status, MapBlock& block) const {
  if (pos >= extent_) return false;
  auto it = stretches_.upper_bound(pos);
  --it;
  for (; it != stretches_.end(); ++it) {
    if (it->second.status != status) continue;
    const std::uint64_t start = std::max(pos, it->first);
    block = {start, it->second.end - start, status};
    return true;
  }
  return false;
}

std::uint64_t RescueMap::UnfinishedBytesIn(std::uint64_t pos, std::uint64_t size) const {
  const std::uint64_t end = size > UINT64_MAX - pos ? UINT64_MAX : pos + size;
  std::uint64_t unfinished = end > extent_ ? end - std::max(pos, extent_) : 0;
  if (pos >= extent_) return unfinished;
  auto it = stretches_.upper_bound(pos);
  --it;
  for (; it != stretches_.end() && it->first < end; ++it) {
    if (it->second.status == BlockStatus::finished) continue;
    unfinished += std::min(end, it->second.end) - std::max(pos, it->first);
  }
  return unfinished;
}

std::uint64_t RescueMap::UnfinishedSectorsIn(std::uint64_t firstSector, std::uint64_t count,
                                             std::uint32_t sectorBytes) const {
  if (count == 0 || sectorBytes == 0) return 0;
  const std::uint64_t lastSector = firstSector + count - 1;  // callers pass sector numbers of a disk
  const std::uint64_t start = firstSector * sectorBytes;
  // Sectors past the extent were never read.
  const std::uint64_t extentSectors = (extent_ + sectorBytes - 1) / sectorBytes;
  std::uint64_t unfinished = lastSector >= extentSectors ? lastSector + 1 - std::max(firstSector, extentSectors) : 0;
  if (start >= extent_) return unfinished;
  std::uint64_t counted = firstSector;  // sectors below this one are counted already
  auto it = stretches_.upper_bound(start);
  --it;
  for (; it != stretches_.end() && it->first / sectorBytes <= lastSector; ++it) {
    if (it->second.status == BlockStatus::finished) continue;
    const std::uint64_t from = std::max(counted, it->first / sectorBytes);
    const std::uint64_t to = std::min(lastSector + 1, (it->second.end + sectorBytes - 1) / sectorBytes);
    if (to > from) {
      unfinished += to - from;
      counted = to;
    }
  }
  return unfinished;
}

std::vector<MapBlock> RescueMap::Blocks() const {
  std::vector<MapBlock> blocks;
  blocks.reserve(stretches_.size());
  for (const auto& [pos, stretch] : stretches_) blocks.push_back({pos, stretch.end - pos, stretch.status});
  return blocks;
}

bool RescueMap::AllTried() const {
  return totals_.Bytes(BlockStatus::nonTried) == 0 && totals_.Bytes(BlockStatus::nonTrimmed) == 0 &&
         totals_.Bytes(BlockStatus::nonScraped) == 0;
}

}  // namespace salvex
