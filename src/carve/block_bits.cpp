#include "carve/block_bits.h"

#include <bit>

namespace salvex {

std::uint64_t BlockBits::Next(std::uint64_t from, bool value) const {
  if (from >= count_) return count_;
  std::uint64_t word = from / 64;
  std::uint64_t bits = value ? words_[word] : ~words_[word];
  bits &= ~std::uint64_t{0} << (from % 64);
  while (true) {
    if (bits != 0) {
      const std::uint64_t block = word * 64 + static_cast<std::uint64_t>(std::countr_zero(bits));
      return block < count_ ? block : count_;
    }
    if (++word >= words_.size()) return count_;
    bits = value ? words_[word] : ~words_[word];
  }
}

}  // namespace salvex
