#pragma once

#include <cstdint>
#include <vector>

namespace salvex {

// One bit per block of a volume (a cluster, or a sector), with a search for
// the next block whose bit is set or clear that skips 64 blocks at a time:
// the live clusters of a volume of millions, walked in order.
class BlockBits {
 public:
  BlockBits() = default;
  explicit BlockBits(std::uint64_t count) : words_((count + 63) / 64, 0), count_(count) {}

  std::uint64_t Count() const { return count_; }
  void Set(std::uint64_t block) {
    if (block < count_) words_[block / 64] |= std::uint64_t{1} << (block % 64);
  }
  // Blocks past the end read as clear.
  bool Test(std::uint64_t block) const {
    return block < count_ && (words_[block / 64] >> (block % 64) & 1) != 0;
  }
  // The first block from `from` whose bit is `value`; Count() when none.
  std::uint64_t Next(std::uint64_t from, bool value) const;

 private:
  std::vector<std::uint64_t> words_;
  std::uint64_t count_ = 0;
};

}  // namespace salvex
