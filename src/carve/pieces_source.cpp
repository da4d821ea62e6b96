#include "carve/pieces_source.h"

#include <algorithm>

namespace salvex {

PiecesSource::PiecesSource(CarveReader& disk, std::vector<ByteRange> pieces) : disk_(disk), pieces_(std::move(pieces)) {
  for (const ByteRange& piece : pieces_) {
    starts_.push_back(size_);
    size_ += piece.Size();
  }
}

std::size_t PiecesSource::PieceOf(std::uint64_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

std::uint64_t PiecesSource::DiskOffset(std::uint64_t offset) const {
  if (pieces_.empty()) return 0;
  if (offset >= size_) return pieces_.back().end;
  const std::size_t piece = PieceOf(offset);
  return pieces_[piece].start + (offset - starts_[piece]);
}

Bytes PiecesSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= size_) return {};
  length = static_cast<std::size_t>(std::min<std::uint64_t>({length, kMaxSourceRead, size_ - offset}));
  std::size_t piece = PieceOf(offset);
  const std::uint64_t within = offset - starts_[piece];
  if (within + length <= pieces_[piece].Size()) return disk_.Read(pieces_[piece].start + within, length);
  joined_.clear();
  std::uint64_t at = offset;
  while (joined_.size() < length && piece < pieces_.size()) {
    const std::uint64_t from = pieces_[piece].start + (at - starts_[piece]);
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(length - joined_.size(), pieces_[piece].end - from));
    const Bytes bytes = disk_.Read(from, take);
    joined_.insert(joined_.end(), bytes.begin(), bytes.end());
    if (bytes.size() < take) break;
    at += take;
    ++piece;
  }
  return joined_;
}

std::vector<ByteRange> FirstBytesOf(const std::vector<ByteRange>& pieces, std::uint64_t length) {
  std::vector<ByteRange> first;
  for (const ByteRange& piece : pieces) {
    if (length == 0) break;
    const std::uint64_t take = std::min(length, piece.Size());
    first.push_back({piece.start, piece.start + take});
    length -= take;
  }
  return first;
}

}  // namespace salvex
