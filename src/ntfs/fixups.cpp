#include "ntfs/fixups.h"

namespace salvex {
namespace {

// The array sits in the header; an offset beyond it is damage.
constexpr std::size_t kArrayLimit = 84;

}  // namespace

void ApplyFixups(MutableBytes block) {
  const Bytes view(block.data(), block.size());
  const std::size_t arrayOffset = u16le(view, 4);
  const std::size_t entries = u16le(view, 6);
  for (std::size_t i = 0; i + 2 < entries; ++i) {
    const std::size_t sectorEnd = 511 + 512 * i;
    if (sectorEnd >= block.size()) return;
    const std::size_t position = arrayOffset + 2 + 2 * i;
    if (position + 1 >= kArrayLimit) return;
    block[sectorEnd - 1] = block[position];
    block[sectorEnd] = block[position + 1];
  }
}

}  // namespace salvex
