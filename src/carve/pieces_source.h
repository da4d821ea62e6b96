#pragma once

#include <cstdint>
#include <vector>

#include "carve/carve_area.h"
#include "carve/carve_reader.h"
#include "content/content_source.h"

namespace salvex {

// A file being carved, as the checks read it: the bytes of its pieces on
// the disk, one after the other (one piece for a file that lies in one
// run of clusters).
class PiecesSource final : public ContentSource {
 public:
  PiecesSource(CarveReader& disk, std::vector<ByteRange> pieces);

  std::uint64_t Size() const override { return size_; }
  Bytes Read(std::uint64_t offset, std::size_t length) override;

  const std::vector<ByteRange>& Pieces() const { return pieces_; }
  // Where byte `offset` of the file lies on the disk.
  std::uint64_t DiskOffset(std::uint64_t offset) const;

 private:
  std::size_t PieceOf(std::uint64_t offset) const;

  CarveReader& disk_;
  std::vector<ByteRange> pieces_;
  std::vector<std::uint64_t> starts_;  // each piece's first byte in the file
  std::uint64_t size_ = 0;
  std::vector<std::uint8_t> joined_;
};

// The first `length` bytes of a file laid out in `pieces`.
std::vector<ByteRange> FirstBytesOf(const std::vector<ByteRange>& pieces, std::uint64_t length);

}  // namespace salvex
