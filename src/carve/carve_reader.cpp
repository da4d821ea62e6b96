#include "carve/carve_reader.h"

#include <algorithm>

#include "common/sector.h"

namespace salvex {

CarveReader::CarveReader(SectorReader& reader)
    : reader_(reader), diskBytes_(reader.Source() ? reader.Source()->SizeBytes() / kSectorSize * kSectorSize : 0) {}

const CarveReader::Block& CarveReader::Fetch(std::uint64_t index) {
  for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
    if (it->index != index) continue;
    if (it != blocks_.begin()) blocks_.splice(blocks_.begin(), blocks_, it);
    return blocks_.front();
  }
  Block block;
  if (blocks_.size() >= kBlocks) {
    block = std::move(blocks_.back());
    blocks_.pop_back();
  }
  block.index = index;
  const std::uint64_t start = index * kBlockBytes;
  const std::uint64_t length = start < diskBytes_ ? std::min<std::uint64_t>(kBlockBytes, diskBytes_ - start) : 0;
  block.bytes.resize(static_cast<std::size_t>(length));
  if (length > 0) {
    std::vector<std::uint32_t> unreadable;
    reader_.ReadSectorsFillingGaps(start / kSectorSize, static_cast<std::uint32_t>(length / kSectorSize), block.bytes,
                                   &unreadable);
    for (const std::uint32_t position : unreadable) {
      const std::uint64_t sector = start / kSectorSize + position;
      const auto at = std::lower_bound(unreadable_.begin(), unreadable_.end(), sector);
      if (at == unreadable_.end() || *at != sector) unreadable_.insert(at, sector);
    }
    ++blocksRead_;
  }
  blocks_.push_front(std::move(block));
  return blocks_.front();
}

Bytes CarveReader::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= diskBytes_) return {};
  length = static_cast<std::size_t>(std::min<std::uint64_t>({length, kBlockBytes, diskBytes_ - offset}));
  const std::uint64_t index = offset / kBlockBytes;
  const auto within = static_cast<std::size_t>(offset % kBlockBytes);
  const Block& first = Fetch(index);
  if (within + length <= first.bytes.size()) return Bytes(first.bytes).subspan(within, length);
  // Across two blocks: copied into one view.
  joined_.assign(first.bytes.begin() + static_cast<std::ptrdiff_t>(within), first.bytes.end());
  const std::size_t rest = length - joined_.size();
  const Block& second = Fetch(index + 1);
  joined_.insert(joined_.end(), second.bytes.begin(),
                 second.bytes.begin() + static_cast<std::ptrdiff_t>(std::min(rest, second.bytes.size())));
  return joined_;
}

std::uint32_t CarveReader::UnreadableIn(std::uint64_t start, std::uint64_t end) const {
  const auto from = std::lower_bound(unreadable_.begin(), unreadable_.end(), start / kSectorSize);
  const auto to = std::lower_bound(unreadable_.begin(), unreadable_.end(), (end + kSectorSize - 1) / kSectorSize);
  return static_cast<std::uint32_t>(to - from);
}

}  // namespace salvex
